#include "kestrix/DateTime.h"

#include "kestrix/Exceptions.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace Kestrix::Exif;

TEST(DateTime, EncodesDaysFrom30December1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
}

TEST(DateTime, RefusesImpossibleParts) {
    const int bad[][4] = {{0, 1, 1},     {10000, 1, 1}, {2001, 2, 29},
                          {2000, 13, 1}, {2000, 4, 31}, {2000, 1, 0}};
    for (const auto& d : bad) {
        EXPECT_FALSE(TryEncodeDate(d[0], d[1], d[2])) << d[0] << "-" << d[1] << "-" << d[2];
    }
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    const int badTimes[][4] = {
        {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : badTimes) {
        EXPECT_FALSE(TryEncodeTime(t[0], t[1], t[2], t[3]));
    }
    try {
        EncodeDate(2001, 2, 29);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.GetMessage(), "Invalid argument to date encode");
    }
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
}

TEST(DateTime, DecodesBothSidesOf1899AndRoundsToMilliseconds) {
    struct Case {
        TDateTime value;
        TDateTimeParts parts;
    };
    const Case cases[] = {
        {0.0, {{1899, 12, 30}, {0, 0, 0, 0}}},
        {-1.25, {{1899, 12, 29}, {6, 0, 0, 0}}},
        {-0.5, {{1899, 12, 30}, {12, 0, 0, 0}}},
        {EncodeDateTime(2024, 3, 1, 23, 59, 59, 999), {{2024, 3, 1}, {23, 59, 59, 999}}},
        {EncodeDate(2024, 3, 1) + 0.99999999999,
         {{2024, 3, 2}, {0, 0, 0, 0}}}, // rounds up to midnight
        {-693593.0, {{1, 1, 1}, {0, 0, 0, 0}}},
        {-700000.0, {}}, // before year 1: no date
        {1e300, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeDateTime(c.value), c.parts) << c.value;
    }
}

TEST(DateTime, IncMinuteCrossesMidnightOnBothSidesOf1899) {
    EXPECT_EQ(DecodeDateTime(IncMinute(EncodeDateTime(2024, 3, 1, 23, 30, 0, 0), 45)),
              (TDateTimeParts{{2024, 3, 2}, {0, 15, 0, 0}}));
    EXPECT_EQ(DecodeDateTime(IncMinute(EncodeDateTime(2024, 3, 1, 0, 15, 0, 0), -60)),
              (TDateTimeParts{{2024, 2, 29}, {23, 15, 0, 0}}));
    EXPECT_EQ(DecodeDateTime(IncMinute(EncodeDateTime(1899, 12, 30, 0, 30, 0, 0), -60)),
              (TDateTimeParts{{1899, 12, 29}, {23, 30, 0, 0}}));
    EXPECT_EQ(DecodeDateTime(IncMinute(EncodeDateTime(1899, 12, 29, 23, 30, 0, 0), 60)),
              (TDateTimeParts{{1899, 12, 30}, {0, 30, 0, 0}}));
    EXPECT_EQ(DecodeDateTime(IncMinute(EncodeDateTime(1850, 6, 1, 12, 0, 0, 0), 90)),
              (TDateTimeParts{{1850, 6, 1}, {13, 30, 0, 0}}));
}

TEST(DateTime, InvariantTextFormsRoundTrip) {
    const TDateTime value = EncodeDateTime(2014, 3, 5, 10, 30, 15, 0);
    EXPECT_EQ(DateToStr(value), "2014-03-05");
    EXPECT_EQ(TimeToStr(value), "10:30:15");
    EXPECT_EQ(DateTimeToStr(value), "2014-03-05 10:30:15");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2014, 3, 5)), "2014-03-05");
    EXPECT_EQ(TimeToStr(EncodeTime(1, 2, 3, 45)), "01:02:03.045");
    EXPECT_EQ(TryStrToDateTime(DateTimeToStr(value)), value);

    struct Case {
        const char* text;
        std::optional<TDateTime> expected;
    };
    const Case cases[] = {
        {"2014-03-05", EncodeDate(2014, 3, 5)},
        {"2014:03:05 10:30:15", value},
        {"2014/3/5T10:30:15", value},
        {" 2014-03-05 10:30 ", EncodeDateTime(2014, 3, 5, 10, 30, 0, 0)},
        {"10:30:15.5", EncodeTime(10, 30, 15, 500)},
        {"1899-12-29 06:00", -1.25},
        {"2014-02-30", std::nullopt},
        {"2014-03-05 25:00", std::nullopt},
        {"2014-03-05x", std::nullopt},
        {"2014-03/05", std::nullopt},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TryStrToDateTime(c.text), c.expected) << c.text;
    }
    EXPECT_EQ(TryStrToDate("10:30"), std::nullopt);
    EXPECT_EQ(TryStrToTime("2014-03-05"), std::nullopt);
}

TEST(DateTime, LocalOffsetFollowsTheTimeZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    EXPECT_EQ(LocalUTCOffsetMinutesAt(EncodeDateTime(2024, 1, 15, 12, 0, 0, 0)), -300);
    EXPECT_EQ(LocalUTCOffsetMinutesAt(EncodeDateTime(2024, 7, 15, 12, 0, 0, 0)), -240);
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(LocalUTCOffsetMinutes(), 0);
    if (saved) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
    EXPECT_EQ(Date(), DateOf(Date()));
}
