// TDateTime: days since 30 December 1899 as a double; the fraction is the time
// of day. Negative values count back from that day, with the time of day taken
// from the absolute fraction (so -1.25 is 29 December 1899, 06:00).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Kestrix::Exif {

using TDateTime = double;

inline constexpr double MSecsPerDay = 86400000.0;
inline constexpr double MinutesPerDay = 1440.0;

struct TDateParts {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    bool operator==(const TDateParts&) const = default;
};

struct TTimeParts {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int MilliSecond = 0;
    bool operator==(const TTimeParts&) const = default;
};

struct TDateTimeParts {
    TDateParts Date;
    TTimeParts Time;
    bool operator==(const TDateTimeParts&) const = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month); // 0 for a month outside 1..12

// Years 1..9999; raise EConvertError ("Invalid argument to date encode" /
// "Invalid argument to time encode") on parts outside their ranges.
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int milliSecond);
std::optional<TDateTime> TryEncodeDateTime(int year, int month, int day, int hour, int minute,
                                           int second, int milliSecond);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int milliSecond);

// Rounded to the nearest millisecond; a value that rounds up to midnight moves
// to the next day. Values outside years 1..9999 give all-zero parts.
TDateTimeParts DecodeDateTime(TDateTime value);
TDateParts DecodeDate(TDateTime value);
TTimeParts DecodeTime(TDateTime value);

TDateTime DateOf(TDateTime value); // the day, time of day dropped
TDateTime TimeOf(TDateTime value); // the time of day as a fraction in [0, 1)
// Shifts by a number of minutes across midnight, whichever side of 1899 the value is on.
TDateTime IncMinute(TDateTime value, std::int64_t minutes);
TDateTime IncMilliSecond(TDateTime value, std::int64_t milliSeconds);

// Invariant-locale text: "yyyy-mm-dd", "hh:nn:ss" (".zzz" when there are
// milliseconds) and the two joined by a blank; a time of 00:00:00 is left out of
// DateTimeToStr.
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value);
// Accept the forms above, "yyyy/mm/dd", "yyyy:mm:dd", an optional "T" between
// date and time, "hh:nn" and fractional seconds; surrounding blanks are ignored.
std::optional<TDateTime> TryStrToDate(std::string_view text);
std::optional<TDateTime> TryStrToTime(std::string_view text);
std::optional<TDateTime> TryStrToDateTime(std::string_view text);

// The local clock.
TDateTime Now();
TDateTime Date();
// Minutes the local time zone is ahead of UTC: now, or in force at a local date-time.
int LocalUTCOffsetMinutes();
int LocalUTCOffsetMinutesAt(TDateTime localValue);

} // namespace Kestrix::Exif
