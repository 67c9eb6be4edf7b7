// Date-time tags: "yyyy:mm:dd hh:nn:ss" text, with milliseconds in a separate
// sub-second tag of the details section.
#include "kestrix/Exif.h"

#include <algorithm>
#include <cstring>

namespace Kestrix::Exif {

namespace {

constexpr std::size_t DateTimeTextLength = 19;

struct TDateTimeTexts {
    TDateTime Value = 0;
    bool Valid = false;
    std::string Main;
    std::string SubSeconds;
};

// A container writes the same value into its three date tags in a row; the
// texts of the last value are kept, one entry per thread so that threads can
// stamp files at once.
const TDateTimeTexts& DateTimeTextsOf(TDateTime value) {
    thread_local TDateTimeTexts cache;
    if (!cache.Valid || cache.Value != value) {
        cache.Valid = false;
        if (value == 0) {
            cache.Main.assign(DateTimeTextLength, ' ');
        } else {
            const TDateTimeParts parts = DecodeDateTime(value);
            cache.Main =
                Format("%.4d:%.2d:%.2d %.2d:%.2d:%.2d", parts.Date.Year, parts.Date.Month,
                       parts.Date.Day, parts.Time.Hour, parts.Time.Minute, parts.Time.Second);
        }
        cache.SubSeconds = Format("%.3d", DecodeTime(value).MilliSecond);
        cache.Value = value;
        cache.Valid = true;
    }
    return cache;
}

std::optional<int> NumberAt(const std::string& text, std::size_t start, std::size_t length) {
    return TryStrToInt(std::string_view(text).substr(start, length));
}

// The milliseconds of a sub-second text: its first three digits laid over
// "000" ("5" is 500 ms, "123456" is 123 ms).
std::optional<int> MilliSecondsOf(const TExifTag& tag) {
    const auto bytes = tag.GetBytes();
    const auto available = static_cast<std::size_t>(tag.GetElementCount() - 1);
    std::string text = "000";
    for (std::size_t i = 0; i < std::min<std::size_t>(3, available) && bytes[i] != 0; ++i) {
        text[i] = static_cast<char>(bytes[i]);
    }
    return TryStrToInt(text);
}

} // namespace

TDateTimeTagValue TExifSection::GetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID) const {
    const std::string text = GetStringValue(mainID);
    if (text.size() != DateTimeTextLength || text[4] != ':' || text[7] != ':') {
        return {};
    }
    const auto year = NumberAt(text, 0, 4);
    const auto month = NumberAt(text, 5, 2);
    const auto day = NumberAt(text, 8, 2);
    const auto hour = NumberAt(text, 11, 2);
    const auto minute = NumberAt(text, 14, 2);
    const auto second = NumberAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        return {};
    }
    auto value = TryEncodeDateTime(*year, *month, *day, *hour, *minute, *second, 0);
    if (!value) {
        return {};
    }
    if (const TExifSection* details = subSecsID != 0 ? DetailsSection() : nullptr) {
        const TExifTag* const subSeconds = details->Find(subSecsID);
        if (subSeconds != nullptr && subSeconds->GetDataType() == TTiffDataType::tdAscii &&
            subSeconds->GetElementCount() > 1) {
            if (const auto milliSeconds = MilliSecondsOf(*subSeconds)) {
                value = IncMilliSecond(*value, *milliSeconds);
            }
        }
    }
    return *value;
}

void TExifSection::SetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID,
                                    TDateTimeTagValue value) {
    const bool missing = value.MissingOrInvalid();
    TExifTag* subSeconds = nullptr;
    if (TExifSection* details = subSecsID != 0 ? DetailsSection() : nullptr) {
        subSeconds = details->Find(subSecsID);
        if (subSeconds == nullptr && !missing && FOwner->GetAlwaysWritePreciseTimes()) {
            subSeconds = &details->Add(subSecsID, TTiffDataType::tdAscii, 4);
        }
    }
    if (missing) {
        Remove(mainID);
        if (subSeconds != nullptr) {
            subSeconds->Delete();
        }
        return;
    }
    const TDateTimeTexts& texts = DateTimeTextsOf(value.FValue);
    // Copies: writing may run code that converts another value on this thread.
    const std::string subSecondsText = texts.SubSeconds;
    SetStringValue(mainID, texts.Main);
    if (subSeconds != nullptr) {
        subSeconds->SetDataType(TTiffDataType::tdAscii);
        subSeconds->SetAsString(subSecondsText);
    }
}

} // namespace Kestrix::Exif
