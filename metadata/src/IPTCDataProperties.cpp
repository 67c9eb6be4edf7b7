// The IPTC container's typed properties and the table that publishes them by name.
#include "kestrix/DateTime.h"
#include "kestrix/IPTC.h"

#include <array>
#include <cstdio>
#include <utility>

namespace Kestrix::Exif {

// ---------------------------------------------------------------------------
// Typed access

std::string TIPTCData::GetStringValue(TIPTCSectionID section, TIPTCTagID id) const {
    return GetSection(section).GetStringValue(id);
}

void TIPTCData::SetStringValue(TIPTCSectionID section, TIPTCTagID id, const std::string& value) {
    GetSection(section).SetStringValue(id, value);
}

std::vector<std::string> TIPTCData::GetRepeatableValue(TIPTCSectionID section,
                                                       TIPTCTagID id) const {
    return GetSection(section).GetRepeatableValue(id);
}

void TIPTCData::SetRepeatableValue(TIPTCSectionID section, TIPTCTagID id,
                                   std::span<const std::string> values) {
    GetSection(section).SetRepeatableValue(id, values);
}

TWordTagValue TIPTCData::GetWordValue(TIPTCSectionID section, TIPTCTagID id) const {
    return GetSection(section).GetWordValue(id);
}

void TIPTCData::SetWordValue(TIPTCSectionID section, TIPTCTagID id, TWordTagValue value) {
    GetSection(section).SetWordValue(id, value);
}

TDateTimeTagValue TIPTCData::GetDateValue(TIPTCSectionID section, TIPTCTagID id) const {
    return GetSection(section).GetDateValue(id);
}

void TIPTCData::SetDateValue(TIPTCSectionID section, TIPTCTagID id, TDateTimeTagValue value) {
    GetSection(section).SetDateValue(id, value);
}

TIPTCPriority TIPTCData::GetPriorityValue(TIPTCSectionID section, TIPTCTagID id) const {
    return GetSection(section).GetPriorityValue(id);
}

void TIPTCData::SetPriorityValue(TIPTCSectionID section, TIPTCTagID id, TIPTCPriority value) {
    GetSection(section).SetPriorityValue(id, value);
}

TDateTimeTagValue TIPTCData::GetDateTimeSent() const {
    return GetEnvelopeSection().GetDateTimeValue(IPTCTags::DateSent, IPTCTags::TimeSent);
}

void TIPTCData::SetDateTimeSent(TDateTimeTagValue value) {
    GetEnvelopeSection().SetDateTimeValue(IPTCTags::DateSent, IPTCTags::TimeSent, value);
}

void TIPTCData::SetDateTimeSent(TDateTimeTagValue value, bool aheadOfUtc, std::uint8_t utcOffsetHrs,
                                std::uint8_t utcOffsetMins) {
    GetEnvelopeSection().SetDateTimeValue(IPTCTags::DateSent, IPTCTags::TimeSent, value, aheadOfUtc,
                                          utcOffsetHrs, utcOffsetMins);
}

TDateTimeTagValue TIPTCData::GetDateTimeCreated() const {
    return GetApplicationSection().GetDateTimeValue(IPTCTags::DateCreated, IPTCTags::TimeCreated);
}

void TIPTCData::SetDateTimeCreated(TDateTimeTagValue value) {
    GetApplicationSection().SetDateTimeValue(IPTCTags::DateCreated, IPTCTags::TimeCreated, value);
}

void TIPTCData::SetDateTimeCreated(TDateTimeTagValue value, bool aheadOfUtc,
                                   std::uint8_t utcOffsetHrs, std::uint8_t utcOffsetMins) {
    GetApplicationSection().SetDateTimeValue(IPTCTags::DateCreated, IPTCTags::TimeCreated, value,
                                             aheadOfUtc, utcOffsetHrs, utcOffsetMins);
}

TIPTCActionAdvised TIPTCData::GetActionAdvised() const {
    const auto number =
        TryStrToInt(GetApplicationSection().GetStringValue(IPTCTags::ActionAdvised));
    if (!number || *number < 1 || *number > 99) {
        return TIPTCActionAdvised::iaTagMissing;
    }
    return static_cast<TIPTCActionAdvised>(*number);
}

void TIPTCData::SetActionAdvised(TIPTCActionAdvised value) {
    TIPTCSection& section = GetApplicationSection();
    if (value == TIPTCActionAdvised::iaTagMissing) {
        section.Remove(IPTCTags::ActionAdvised);
        return;
    }
    section.SetStringValue(IPTCTags::ActionAdvised, Format("%.2d", static_cast<int>(value)));
}

void TIPTCData::GetKeywords(std::vector<std::string>& dest) const {
    GetApplicationSection().GetRepeatableValue(IPTCTags::Keyword, dest, true);
}

void TIPTCData::SetKeywords(std::span<const std::string> newWords) {
    GetApplicationSection().SetRepeatableValue(IPTCTags::Keyword, newWords);
}

void TIPTCData::GetContentLocationValues(std::vector<std::string>& strings, char separator) const {
    GetApplicationSection().GetRepeatablePairs(
        IPTCTags::ContentLocationCode, IPTCTags::ContentLocationName, strings, true, separator);
}

void TIPTCData::SetContentLocationValues(std::span<const std::string> strings, char separator) {
    GetApplicationSection().SetRepeatablePairs(IPTCTags::ContentLocationCode,
                                               IPTCTags::ContentLocationName, strings, separator);
}

void TIPTCData::GetBylineValues(std::vector<std::string>& strings, char separator) const {
    GetApplicationSection().GetRepeatablePairs(IPTCTags::Byline, IPTCTags::BylineTitle, strings,
                                               true, separator);
}

void TIPTCData::SetBylineValues(std::span<const std::string> strings, char separator) {
    GetApplicationSection().SetRepeatablePairs(IPTCTags::Byline, IPTCTags::BylineTitle, strings,
                                               separator);
}

// ---------------------------------------------------------------------------
// Text forms of the kinds that are not text. Empty text always stands for the
// missing value, so writing it removes the datasets.

namespace {

using TTable = TPublishedProperties<TIPTCData>;

[[noreturn]] void RaiseInvalidValue(const std::string& text, const char* property) {
    throw EPropertyError(Format(Consts::SInvalidPropertyValue, text, property));
}

std::string WordToText(TWordTagValue value) {
    return value.MissingOrInvalid() ? std::string() : std::to_string(value.FValue);
}

TWordTagValue TextToWord(const std::string& text, const char* property) {
    if (text.empty()) {
        return {};
    }
    const TWordTagValue value = TWordTagValue::CreateFromString(text);
    if (value.MissingOrInvalid()) {
        RaiseInvalidValue(text, property);
    }
    return value;
}

// "yyyy-mm-dd".
std::string DateToText(TDateTimeTagValue value) {
    return value.MissingOrInvalid() ? std::string() : DateToStr(DateOf(value.FValue));
}

TDateTimeTagValue TextToDate(const std::string& text, const char* property) {
    if (text.empty()) {
        return {};
    }
    const auto value = TryStrToDate(text);
    if (!value) {
        RaiseInvalidValue(text, property);
    }
    return *value;
}

// "yyyy-mm-ddThh:nn:ss", the time always present.
std::string DateTimeToText(TDateTimeTagValue value) {
    if (value.MissingOrInvalid()) {
        return {};
    }
    const TDateTimeParts parts = DecodeDateTime(value.FValue);
    return Format("%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", parts.Date.Year, parts.Date.Month,
                  parts.Date.Day, parts.Time.Hour, parts.Time.Minute, parts.Time.Second);
}

TDateTimeTagValue TextToDateTime(const std::string& text, const char* property) {
    if (text.empty()) {
        return {};
    }
    const auto value = TryStrToDateTime(text);
    if (!value) {
        RaiseInvalidValue(text, property);
    }
    return *value;
}

constexpr std::array<const char*, 11> PriorityNames = {
    "",       "ipLowest",   "ipVeryLow", "ipLow",         "ipNormal",  "ipNormalHigh",
    "ipHigh", "ipVeryHigh", "ipHighest", "ipUserDefined", "ipReserved"};
// The IIM digit of each priority, by ordinal.
constexpr std::string_view PriorityDigits = " 8765432190";

std::string PriorityToText(TIPTCPriority value) {
    return PriorityNames[static_cast<std::size_t>(value)];
}

// A member name or the digit the dataset stores.
TIPTCPriority TextToPriority(const std::string& text, const char* property) {
    for (std::size_t i = 0; i < PriorityNames.size(); ++i) {
        if (text == PriorityNames[i] ||
            (i > 0 && text.size() == 1 && text[0] == PriorityDigits[i])) {
            return static_cast<TIPTCPriority>(i);
        }
    }
    RaiseInvalidValue(text, property);
}

constexpr std::array<const char*, 5> ActionNames = {"", "iaObjectKill", "iaObjectReplace",
                                                    "iaObjectAppend", "iaObjectReference"};

// Member names for 1..4, the number for the unnamed values up to 99.
std::string ActionToText(TIPTCActionAdvised value) {
    const auto ordinal = static_cast<std::size_t>(value);
    return ordinal < ActionNames.size() ? ActionNames[ordinal] : std::to_string(ordinal);
}

TIPTCActionAdvised TextToAction(const std::string& text, const char* property) {
    for (std::size_t i = 0; i < ActionNames.size(); ++i) {
        if (text == ActionNames[i]) {
            return static_cast<TIPTCActionAdvised>(i);
        }
    }
    const auto number = TryStrToInt(text);
    if (!number || *number < 1 || *number > 99) {
        RaiseInvalidValue(text, property);
    }
    return static_cast<TIPTCActionAdvised>(*number);
}

std::string BoolToText(bool value) {
    return value ? "true" : "false";
}

bool TextToBool(const std::string& text, const char* property) {
    const std::string lower = LowerCase(Trim(text));
    if (lower == "true" || lower == "1") {
        return true;
    }
    if (lower == "false" || lower == "0") {
        return false;
    }
    RaiseInvalidValue(text, property);
}

// ---------------------------------------------------------------------------
// The table

struct TDatasetRef {
    TIPTCSectionID Section;
    TIPTCTagID ID;
};

void AddText(TTable& table, const char* name, TDatasetRef ref) {
    table.AddText(
        name, [ref](const TIPTCData& data) { return data.GetStringValue(ref.Section, ref.ID); },
        [ref](TIPTCData& data, const std::string& value) {
            data.SetStringValue(ref.Section, ref.ID, value);
        });
}

void AddStrings(TTable& table, const char* name, TDatasetRef ref) {
    table.AddStrings(
        name, [ref](const TIPTCData& data) { return data.GetRepeatableValue(ref.Section, ref.ID); },
        [ref](TIPTCData& data, const std::vector<std::string>& value) {
            data.SetRepeatableValue(ref.Section, ref.ID, value);
        });
}

void AddWord(TTable& table, const char* name, TDatasetRef ref) {
    table.AddText(
        name,
        [ref](const TIPTCData& data) { return WordToText(data.GetWordValue(ref.Section, ref.ID)); },
        [ref, name](TIPTCData& data, const std::string& value) {
            data.SetWordValue(ref.Section, ref.ID, TextToWord(value, name));
        });
}

void AddDate(TTable& table, const char* name, TDatasetRef ref) {
    table.AddText(
        name,
        [ref](const TIPTCData& data) { return DateToText(data.GetDateValue(ref.Section, ref.ID)); },
        [ref, name](TIPTCData& data, const std::string& value) {
            data.SetDateValue(ref.Section, ref.ID, TextToDate(value, name));
        });
}

void AddPriority(TTable& table, const char* name, TDatasetRef ref) {
    table.AddText(
        name,
        [ref](const TIPTCData& data) {
            return PriorityToText(data.GetPriorityValue(ref.Section, ref.ID));
        },
        [ref, name](TIPTCData& data, const std::string& value) {
            data.SetPriorityValue(ref.Section, ref.ID, TextToPriority(value, name));
        });
}

TTable BuildTable() {
    using namespace IPTCTags;
    constexpr TIPTCSectionID env = IPTCEnvelopeRecord;
    constexpr TIPTCSectionID app = IPTCApplicationRecord;
    TTable table;
    AddWord(table, "ModelVersion", {env, ModelVersion});
    AddText(table, "Destination", {env, Destination});
    AddWord(table, "FileFormat", {env, FileFormat});
    AddWord(table, "FileFormatVersion", {env, FileFormatVersion});
    AddText(table, "ServiceIdentifier", {env, ServiceIdentifier});
    AddText(table, "EnvelopeNumberString", {env, EnvelopeNumberString});
    AddText(table, "ProductID", {env, ProductID});
    AddPriority(table, "EnvelopePriority", {env, EnvelopePriority});
    AddDate(table, "DateSent", {env, DateSent});
    AddText(table, "TimeSent", {env, TimeSent});
    table.AddText(
        "DateTimeSent",
        [](const TIPTCData& data) { return DateTimeToText(data.GetDateTimeSent()); },
        [](TIPTCData& data, const std::string& value) {
            data.SetDateTimeSent(TextToDateTime(value, "DateTimeSent"));
        });
    AddText(table, "UNOCode", {env, UNOCode});
    AddWord(table, "ARMIdentifier", {env, ARMIdentifier});
    AddWord(table, "ARMVersion", {env, ARMVersion});
    AddWord(table, "RecordVersion", {app, RecordVersion});
    AddText(table, "ObjectTypeRef", {app, ObjectTypeRef});
    AddText(table, "ObjectAttributeRef", {app, ObjectAttributeRef});
    AddText(table, "ObjectName", {app, ObjectName});
    AddText(table, "EditStatus", {app, EditStatus});
    AddPriority(table, "Urgency", {app, Urgency});
    AddStrings(table, "SubjectRefs", {app, SubjectRef});
    AddText(table, "CategoryCode", {app, CategoryCode});
    AddStrings(table, "SupplementaryCategories", {app, SupplementaryCategory});
    AddText(table, "FixtureIdentifier", {app, FixtureIdentifier});
    AddStrings(table, "Keywords", {app, Keyword});
    AddStrings(table, "ContentLocationCodes", {app, ContentLocationCode});
    AddStrings(table, "ContentLocationNames", {app, ContentLocationName});
    AddDate(table, "ReleaseDate", {app, ReleaseDate});
    AddDate(table, "ExpirationDate", {app, ExpirationDate});
    AddText(table, "SpecialInstructions", {app, SpecialInstructions});
    table.AddText(
        "ActionAdvised",
        [](const TIPTCData& data) { return ActionToText(data.GetActionAdvised()); },
        [](TIPTCData& data, const std::string& value) {
            data.SetActionAdvised(TextToAction(value, "ActionAdvised"));
        });
    AddDate(table, "DateCreated", {app, DateCreated});
    table.AddText(
        "DateTimeCreated",
        [](const TIPTCData& data) { return DateTimeToText(data.GetDateTimeCreated()); },
        [](TIPTCData& data, const std::string& value) {
            data.SetDateTimeCreated(TextToDateTime(value, "DateTimeCreated"));
        });
    AddDate(table, "DigitalCreationDate", {app, DigitalCreationDate});
    AddText(table, "OriginatingProgram", {app, OriginatingProgram});
    AddText(table, "ProgramVersion", {app, ProgramVersion});
    AddText(table, "ObjectCycleCode", {app, ObjectCycleCode});
    AddStrings(table, "Bylines", {app, Byline});
    AddStrings(table, "BylineTitles", {app, BylineTitle});
    AddText(table, "City", {app, City});
    AddText(table, "SubLocation", {app, SubLocation});
    AddText(table, "ProvinceOrState", {app, ProvinceOrState});
    AddText(table, "CountryCode", {app, CountryCode});
    AddText(table, "CountryName", {app, CountryName});
    AddText(table, "OriginalTransmissionRef", {app, OriginalTransmissionRef});
    AddText(table, "Headline", {app, Headline});
    AddText(table, "Credit", {app, Credit});
    AddText(table, "Source", {app, Source});
    AddText(table, "CopyrightNotice", {app, CopyrightNotice});
    AddStrings(table, "Contacts", {app, Contact});
    AddText(table, "CaptionOrAbstract", {app, CaptionOrAbstract});
    AddStrings(table, "WritersOrEditors", {app, WriterOrEditor});
    AddText(table, "ImageTypeCode", {app, ImageTypeCode});
    AddText(table, "LanguageIdentifier", {app, LanguageIdentifier});
    AddText(table, "AudioTypeCode", {app, AudioTypeCode});
    AddText(table, "PSDocumentTitle", {app, ObjectName});
    AddText(table, "PSCopyrightNotice", {app, CopyrightNotice});
    AddText(table, "PSDescription", {app, CaptionOrAbstract});
    AddText(table, "PSCreator", {app, Byline});
    AddText(table, "PSCreatorJobTitle", {app, BylineTitle});
    table.AddText("Empty", [](const TIPTCData& data) { return BoolToText(data.Empty()); }, {});
    table.AddText(
        "UTF8Encoded",
        [](const TIPTCData& data) {
            return BoolToText(const_cast<TIPTCData&>(data).GetUTF8Encoded());
        },
        [](TIPTCData& data, const std::string& value) {
            data.SetUTF8Encoded(TextToBool(value, "UTF8Encoded"));
        });
    table.AddText(
        "AlwaysAssumeUTF8Encoding",
        [](const TIPTCData& data) { return BoolToText(data.GetAlwaysAssumeUTF8Encoding()); },
        [](TIPTCData& data, const std::string& value) {
            data.SetAlwaysAssumeUTF8Encoding(TextToBool(value, "AlwaysAssumeUTF8Encoding"));
        });
    return table;
}

} // namespace

const TPublishedProperties<TIPTCData>& TIPTCData::PublishedProperties() {
    static const TTable table = BuildTable();
    return table;
}

} // namespace Kestrix::Exif
