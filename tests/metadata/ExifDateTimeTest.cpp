#include "ExifTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace Kestrix::Exif;
using namespace ExifTestSupport;

namespace {

using TKind = TExifSectionKind;
using TType = TTiffDataType;

constexpr TTiffTagID MainID = TagIDs::ttDateTimeOriginal;
constexpr TTiffTagID SubSecsID = TagIDs::ttSubsecTimeOriginal;

TDateTime At(int year, int month, int day, int hour, int minute, int second, int ms) {
    return EncodeDateTime(year, month, day, hour, minute, second, ms);
}

void SetASCIIBytes(TExifSection& section, TTiffTagID id, const std::string& bytes) {
    auto& extendable = dynamic_cast<TExtendableExifSection&>(section);
    extendable.AddOrUpdate(id, TType::tdAscii, static_cast<std::int32_t>(bytes.size()),
                           bytes.data());
}

} // namespace

TEST(ExifDateTime, ReadingMainTextAndSubSeconds) {
    struct Case {
        const char* Name;
        std::string Main;                  // ASCII bytes, NUL included
        std::optional<std::string> SubSec; // ASCII bytes, NUL included
        std::optional<TDateTime> Expected; // missing when empty
    };
    const std::string main = std::string("2014:05:06 07:08:09") + '\0';
    const Case cases[] = {
        {"no sub-seconds", main, std::nullopt, At(2014, 5, 6, 7, 8, 9, 0)},
        {"one digit is tenths", main, std::string("5\0", 2), At(2014, 5, 6, 7, 8, 9, 500)},
        {"two digits", main, std::string("05\0", 3), At(2014, 5, 6, 7, 8, 9, 50)},
        {"beyond three digits dropped", main, std::string("123456\0", 7),
         At(2014, 5, 6, 7, 8, 9, 123)},
        {"NUL-padded text", main, std::string("5\0\0\0", 4), At(2014, 5, 6, 7, 8, 9, 500)},
        {"no text before NUL", main, std::string("\0\0", 2), At(2014, 5, 6, 7, 8, 9, 0)},
        {"bad sub-seconds ignored", main, std::string("ab\0", 3), At(2014, 5, 6, 7, 8, 9, 0)},
        {"sub-seconds across midnight", std::string("2014:05:06 23:59:59") + '\0',
         std::string("999\0", 4), At(2014, 5, 6, 23, 59, 59, 999)},
        {"no terminator", "2014:05:06 07:08:09", std::nullopt, At(2014, 5, 6, 7, 8, 9, 0)},
        {"dashes", std::string("2014-05-06 07:08:09") + '\0', std::nullopt, std::nullopt},
        {"invalid month", std::string("2014:13:06 07:08:09") + '\0', std::nullopt, std::nullopt},
        {"invalid hour", std::string("2014:05:06 24:08:09") + '\0', std::nullopt, std::nullopt},
        {"too short", std::string("2014:05:06 07:08:9") + '\0', std::nullopt, std::nullopt},
        {"blanks for unknown", std::string(19, ' ') + '\0', std::nullopt, std::nullopt},
        {"letters", std::string("2014:05:06 07:xx:09") + '\0', std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestExifOwner owner;
        TExifSection& details = owner.GetSection(TKind::esDetails);
        SetASCIIBytes(details, MainID, c.Main);
        if (c.SubSec) {
            SetASCIIBytes(details, SubSecsID, *c.SubSec);
        }
        const TDateTimeTagValue value = details.GetDateTimeValue(MainID, SubSecsID);
        if (!c.Expected) {
            EXPECT_TRUE(value.MissingOrInvalid());
            continue;
        }
        ASSERT_FALSE(value.MissingOrInvalid());
        EXPECT_EQ(DecodeDateTime(value.FValue), DecodeDateTime(*c.Expected));
    }
}

TEST(ExifDateTime, SubSecondsComeFromTheDetailsSectionOnly) {
    TTestExifOwner owner;
    TExifSection& general = owner.GetSection(TKind::esGeneral);
    SetASCIIBytes(general, TagIDs::ttDateTime, std::string("2014:05:06 07:08:09") + '\0');
    SetASCIIBytes(general, TagIDs::ttSubsecTime, std::string("5\0", 2));
    EXPECT_EQ(DecodeTime(general.GetDateTimeValue(TagIDs::ttDateTime, TagIDs::ttSubsecTime).FValue)
                  .MilliSecond,
              0);
    SetASCIIBytes(owner.GetSection(TKind::esDetails), TagIDs::ttSubsecTime, std::string("25\0", 3));
    EXPECT_EQ(DecodeTime(general.GetDateTimeValue(TagIDs::ttDateTime, TagIDs::ttSubsecTime).FValue)
                  .MilliSecond,
              250);
    EXPECT_EQ(DecodeTime(general.GetDateTimeValue(TagIDs::ttDateTime, 0).FValue).MilliSecond, 0);
    // A section without owner has no sub-seconds to look at.
    TExtendableExifSection loose(nullptr, TExifSectionKindEx::esDetails);
    SetASCIIBytes(loose, MainID, std::string("2014:05:06 07:08:09") + '\0');
    SetASCIIBytes(loose, SubSecsID, std::string("5\0", 2));
    EXPECT_EQ(DecodeTime(loose.GetDateTimeValue(MainID, SubSecsID).FValue).MilliSecond, 0);
}

TEST(ExifDateTime, Writing) {
    struct Case {
        const char* Name;
        TDateTimeTagValue Value;
        bool SubSecTagBefore;
        bool AlwaysWritePreciseTimes;
        std::optional<std::string> Main;   // empty: removed
        std::optional<std::string> SubSec; // empty: absent
    };
    const TDateTimeTagValue value = At(2014, 5, 6, 7, 8, 9, 5);
    const Case cases[] = {
        {"sub-second tag there", value, true, false, "2014:05:06 07:08:09", "005"},
        {"sub-second tag made", value, false, true, "2014:05:06 07:08:09", "005"},
        {"no sub-second tag", value, false, false, "2014:05:06 07:08:09", std::nullopt},
        {"missing removes both", TDateTimeTagValue(), true, true, std::nullopt, std::nullopt},
        {"before year 1 is missing", TDateTimeTagValue(-693594.0), true, false, std::nullopt,
         std::nullopt},
        {"zero is unknown", TDateTimeTagValue(0.0), true, false, std::string(19, ' '), "000"},
        {"rounding into the next second", At(2014, 12, 31, 23, 59, 59, 999) + 0.6 / MSecsPerDay,
         true, false, "2015:01:01 00:00:00", "000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestExifOwner owner;
        owner.AlwaysWritePreciseTimes = c.AlwaysWritePreciseTimes;
        TExifSection& general = owner.GetSection(TKind::esGeneral);
        TExifSection& details = owner.GetSection(TKind::esDetails);
        SetASCIIBytes(general, TagIDs::ttDateTime, "x");
        if (c.SubSecTagBefore) {
            // Of another type first: the writer makes it ASCII.
            details.SetWordValue(TagIDs::ttSubsecTime, 0, 1);
        }
        general.SetDateTimeValue(TagIDs::ttDateTime, TagIDs::ttSubsecTime, c.Value);
        std::string text;
        EXPECT_EQ(general.TryGetStringValue(TagIDs::ttDateTime, text), c.Main.has_value());
        if (c.Main) {
            EXPECT_EQ(text, *c.Main);
        }
        EXPECT_EQ(details.TryGetStringValue(TagIDs::ttSubsecTime, text), c.SubSec.has_value());
        if (c.SubSec) {
            EXPECT_EQ(text, *c.SubSec);
        }
        if (c.Main && c.SubSec && c.Value.FValue != 0) {
            EXPECT_EQ(general.GetDateTimeValue(TagIDs::ttDateTime, TagIDs::ttSubsecTime),
                      DecodeDateTime(c.Value.FValue).Date.Year == 2015
                          ? TDateTimeTagValue(At(2015, 1, 1, 0, 0, 0, 0))
                          : c.Value);
        }
    }
}

TEST(ExifDateTime, PlainSectionsCannotGainTheSubSecondTag) {
    TTestExifOwner owner(false);
    owner.AlwaysWritePreciseTimes = true;
    EXPECT_THROW(
        owner.GetSection(TKind::esGeneral)
            .SetDateTimeValue(TagIDs::ttDateTime, TagIDs::ttSubsecTime, At(2014, 5, 6, 7, 8, 9, 5)),
        EIllegalEditOfExifData);
}

// The text cache is per thread: threads writing different values at once each
// get their own texts.
TEST(ExifDateTime, ThreadsWriteTheirOwnValues) {
    constexpr int threadCount = 4;
    constexpr int rounds = 2000;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, &mismatches] {
            TTestExifOwner owner;
            owner.AlwaysWritePreciseTimes = true;
            TExifSection& details = owner.GetSection(TKind::esDetails);
            for (int i = 0; i < rounds; ++i) {
                const int ms = (t * 100 + i) % 1000;
                const TDateTimeTagValue value =
                    At(2000 + t, 1 + i % 12, 1 + i % 28, t, i % 60, 0, ms);
                details.SetDateTimeValue(MainID, SubSecsID, value);
                details.SetDateTimeValue(TagIDs::ttDateTimeDigitized, TagIDs::ttSubsecTimeDigitized,
                                         value);
                if (details.GetDateTimeValue(MainID, SubSecsID) != value ||
                    details.GetDateTimeValue(TagIDs::ttDateTimeDigitized,
                                             TagIDs::ttSubsecTimeDigitized) != value) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, 0);
}
