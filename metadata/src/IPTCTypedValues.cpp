#include "kestrix/IPTC.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

namespace Kestrix::Exif {

namespace {

// The stored byte of each TIPTCPriority, by ordinal; ipTagMissing has none.
constexpr std::array<std::uint8_t, 11> PriorityBytes = {0,   '8', '7', '6', '5', '4',
                                                        '3', '2', '1', '9', '0'};

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Only called on text that AllDigits accepted.
int DigitsValue(std::string_view digits) {
    int value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

// "HHMMSS+HHMM" / "HHMMSS-HHMM": the local time of day and the offset ahead of
// UTC in minutes.
struct TIIMTime {
    TDateTime TimeOfDay;
    int MinutesAheadOfUtc;
};

std::optional<TIIMTime> ParseIIMTime(std::string_view text) {
    if (text.size() != 11 || (text[6] != '+' && text[6] != '-') || !AllDigits(text.substr(0, 6)) ||
        !AllDigits(text.substr(7))) {
        return std::nullopt;
    }
    const auto time = TryEncodeTime(DigitsValue(text.substr(0, 2)), DigitsValue(text.substr(2, 2)),
                                    DigitsValue(text.substr(4, 2)), 0);
    if (!time) {
        return std::nullopt;
    }
    const int offset = DigitsValue(text.substr(7, 2)) * 60 + DigitsValue(text.substr(9, 2));
    return TIIMTime{*time, text[6] == '+' ? offset : -offset};
}

} // namespace

std::string TIPTCSection::GetStringValue(TIPTCTagID id) const {
    const TIPTCTag* tag = Find(id);
    return tag ? tag->ReadString() : std::string();
}

void TIPTCSection::SetStringValue(TIPTCTagID id, const std::string& value) {
    if (value.empty()) {
        Remove(id);
        return;
    }
    TIPTCTag* tag = Find(id);
    (tag ? *tag : Add(id)).WriteString(value);
}

TWordTagValue TIPTCSection::GetWordValue(TIPTCTagID id) const {
    const TIPTCTag* tag = Find(id);
    if (!tag || tag->GetDataSize() != 2) {
        return TWordTagValue::CreateMissingOrInvalid();
    }
    const auto bytes = tag->GetBytes();
    return TWordTagValue(static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]));
}

void TIPTCSection::SetWordValue(TIPTCTagID id, TWordTagValue value) {
    if (value.MissingOrInvalid()) {
        Remove(id);
        return;
    }
    const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(value.FValue >> 8),
                                               static_cast<std::uint8_t>(value.FValue)};
    AddOrUpdate(id, bytes);
}

TIPTCPriority TIPTCSection::GetPriorityValue(TIPTCTagID id) const {
    const TIPTCTag* tag = Find(id);
    if (!tag || tag->GetDataSize() != 1) {
        return TIPTCPriority::ipTagMissing;
    }
    const auto found = std::find(PriorityBytes.begin(), PriorityBytes.end(), tag->GetBytes()[0]);
    return found == PriorityBytes.end() ? TIPTCPriority::ipTagMissing
                                        : static_cast<TIPTCPriority>(found - PriorityBytes.begin());
}

void TIPTCSection::SetPriorityValue(TIPTCTagID id, TIPTCPriority value) {
    const auto ordinal = static_cast<std::size_t>(value);
    if (value == TIPTCPriority::ipTagMissing || ordinal >= PriorityBytes.size()) {
        Remove(id);
        return;
    }
    const std::array<std::uint8_t, 1> bytes = {PriorityBytes[ordinal]};
    AddOrUpdate(id, bytes);
}

TDateTimeTagValue TIPTCSection::GetDateValue(TIPTCTagID id) const {
    const std::string text = GetStringValue(id);
    // Characters beyond the eighth are ignored.
    const std::string_view digits = std::string_view(text).substr(0, 8);
    if (digits.size() != 8 || !AllDigits(digits)) {
        return TDateTimeTagValue::CreateMissingOrInvalid();
    }
    const auto date =
        TryEncodeDate(DigitsValue(digits.substr(0, 4)), DigitsValue(digits.substr(4, 2)),
                      DigitsValue(digits.substr(6, 2)));
    return date ? TDateTimeTagValue(*date) : TDateTimeTagValue::CreateMissingOrInvalid();
}

void TIPTCSection::SetDateValue(TIPTCTagID id, TDateTimeTagValue value) {
    if (value.MissingOrInvalid()) {
        Remove(id);
        return;
    }
    const TDateParts date = DecodeDate(value.FValue);
    SetStringValue(id, Format("%.4d%.2d%.2d", date.Year, date.Month, date.Day));
}

TDateTimeTagValue TIPTCSection::GetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID,
                                                 bool asUtc) const {
    const TDateTimeTagValue date = GetDateValue(dateID);
    const auto time = ParseIIMTime(GetStringValue(timeID));
    if (!time) {
        return date;
    }
    const int shift = asUtc ? -time->MinutesAheadOfUtc : 0;
    if (date.MissingOrInvalid()) {
        // A time without a date stays a time of day, wrapped round midnight.
        return TDateTimeTagValue(TimeOf(IncMinute(time->TimeOfDay, shift)));
    }
    // Taking the offset off may move the moment into the day before or after.
    return TDateTimeTagValue(IncMinute(date.FValue + time->TimeOfDay, shift));
}

void TIPTCSection::SetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID, TDateTimeTagValue value,
                                    bool aheadOfUtc, std::uint8_t utcOffsetHrs,
                                    std::uint8_t utcOffsetMins) {
    if (value.MissingOrInvalid()) {
        Remove(TIPTCTagIDs{dateID, timeID});
        return;
    }
    const TDateTimeParts parts = DecodeDateTime(value.FValue);
    SetStringValue(dateID,
                   Format("%.4d%.2d%.2d", parts.Date.Year, parts.Date.Month, parts.Date.Day));
    SetStringValue(timeID, Format("%.2d%.2d%.2d%s%.2d%.2d", parts.Time.Hour, parts.Time.Minute,
                                  parts.Time.Second, aheadOfUtc ? "+" : "-", int{utcOffsetHrs},
                                  int{utcOffsetMins}));
}

void TIPTCSection::SetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID, TDateTimeTagValue value) {
    const int offset = LocalUTCOffsetMinutes();
    const int magnitude = std::abs(offset);
    SetDateTimeValue(dateID, timeID, value, offset >= 0, static_cast<std::uint8_t>(magnitude / 60),
                     static_cast<std::uint8_t>(magnitude % 60));
}

std::vector<std::string> TIPTCSection::GetRepeatableValue(TIPTCTagID id) const {
    std::vector<std::string> values;
    GetRepeatableValue(id, values, false);
    return values;
}

void TIPTCSection::GetRepeatableValue(TIPTCTagID id, std::vector<std::string>& dest,
                                      bool clearDestFirst) const {
    if (clearDestFirst) {
        dest.clear();
    }
    for (const TIPTCTag& tag : *this) {
        if (tag.GetID() == id) {
            dest.push_back(tag.GetAsString());
        }
    }
}

void TIPTCSection::InsertStrings(int position, TIPTCTagID id, std::span<const std::string> values) {
    for (const std::string& value : values) {
        Insert(position++, id).SetAsString(value);
    }
}

void TIPTCSection::SetRepeatableValue(TIPTCTagID id, std::span<const std::string> values) {
    // Copied first: the values may be this record's own text.
    const std::vector<std::string> copy(values.begin(), values.end());
    int position = Remove(id);
    if (position < 0) {
        position = SortedInsertPosition(id);
    }
    InsertStrings(position, id, copy);
}

void TIPTCSection::GetRepeatablePairs(TIPTCTagID keyID, TIPTCTagID valueID,
                                      std::vector<std::string>& dest, bool clearDestFirst,
                                      char separator) const {
    if (clearDestFirst) {
        dest.clear();
    }
    std::vector<std::string> keys = GetRepeatableValue(keyID);
    std::vector<std::string> values = GetRepeatableValue(valueID);
    const std::size_t count = std::max(keys.size(), values.size());
    keys.resize(count);
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        dest.push_back(keys[i] + separator + values[i]);
    }
}

void TIPTCSection::SetRepeatablePairs(TIPTCTagID keyID, TIPTCTagID valueID,
                                      std::span<const std::string> pairs, char separator) {
    const std::vector<std::string> lines(pairs.begin(), pairs.end());
    int position = Remove(TIPTCTagIDs{keyID, valueID});
    if (position < 0) {
        position = SortedInsertPosition(keyID);
    }
    for (const std::string& line : lines) {
        const std::size_t split = line.find(separator);
        if (split == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, split);
        const std::string value = line.substr(split + 1);
        if (!key.empty()) {
            Insert(position++, keyID).SetAsString(key);
        }
        if (!value.empty()) {
            Insert(position++, valueID).SetAsString(value);
        }
    }
}

} // namespace Kestrix::Exif
