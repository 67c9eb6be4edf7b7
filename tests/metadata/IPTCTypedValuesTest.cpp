#include "kestrix/IPTC.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Kestrix::Exif;

namespace {

using Strings = std::vector<std::string>;

std::vector<int> IDs(const TIPTCSection& section) {
    std::vector<int> ids;
    for (const TIPTCTag& tag : section) {
        ids.push_back(tag.GetID());
    }
    return ids;
}

Strings Texts(const TIPTCSection& section) {
    Strings texts;
    for (const TIPTCTag& tag : section) {
        texts.push_back(tag.ReadUTF8String());
    }
    return texts;
}

// A record whose datasets hold the given texts, in that order.
void Fill(TIPTCSection& section, std::initializer_list<std::pair<TIPTCTagID, const char*>> tags) {
    for (const auto& [id, text] : tags) {
        section.Append(id).WriteRawString(text);
    }
    section.SetModified(false);
}

TDateTime Moment(int y, int mo, int d, int h, int mi, int s) {
    return EncodeDateTime(y, mo, d, h, mi, s, 0);
}

} // namespace

TEST(IPTCTypedValues, StringValueUsesTheFirstDatasetAndEmptyTextRemovesAll) {
    TIPTCSection section(nullptr, 2);
    EXPECT_EQ(section.GetStringValue(80), "");
    Fill(section, {{5, "t"}, {80, "one"}, {80, "two"}, {90, "c"}});
    EXPECT_EQ(section.GetStringValue(80), "one");
    section.SetStringValue(80, "new");
    EXPECT_EQ(Texts(section), (Strings{"t", "new", "two", "c"}));
    section.SetStringValue(80, "");
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 90}));
    section.SetStringValue(85, "title");
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 85, 90}));
}

TEST(IPTCTypedValues, WordValueNeedsExactlyTwoBytes) {
    TIPTCSection section(nullptr, 1);
    EXPECT_TRUE(section.GetWordValue(0).MissingOrInvalid());
    section.SetWordValue(0, TWordTagValue(0x1234));
    EXPECT_EQ(section.GetTag(0).ReadUTF8String(), "\x12\x34");
    EXPECT_EQ(section.GetWordValue(0), TWordTagValue(0x1234));
    EXPECT_EQ(section.GetTag(0).GetAsString(), "4660");
    section.GetTag(0).SetDataSize(3);
    EXPECT_TRUE(section.GetWordValue(0).MissingOrInvalid());
    section.SetWordValue(0, TWordTagValue(7));
    EXPECT_EQ(section.Count(), 1) << "the existing dataset is updated";
    EXPECT_EQ(section.GetWordValue(0), TWordTagValue(7));
    section.SetWordValue(0, TWordTagValue::CreateMissingOrInvalid());
    EXPECT_EQ(section.Count(), 0);
}

TEST(IPTCTypedValues, PrioritiesReadAndWriteTheirDigit) {
    struct Case {
        std::string Stored;
        TIPTCPriority Priority;
    };
    const Case cases[] = {
        {"8", TIPTCPriority::ipLowest},      {"7", TIPTCPriority::ipVeryLow},
        {"6", TIPTCPriority::ipLow},         {"5", TIPTCPriority::ipNormal},
        {"4", TIPTCPriority::ipNormalHigh},  {"3", TIPTCPriority::ipHigh},
        {"2", TIPTCPriority::ipVeryHigh},    {"1", TIPTCPriority::ipHighest},
        {"9", TIPTCPriority::ipUserDefined}, {"0", TIPTCPriority::ipReserved},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        TIPTCSection read(nullptr, 2);
        Fill(read, {{10, c.Stored.c_str()}});
        EXPECT_EQ(read.GetPriorityValue(10), c.Priority);
        TIPTCSection written(nullptr, 2);
        written.SetPriorityValue(10, c.Priority);
        EXPECT_EQ(written.GetTag(0).ReadUTF8String(), c.Stored);
    }
    for (const std::string& stored :
         {std::string("A"), std::string("55"), std::string(), std::string(1, '\0')}) {
        TIPTCSection section(nullptr, 2);
        section.Add(10).WriteRawString(stored);
        EXPECT_EQ(section.GetPriorityValue(10), TIPTCPriority::ipTagMissing);
    }
    TIPTCSection section(nullptr, 2);
    EXPECT_EQ(section.GetPriorityValue(10), TIPTCPriority::ipTagMissing);
    section.SetPriorityValue(10, TIPTCPriority::ipHigh);
    section.SetPriorityValue(10, TIPTCPriority::ipTagMissing);
    EXPECT_EQ(section.Count(), 0);
}

TEST(IPTCTypedValues, DatesReadAsCCYYMMDD) {
    struct Case {
        const char* Stored;
        TDateTimeTagValue Expected;
    };
    const TDateTimeTagValue missing;
    const Case cases[] = {
        {"20230115", EncodeDate(2023, 1, 15)},
        {"2023011512", EncodeDate(2023, 1, 15)},
        {"20240229", EncodeDate(2024, 2, 29)},
        {"00010101", EncodeDate(1, 1, 1)},
        {"20230230", missing},
        {"20231301", missing},
        {"00000101", missing},
        {"2023011", missing},
        {"2023-1-5", missing},
        {" 2023011", missing},
        {"2023O115", missing},
        {"", missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        TIPTCSection section(nullptr, 2);
        Fill(section, {{55, c.Stored}});
        EXPECT_EQ(section.GetDateValue(55), c.Expected);
    }
    TIPTCSection section(nullptr, 2);
    EXPECT_TRUE(section.GetDateValue(55).MissingOrInvalid());
    section.SetDateValue(55, Moment(987, 6, 5, 23, 59, 59));
    EXPECT_EQ(section.GetStringValue(55), "09870605") << "the time of day is dropped";
    section.SetDateValue(55, TDateTimeTagValue());
    EXPECT_EQ(section.Count(), 0);
}

TEST(IPTCTypedValues, DateTimeTakesTheOffsetOffAcrossMidnight) {
    struct Case {
        const char* Name;
        const char* Date; // nullptr: no date dataset
        const char* Time;
        bool AsUtc;
        TDateTimeTagValue Expected;
    };
    const TDateTime day0 = 0;
    const Case cases[] = {
        {"local time", "20240301", "101500+0100", false, Moment(2024, 3, 1, 10, 15, 0)},
        {"ahead of UTC", "20240301", "101500+0100", true, Moment(2024, 3, 1, 9, 15, 0)},
        {"behind UTC", "20240301", "101500-0230", true, Moment(2024, 3, 1, 12, 45, 0)},
        {"minutes borrow from hours", "20240301", "101000+0030", true,
         Moment(2024, 3, 1, 9, 40, 0)},
        {"back over midnight", "20240301", "003000+0100", true, Moment(2024, 2, 29, 23, 30, 0)},
        {"back over midnight, local", "20240301", "003000+0100", false,
         Moment(2024, 3, 1, 0, 30, 0)},
        {"forward over midnight", "20231231", "233000-0100", true, Moment(2024, 1, 1, 0, 30, 0)},
        {"forward over midnight, local", "20231231", "233000-0100", false,
         Moment(2023, 12, 31, 23, 30, 0)},
        {"no offset: the date alone", "20240301", "101500", true, EncodeDate(2024, 3, 1)},
        {"bad sign", "20240301", "101500*0100", false, EncodeDate(2024, 3, 1)},
        {"not digits", "20240301", "1015x0+0100", false, EncodeDate(2024, 3, 1)},
        {"hour 24", "20240301", "240000+0000", false, EncodeDate(2024, 3, 1)},
        {"minute 60", "20240301", "106000+0000", true, EncodeDate(2024, 3, 1)},
        {"time alone", nullptr, "235959-0000", false, day0 + EncodeTime(23, 59, 59, 0)},
        {"time alone, wrapped back", nullptr, "003000+0100", true, EncodeTime(23, 30, 0, 0)},
        {"time alone, wrapped forward", nullptr, "233000-0100", true, EncodeTime(0, 30, 0, 0)},
        {"nothing", nullptr, "101500", false, TDateTimeTagValue()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TIPTCSection section(nullptr, 2);
        if (c.Date) {
            section.Add(55).WriteRawString(c.Date);
        }
        section.Add(60).WriteRawString(c.Time);
        const TDateTimeTagValue value = section.GetDateTimeValue(55, 60, c.AsUtc);
        EXPECT_EQ(value, c.Expected) << DateTimeToStr(value.FValue);
    }
}

TEST(IPTCTypedValues, DateTimeWritesDateAndTimeWithTheOffset) {
    TIPTCSection section(nullptr, 2);
    section.SetDateTimeValue(55, 60, Moment(2024, 3, 1, 14, 5, 9) + 0.4 / 86400, false, 2, 30);
    EXPECT_EQ(section.GetStringValue(55), "20240301");
    EXPECT_EQ(section.GetStringValue(60), "140509-0230");
    EXPECT_EQ(section.GetDateTimeValue(55, 60, true), Moment(2024, 3, 1, 16, 35, 9));
    section.SetDateTimeValue(55, 60, Moment(2024, 3, 1, 0, 0, 0), true, 0, 0);
    EXPECT_EQ(section.GetStringValue(60), "000000+0000");
    EXPECT_EQ(section.Count(), 2) << "the datasets are updated, not added";

    section.SetDateTimeValue(55, 60, Moment(2020, 7, 8, 9, 10, 11));
    const int offset = LocalUTCOffsetMinutes();
    const int magnitude = offset < 0 ? -offset : offset;
    EXPECT_EQ(section.GetStringValue(60),
              Format("091011%s%.2d%.2d", offset >= 0 ? "+" : "-", magnitude / 60, magnitude % 60));

    section.Add(5).WriteRawString("kept");
    section.SetDateTimeValue(55, 60, TDateTimeTagValue());
    EXPECT_EQ(IDs(section), (std::vector<int>{5}));
}

TEST(IPTCTypedValues, RepeatableValuesReplaceInPlace) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {{5, "t"}, {25, "k1"}, {80, "b"}, {25, "k2"}});
    EXPECT_EQ(section.GetRepeatableValue(25), (Strings{"k1", "k2"}));
    Strings dest = {"old"};
    section.GetRepeatableValue(25, dest, false);
    EXPECT_EQ(dest, (Strings{"old", "k1", "k2"}));
    section.GetRepeatableValue(25, dest, true);
    EXPECT_EQ(dest, (Strings{"k1", "k2"}));

    section.SetRepeatableValue(25, Strings{"a", ""});
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 25, 25, 80}));
    EXPECT_EQ(Texts(section), (Strings{"t", "a", "", "b"}));
    EXPECT_EQ(section.GetTag(2).GetDataSize(), 0);
    section.SetRepeatableValue(25, Strings{});
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 80}));
    EXPECT_TRUE(section.GetRepeatableValue(25).empty());
    section.SetRepeatableValue(25, Strings{"x", "y"});
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 25, 25, 80})) << "placed after the last lower";
    section.SetRepeatableValue(1, Strings{"z"});
    EXPECT_EQ(IDs(section), (std::vector<int>{1, 5, 25, 25, 80}));

    // A record's own values can be written back to it.
    section.SetRepeatableValue(25, section.GetRepeatableValue(25));
    EXPECT_EQ(section.GetRepeatableValue(25), (Strings{"x", "y"}));
}

TEST(IPTCTypedValues, PairsPadAndInterleave) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {{26, "A"}, {26, "B"}, {27, "x"}});
    Strings lines = {"stale"};
    section.GetRepeatablePairs(26, 27, lines, true);
    EXPECT_EQ(lines, (Strings{"A=x", "B="}));
    section.GetRepeatablePairs(27, 26, lines, false, ':');
    EXPECT_EQ(lines, (Strings{"A=x", "B=", "x:A", ":B"}));

    TIPTCSection other(nullptr, 2);
    Fill(other, {{5, "t"}, {26, "old"}, {90, "c"}, {27, "old"}});
    other.SetRepeatablePairs(26, 27, Strings{"A=x", "B=", "C", "=y", "D=e=f"});
    EXPECT_EQ(IDs(other), (std::vector<int>{5, 26, 27, 26, 27, 26, 27, 90}));
    EXPECT_EQ(Texts(other), (Strings{"t", "A", "x", "B", "y", "D", "e=f", "c"}));

    TIPTCSection fresh(nullptr, 2);
    Fill(fresh, {{5, "t"}, {90, "c"}});
    fresh.SetRepeatablePairs(80, 85, Strings{"Ann:Editor"}, ':');
    EXPECT_EQ(IDs(fresh), (std::vector<int>{5, 80, 85, 90}));
    fresh.SetRepeatablePairs(80, 85, Strings{});
    EXPECT_EQ(IDs(fresh), (std::vector<int>{5, 90}));
}
