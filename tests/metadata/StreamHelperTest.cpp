#include "kestrix/StreamHelper.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Kestrix::Exif;

namespace {

std::vector<std::uint8_t> Written(auto write) {
    TMemoryStream stream;
    write(stream);
    const auto bytes = stream.GetBytes();
    return {bytes.begin(), bytes.end()};
}

using Bytes = std::vector<std::uint8_t>;

} // namespace

TEST(StreamHelper, SwapsReverseBytes) {
    EXPECT_EQ(SwapLongWord(0x12345678u), 0x78563412u);
    EXPECT_EQ(SwapLongInt(-2), static_cast<std::int32_t>(0xFEFFFFFFu));
    EXPECT_EQ(SwapWord(0x1234), 0x3412);
    EXPECT_EQ(SwapDouble(SwapDouble(1.5)), 1.5);
}

TEST(StreamHelper, WritersUseTheGivenByteOrder) {
    EXPECT_EQ(Written([](TStream& s) { WriteWord(s, 0x1234, TEndianness::BigEndian); }),
              (Bytes{0x12, 0x34}));
    EXPECT_EQ(Written([](TStream& s) { WriteWord(s, 0x1234, TEndianness::SmallEndian); }),
              (Bytes{0x34, 0x12}));
    EXPECT_EQ(Written([](TStream& s) { WriteLongInt(s, -2, TEndianness::BigEndian); }),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(Written([](TStream& s) { WriteLongWord(s, 0x01020304, TEndianness::SmallEndian); }),
              (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(Written([](TStream& s) { WriteDouble(s, TEndianness::BigEndian, 1.0); }),
              (Bytes{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Written([](TStream& s) { WriteUTF16(s, "A\xC3\xA9\xF0\x9F\x98\x80", true); }),
              (Bytes{0x00, 0x41, 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00}));
    EXPECT_EQ(Written([](TStream& s) { WriteUTF16(s, "A", false); }), (Bytes{0x41, 0x00}));
    EXPECT_EQ(Written([](TStream& s) { WriteBytes(s, ""); }), Bytes{});
    EXPECT_EQ(Written([](TStream& s) { WriteUTF8Format(s, "%d-%s", 7, std::string("\xC3\xA9")); }),
              (Bytes{'7', '-', 0xC3, 0xA9}));
}

TEST(StreamHelper, ReadersRoundTripBothOrders) {
    for (const auto order : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        TMemoryStream stream;
        WriteWord(stream, 0xBEEF, order);
        WriteLongInt(stream, -123456789, order);
        WriteLongWord(stream, 0xDEADBEEF, order);
        WriteDouble(stream, order, -2.25);
        stream.SetPosition(0);
        std::uint16_t word = 0;
        std::int32_t longInt = 0;
        std::uint32_t longWord = 0;
        ASSERT_TRUE(TryReadWord(stream, order, word));
        ASSERT_TRUE(TryReadLongInt(stream, order, longInt));
        ASSERT_TRUE(TryReadLongWord(stream, order, longWord));
        EXPECT_EQ(word, 0xBEEF);
        EXPECT_EQ(longInt, -123456789);
        EXPECT_EQ(longWord, 0xDEADBEEFu);
        EXPECT_EQ(ReadDouble(stream, order), -2.25);
    }
}

TEST(StreamHelper, ShortReadsRestoreOrRaiseAsTold) {
    const std::uint8_t data[] = {1, 2, 3, 4, 5};
    TUserMemoryStream stream(data, sizeof data);
    stream.SetPosition(2);
    std::uint32_t longWord = 0;
    EXPECT_FALSE(TryReadLongWord(stream, TEndianness::BigEndian, longWord));
    EXPECT_EQ(stream.GetPosition(), 2);
    std::int32_t longInt = 0;
    EXPECT_FALSE(TryReadLongInt(stream, TEndianness::SmallEndian, longInt));
    EXPECT_EQ(stream.GetPosition(), 2);
    std::uint8_t buffer[4];
    EXPECT_FALSE(TryReadBuffer(stream, buffer, 4));
    EXPECT_EQ(stream.GetPosition(), 2);
    stream.SetPosition(4);
    std::uint16_t word = 0;
    EXPECT_FALSE(TryReadWord(stream, TEndianness::BigEndian, word));
    EXPECT_EQ(stream.GetPosition(), 4);
    EXPECT_EQ(ReadByte(stream), 5);
    EXPECT_THROW(ReadByte(stream), EReadError);
    stream.SetPosition(0);
    try {
        ReadDouble(stream, TEndianness::BigEndian);
        FAIL() << "ReadDouble read past the end";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(StreamHelper, MatchHeader) {
    struct Case {
        Bytes content;
        bool restore;
        bool matches;
        std::int64_t positionAfter;
    };
    const Case cases[] = {
        {{'A', 'B', 'D'}, false, false, 0},
        {{'A', 'B', 'C', 'X'}, false, true, 3},
        {{'A', 'B', 'C', 'X'}, true, true, 0},
        {{'A', 'B'}, false, false, 0},
        {{}, false, false, 0},
    };
    for (const auto& c : cases) {
        TUserMemoryStream stream(c.content.data(), c.content.size());
        EXPECT_EQ(MatchHeader(stream, "ABC", c.restore), c.matches);
        EXPECT_EQ(stream.GetPosition(), c.positionAfter);
    }
}
