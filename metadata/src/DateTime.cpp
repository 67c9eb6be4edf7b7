#include "kestrix/DateTime.h"

#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Text.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace Kestrix::Exif {

namespace {

constexpr std::int64_t MSecsPerDayInt = 86400000;

// Days from 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr TDateParts CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr std::int64_t DeltaTo1899 = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t FirstDay = DaysFromCivil(1, 1, 1) - DeltaTo1899;     // -693593
constexpr std::int64_t LastDay = DaysFromCivil(9999, 12, 31) - DeltaTo1899; // 2958465

// A TDateTime as a day number and the milliseconds into that day, rounded to
// the nearest millisecond (and carried into the next day when that rounds to 24:00).
struct TDayAndTime {
    std::int64_t Day;
    std::int64_t MilliSeconds;
};

TDayAndTime Split(TDateTime value) {
    const double day = std::trunc(value);
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - day) * MSecsPerDay));
    auto dayNumber = static_cast<std::int64_t>(day);
    if (ms >= MSecsPerDayInt) {
        ms -= MSecsPerDayInt;
        dayNumber += value < 0 ? -1 : 1;
    }
    return {dayNumber, ms};
}

TDateTime Join(std::int64_t day, std::int64_t milliSeconds) {
    const double time = static_cast<double>(milliSeconds) / MSecsPerDay;
    return day < 0 ? static_cast<double>(day) - time : static_cast<double>(day) + time;
}

bool ValueInRange(TDateTime value) {
    return std::isfinite(value) && value > static_cast<double>(FirstDay - 1) &&
           value < static_cast<double>(LastDay + 1);
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        DeltaTo1899);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int milliSecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        milliSecond < 0 || milliSecond > 999) {
        return std::nullopt;
    }
    const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + milliSecond;
    return static_cast<double>(ms) / MSecsPerDay;
}

std::optional<TDateTime> TryEncodeDateTime(int year, int month, int day, int hour, int minute,
                                           int second, int milliSecond) {
    const auto date = TryEncodeDate(year, month, day);
    const auto time = TryEncodeTime(hour, minute, second, milliSecond);
    if (!date || !time) {
        return std::nullopt;
    }
    return *date < 0 ? *date - *time : *date + *time;
}

TDateTime EncodeDate(int year, int month, int day) {
    if (const auto value = TryEncodeDate(year, month, day)) {
        return *value;
    }
    throw EConvertError(Consts::SDateEncodeError);
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond) {
    if (const auto value = TryEncodeTime(hour, minute, second, milliSecond)) {
        return *value;
    }
    throw EConvertError(Consts::STimeEncodeError);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int milliSecond) {
    const TDateTime date = EncodeDate(year, month, day);
    const TDateTime time = EncodeTime(hour, minute, second, milliSecond);
    return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    if (!ValueInRange(value)) {
        return {};
    }
    const auto [day, ms] = Split(value);
    if (day < FirstDay || day > LastDay) {
        return {};
    }
    TDateTimeParts parts;
    parts.Date = CivilFromDays(day + DeltaTo1899);
    parts.Time.Hour = static_cast<int>(ms / 3600000);
    parts.Time.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Time.Second = static_cast<int>(ms / 1000 % 60);
    parts.Time.MilliSecond = static_cast<int>(ms % 1000);
    return parts;
}

TDateParts DecodeDate(TDateTime value) {
    return DecodeDateTime(value).Date;
}
TTimeParts DecodeTime(TDateTime value) {
    return DecodeDateTime(value).Time;
}

TDateTime DateOf(TDateTime value) {
    return std::trunc(value);
}

TDateTime TimeOf(TDateTime value) {
    return static_cast<double>(Split(value).MilliSeconds) / MSecsPerDay;
}

TDateTime IncMilliSecond(TDateTime value, std::int64_t milliSeconds) {
    // On a linear millisecond scale the day before 30 December 1899 is simply
    // day -1, so shifting works the same on both sides.
    const auto [day, ms] = Split(value);
    const std::int64_t linear = day * MSecsPerDayInt + ms + milliSeconds;
    std::int64_t newDay = linear / MSecsPerDayInt;
    std::int64_t newMs = linear % MSecsPerDayInt;
    if (newMs < 0) {
        newMs += MSecsPerDayInt;
        --newDay;
    }
    return Join(newDay, newMs);
}

TDateTime IncMinute(TDateTime value, std::int64_t minutes) {
    return IncMilliSecond(value, minutes * 60000);
}

std::string DateToStr(TDateTime value) {
    const TDateParts d = DecodeDate(value);
    return Format("%.4d-%.2d-%.2d", d.Year, d.Month, d.Day);
}

std::string TimeToStr(TDateTime value) {
    const TTimeParts t = DecodeTime(value);
    if (t.MilliSecond != 0) {
        return Format("%.2d:%.2d:%.2d.%.3d", t.Hour, t.Minute, t.Second, t.MilliSecond);
    }
    return Format("%.2d:%.2d:%.2d", t.Hour, t.Minute, t.Second);
}

std::string DateTimeToStr(TDateTime value) {
    const TTimeParts t = DecodeTime(value);
    if (t == TTimeParts{}) {
        return DateToStr(value);
    }
    return DateToStr(value) + " " + TimeToStr(value);
}

namespace {

// Reads 1..maxDigits decimal digits.
bool ReadNumber(std::string_view& text, int maxDigits, int& value) {
    int digits = 0;
    value = 0;
    while (!text.empty() && digits < maxDigits && text.front() >= '0' && text.front() <= '9') {
        value = value * 10 + (text.front() - '0');
        text.remove_prefix(1);
        ++digits;
    }
    return digits > 0;
}

bool ReadChar(std::string_view& text, char c) {
    if (!text.empty() && text.front() == c) {
        text.remove_prefix(1);
        return true;
    }
    return false;
}

std::optional<TDateTime> ParseDate(std::string_view& text) {
    int year = 0, month = 0, day = 0;
    if (!ReadNumber(text, 4, year) || text.empty()) {
        return std::nullopt;
    }
    const char separator = text.front();
    if (separator != '-' && separator != '/' && separator != ':') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    if (!ReadNumber(text, 2, month) || !ReadChar(text, separator) || !ReadNumber(text, 2, day)) {
        return std::nullopt;
    }
    return TryEncodeDate(year, month, day);
}

std::optional<TDateTime> ParseTime(std::string_view& text) {
    int hour = 0, minute = 0, second = 0, ms = 0;
    if (!ReadNumber(text, 2, hour) || !ReadChar(text, ':') || !ReadNumber(text, 2, minute)) {
        return std::nullopt;
    }
    if (ReadChar(text, ':')) {
        if (!ReadNumber(text, 2, second)) {
            return std::nullopt;
        }
        if (ReadChar(text, '.')) {
            int fraction = 0;
            std::string_view digits = text;
            if (!ReadNumber(text, 9, fraction)) {
                return std::nullopt;
            }
            const auto count = static_cast<int>(digits.size() - text.size());
            ms = static_cast<int>(std::lround(fraction * std::pow(10.0, 3 - count)));
            ms = ms > 999 ? 999 : ms;
        }
    }
    return TryEncodeTime(hour, minute, second, ms);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

std::optional<TDateTime> TryStrToDate(std::string_view text) {
    text = TrimBlanks(text);
    const auto date = ParseDate(text);
    return date && text.empty() ? date : std::nullopt;
}

std::optional<TDateTime> TryStrToTime(std::string_view text) {
    text = TrimBlanks(text);
    const auto time = ParseTime(text);
    return time && text.empty() ? time : std::nullopt;
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text) {
    text = TrimBlanks(text);
    std::string_view rest = text;
    const auto date = ParseDate(rest);
    if (!date) {
        return TryStrToTime(text);
    }
    if (rest.empty()) {
        return date;
    }
    if (rest.front() != ' ' && rest.front() != 'T') {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    const auto time = TryStrToTime(rest);
    if (!time) {
        return std::nullopt;
    }
    return *date < 0 ? *date - *time : *date + *time;
}

namespace {

TDateTime FromLocalTm(const std::tm& local, int milliSecond) {
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, milliSecond);
}

} // namespace

TDateTime Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return FromLocalTm(local, static_cast<int>(ms < 0 ? 0 : ms));
}

TDateTime Date() {
    return DateOf(Now());
}

int LocalUTCOffsetMinutes() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}

int LocalUTCOffsetMinutesAt(TDateTime localValue) {
    const TDateTimeParts parts = DecodeDateTime(localValue);
    if (parts.Date.Year == 0) {
        return LocalUTCOffsetMinutes();
    }
    std::tm local{};
    local.tm_year = parts.Date.Year - 1900;
    local.tm_mon = parts.Date.Month - 1;
    local.tm_mday = parts.Date.Day;
    local.tm_hour = parts.Time.Hour;
    local.tm_min = parts.Time.Minute;
    local.tm_sec = parts.Time.Second;
    local.tm_isdst = -1;
    if (std::mktime(&local) == static_cast<std::time_t>(-1)) {
        return LocalUTCOffsetMinutes();
    }
    return static_cast<int>(local.tm_gmtoff / 60);
}

} // namespace Kestrix::Exif
