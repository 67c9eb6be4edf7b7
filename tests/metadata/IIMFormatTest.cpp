#include "kestrix/IPTC.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Kestrix::Exif;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(Bytes head, std::size_t zeros) {
    head.resize(head.size() + zeros, 0);
    return head;
}

Bytes Written(TIPTCSectionID section, TIPTCTagID tag, std::size_t size) {
    TMemoryStream stream;
    const Bytes data(size, 0xAB);
    WriteIIMDataset(stream, section, tag, data);
    const auto bytes = stream.GetBytes();
    return {bytes.begin(), bytes.end()};
}

struct HeaderCase {
    const char* Name;
    Bytes Stream;
    bool Accepted;
    std::int32_t DataSize;  // when accepted
    std::int64_t DataStart; // when accepted
};

} // namespace

TEST(IIMHeader, ReadsEveryLengthFormAndRefusesTheRest) {
    const HeaderCase cases[] = {
        {"zero length", {0x1C, 2, 25, 0x00, 0x00}, true, 0, 5},
        {"short form", {0x1C, 2, 25, 0x00, 0x05, 'a'}, true, 5, 5},
        {"largest short form", {0x1C, 9, 255, 0x7F, 0xFF}, true, 0x7FFF, 5},
        {"record 1", {0x1C, 1, 0, 0x00, 0x02}, true, 2, 5},
        {"four-byte form", {0x1C, 2, 120, 0xFF, 0xFC, 0x00, 0x01, 0x00, 0x00}, true, 0x10000, 9},
        {"four-byte form, negative",
         {0x1C, 2, 120, 0xFF, 0xFC, 0xFF, 0xFF, 0xFF, 0xFE},
         true,
         -2,
         9},
        {"two-byte form", {0x1C, 2, 120, 0xFF, 0xFE, 0x9C, 0x40}, true, 40000, 7},
        {"one-byte form", {0x1C, 2, 120, 0xFF, 0xFF, 0xC8}, true, 200, 6},
        {"IIM's own 4-byte form 0x8004", {0x1C, 2, 120, 0x80, 0x04, 0, 0, 0x9C, 0x40}, false, 0, 0},
        {"top bit alone", {0x1C, 2, 120, 0x80, 0x00}, false, 0, 0},
        {"0xFFFD", {0x1C, 2, 120, 0xFF, 0xFD, 0, 0, 0, 0}, false, 0, 0},
        {"wrong marker", {0x1D, 2, 25, 0x00, 0x00}, false, 0, 0},
        {"record 0", {0x1C, 0, 25, 0x00, 0x00}, false, 0, 0},
        {"record 10", {0x1C, 10, 25, 0x00, 0x00}, false, 0, 0},
        {"empty stream", {}, false, 0, 0},
        {"four header bytes", {0x1C, 2, 25, 0x00}, false, 0, 0},
        {"four-byte length cut short", {0x1C, 2, 25, 0xFF, 0xFC, 0x00, 0x00, 0x01}, false, 0, 0},
        {"two-byte length cut short", {0x1C, 2, 25, 0xFF, 0xFE, 0x01}, false, 0, 0},
        {"one-byte length missing", {0x1C, 2, 25, 0xFF, 0xFF}, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const bool reset : {false, true}) {
            // Read from the middle of a stream, so "put back" means back to the header.
            Bytes bytes = {0xEE, 0xEE};
            bytes.insert(bytes.end(), c.Stream.begin(), c.Stream.end());
            TMemoryStream stream(bytes);
            stream.SetPosition(2);
            TIPTCTagInfo info{7, 7, 7};
            ASSERT_EQ(TryReadIIMHeader(stream, info, reset), c.Accepted);
            if (c.Accepted) {
                EXPECT_EQ(info.SectionID, c.Stream[1]);
                EXPECT_EQ(info.TagID, c.Stream[2]);
                EXPECT_EQ(info.DataSize, c.DataSize);
                EXPECT_EQ(stream.GetPosition(), reset ? 2 : 2 + c.DataStart);
            } else {
                EXPECT_EQ(stream.GetPosition(), 2);
                EXPECT_EQ(info.DataSize, 7) << "info must be left alone on failure";
            }
        }
    }
}

TEST(IIMHeader, DatasetHeaderRefusesLengthsTheStreamCannotHold) {
    struct Case {
        const char* Name;
        Bytes Stream;
        bool Accepted;
    };
    const Case cases[] = {
        {"data fits exactly", {0x1C, 2, 25, 0x00, 0x02, 'a', 'b'}, true},
        {"one byte short", {0x1C, 2, 25, 0x00, 0x03, 'a', 'b'}, false},
        {"four-byte form fits", Concat({0x1C, 2, 25, 0xFF, 0xFC, 0, 0, 0x80, 0x00}, 0x8000), true},
        {"four-byte form near 2 GiB",
         {0x1C, 2, 25, 0xFF, 0xFC, 0x7F, 0xFF, 0xFF, 0xFF, 'a'},
         false},
        {"negative length", {0x1C, 2, 25, 0xFF, 0xFC, 0x80, 0, 0, 0, 'a'}, false},
        {"malformed header", {0x1C, 2, 25, 0x80, 0x04, 0, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TMemoryStream stream(c.Stream);
        TIPTCTagInfo info;
        ASSERT_EQ(TryReadIIMDatasetHeader(stream, info), c.Accepted);
        if (c.Accepted) {
            EXPECT_EQ(stream.BytesLeft(), info.DataSize);
        } else {
            EXPECT_EQ(stream.GetPosition(), 0);
        }
    }
}

TEST(IIMWriter, UsesTheShortFormUpTo0x7FFFAndTheFourByteFormBeyond) {
    struct Case {
        std::size_t Size;
        Bytes Header;
    };
    const Case cases[] = {
        {0, {0x1C, 2, 25, 0x00, 0x00}},
        {3, {0x1C, 2, 25, 0x00, 0x03}},
        {32767, {0x1C, 2, 25, 0x7F, 0xFF}},
        {32768, {0x1C, 2, 25, 0xFF, 0xFC, 0x00, 0x00, 0x80, 0x00}},
        {40000, {0x1C, 2, 25, 0xFF, 0xFC, 0x00, 0x00, 0x9C, 0x40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        const Bytes written = Written(2, 25, c.Size);
        ASSERT_EQ(written.size(), c.Header.size() + c.Size);
        EXPECT_EQ(Bytes(written.begin(), written.begin() + c.Header.size()), c.Header);
        EXPECT_TRUE(std::all_of(written.begin() + c.Header.size(), written.end(),
                                [](std::uint8_t b) { return b == 0xAB; }));
        // What is written reads back, data and all.
        TMemoryStream stream(written);
        TIPTCTagInfo info;
        ASSERT_TRUE(TryReadIIMDatasetHeader(stream, info));
        EXPECT_EQ(info.DataSize, static_cast<std::int32_t>(c.Size));
        EXPECT_EQ(stream.BytesLeft(), info.DataSize);
    }
}

TEST(IIMWriter, WritesARecordInListOrderWithoutPadding) {
    TIPTCSection section(nullptr, 2);
    section.Append(25).WriteRawString("b");
    section.Append(5).WriteRawString("a");
    section.Append(25);
    TMemoryStream stream;
    WriteIIMDatasets(stream, section);
    const auto bytes = stream.GetBytes();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()),
              (Bytes{0x1C, 2, 25, 0, 1, 'b', 0x1C, 2, 5, 0, 1, 'a', 0x1C, 2, 25, 0, 0}));
}

TEST(IPTCTag, UpdateDataFromAShortStreamRaisesWithoutTouchingTheDataset) {
    TIPTCSection section(nullptr, 2);
    TIPTCTag& tag = section.Append(25);
    tag.WriteRawString("old");
    section.SetModified(false);
    const Bytes data = {'a', 'b', 'c'};
    for (const std::int32_t size : {4, 0x7FFFFFFF, -1}) {
        SCOPED_TRACE(size);
        TMemoryStream stream(data);
        EXPECT_THROW(tag.UpdateData(size, stream), EReadError);
        EXPECT_EQ(tag.ReadUTF8String(), "old");
        EXPECT_FALSE(section.GetModified());
    }
    TMemoryStream stream(data);
    stream.SetPosition(1);
    tag.UpdateData(2, stream);
    EXPECT_EQ(tag.ReadUTF8String(), "bc");
    EXPECT_TRUE(section.GetModified());
}
