#include "kestrix/Text.h"

#include "kestrix/BaseUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;

namespace {
const std::string Replacement = "\xEF\xBF\xBD";
}

TEST(Text, UTF8AndUTF16RoundTrip) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // A é € 😀
    const std::u16string units = UTF8ToUTF16(text);
    EXPECT_EQ(units, (std::u16string{u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(UTF16ToUTF8(units), text);
}

TEST(Text, InvalidInputBecomesReplacementCharacters) {
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"a\xFF"
         "b",
         "a" + Replacement + "b"},
        {"\xC3", Replacement},                                     // truncated sequence
        {"\xC0\xAF", Replacement + Replacement},                   // overlong
        {"\xED\xA0\x80", Replacement + Replacement + Replacement}, // encoded surrogate
        {"\xF4\x90\x80\x80", Replacement + Replacement + Replacement + Replacement}, // > U+10FFFF
        {"\xE2\x82", Replacement},  // maximal subpart counts once
        {Replacement, Replacement}, // a real U+FFFD is valid
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SanitizeUTF8(c.bytes), c.expected) << BytesToHex(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(UTF8BytesToText(c.bytes.data(), c.bytes.size()), c.expected);
        EXPECT_EQ(IsValidUTF8(c.bytes), c.bytes == Replacement);
    }
    EXPECT_EQ(UTF16ToUTF8(std::u16string{u'x', 0xD800}), "x" + Replacement);
    EXPECT_EQ(UTF16ToUTF8(std::u16string{0xDC00, u'y'}), Replacement + "y");
}

TEST(Text, Windows1252) {
    EXPECT_EQ(UTF8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C"), "caf\xE9 \x80 \x93");
    EXPECT_EQ(UTF8ToAnsi("\xE4\xB8\xAD\xF0\x9F\x98\x80"), "??"); // not in the code page
    EXPECT_EQ(AnsiToUTF8("caf\xE9 \x80 \x9F"), "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8");
    EXPECT_EQ(AnsiToUTF8("\x81"), "\xC2\x81"); // undefined byte kept as its C1 control
    EXPECT_EQ(UTF8ToAnsi(AnsiToUTF8("\x81\x8D\x8F\x90\x9D")), "\x81\x8D\x8F\x90\x9D");
    EXPECT_TRUE(IsASCII("plain text"));
    EXPECT_FALSE(IsASCII("caf\xE9"));
}

TEST(Text, BytesToHex) {
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x5F};
    EXPECT_EQ(BytesToHex(bytes, 2), "00AB");
    EXPECT_EQ(BytesToHex(bytes, 3), "00AB5F");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
}

TEST(Text, IntegerParsing) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"-17", -17},
        {" +42 ", 42},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$FF", 255},
        {"0x10", 16},
        {"$FFFFFFFF", -1},
        {"", std::nullopt},
        {"12a", std::nullopt},
        {"-", std::nullopt},
        {"1 2", std::nullopt},
        {"0x", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TryStrToInt(c.text), c.expected) << c.text;
    }
    EXPECT_EQ(TryStrToInt64("4294967296"), 4294967296LL);
    EXPECT_EQ(TryStrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(TryStrToInt64("9223372036854775808"), std::nullopt);
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.GetMessage(), "'abc' is not a valid integer value");
    }
}

TEST(Text, FloatTextInTheInvariantLocale) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {123456.75, "123456.75"},
        {1e20, "1E20"},
        {1.5e-7, "1.5E-7"},
        {0.00001, "0.00001"},
        {1e14, "100000000000000"},
        {1e15, "1E15"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToStr(c.value), c.text);
        EXPECT_EQ(FloatToStr(*TryStrToFloat(c.text)), c.text);
    }
    EXPECT_EQ(TryStrToFloat("1,5"), std::nullopt);
    EXPECT_EQ(TryStrToFloat("inf"), std::nullopt);
    EXPECT_EQ(TryStrToFloat(" 2.5 "), 2.5);
    EXPECT_THROW(StrToFloat("x"), EConvertError);
}

TEST(Text, FormatTakesStringsAndNumbers) {
    EXPECT_EQ(Format("%s=%d (%.2f)", std::string("a"), 5, 1.5), "a=5 (1.50)");
    EXPECT_EQ(Format("%.4d:%.2d", 7, 3), "0007:03");
    EXPECT_EQ(Format(""), "");
}
