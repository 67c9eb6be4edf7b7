#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;

namespace {

std::shared_ptr<TUserJPEGSegment> MakeSegment(std::uint8_t marker, const Bytes& data) {
    TBytesSource source(data);
    return std::make_shared<TUserJPEGSegment>(marker, &source);
}

template <typename Action> void ExpectReadOnly(Action action) {
    try {
        action();
        FAIL() << "a frozen data stream accepted a change";
    } catch (const EStreamError& error) {
        EXPECT_STREQ(error.what(), "Stream is read-only");
    }
}

} // namespace

TEST(MetadataBlock, FrozenDataRefusesEveryChange) {
    TMemoryStream source(Bytes{1, 2, 3, 4});
    TMetadataBlock block(source, 3);
    EXPECT_EQ(StreamBytes(block.GetData()), (Bytes{1, 2, 3}));
    block.GetData().SetDisableChanges(true);
    auto& data = block.GetData();
    ExpectReadOnly([&] { data.WriteBuffer(Bytes{9}); });
    ExpectReadOnly([&] { data.SetSize(0); });
    ExpectReadOnly([&] { data.Clear(); });
    ExpectReadOnly([&] { data.LoadFromStream(source); });
    EXPECT_EQ(StreamBytes(data), (Bytes{1, 2, 3}));
    data.SetPosition(1); // reading and seeking stay allowed
    EXPECT_EQ(ReadByte(data), 2);
}

TEST(MetadataBlock, CopiesOnlyBytesThatExist) {
    TMemoryStream source(Bytes{1, 2, 3});
    EXPECT_EQ(TMetadataBlock(source, 0).GetData().GetSize(), 0);
    EXPECT_EQ(TMetadataBlock(source, -5).GetData().GetSize(), 0);
    EXPECT_THROW(TMetadataBlock(source, 4), EReadError);
    TBytesSource persist(Bytes{7, 8});
    EXPECT_EQ(StreamBytes(TMetadataBlock(&persist).GetData()), (Bytes{7, 8}));
}

TEST(MetadataBlock, ExifTestNeedsACompleteTiffHeader) {
    struct Case {
        const char* name;
        std::uint8_t marker;
        Bytes data;
        bool withID;
        bool withoutID;
    };
    const Bytes prefix = ToBytes(ExifHeader);
    const Case cases[] = {
        {"prefixed MM", 0xE1, Concat({prefix, TiffHeaderMM}), true, true},
        {"bare II", 0xE1, TiffHeaderII, true, true},
        {"II with big-endian 42", 0xE1, {'I', 'I', 0, 0x2A, 0, 0, 0, 8}, true, true},
        {"APP13 holding TIFF", 0xED, Concat({prefix, TiffHeaderMM}), false, true},
        {"seven bytes", 0xE1, {'M', 'M', 0, 0x2A, 0, 0, 0}, false, false},
        {"header cut after prefix", 0xE1, Concat({prefix, {'M', 'M', 0}}), false, false},
        {"wrong magic", 0xE1, {'M', 'M', 0, 0x2B, 0, 0, 0, 8}, false, false},
        {"mixed mark", 0xE1, {'M', 'I', 0, 0x2A, 0, 0, 0, 8}, false, false},
    };
    for (const auto& c : cases) {
        const auto segment = MakeSegment(c.marker, c.data);
        EXPECT_EQ(segment->IsExifBlock(true), c.withID) << c.name;
        EXPECT_EQ(segment->IsExifBlock(false), c.withoutID) << c.name;
    }
}

TEST(MetadataBlock, XMPTestWantsThePacketInstructionFirst) {
    const Bytes prefix = ToBytes(XMPHeader);
    const Bytes packet = ToBytes("<?xpacket begin=''?>");
    EXPECT_TRUE(MakeSegment(0xE1, Concat({prefix, packet}))->IsXMPBlock(true));
    EXPECT_TRUE(MakeSegment(0xE1, packet)->IsXMPBlock(true));
    EXPECT_FALSE(MakeSegment(0xED, packet)->IsXMPBlock(true));
    EXPECT_TRUE(MakeSegment(0xED, packet)->IsXMPBlock(false));
    EXPECT_FALSE(
        MakeSegment(0xE1, Concat({prefix, ToBytes("<?xml version='1.0'?>")}))->IsXMPBlock());
    EXPECT_FALSE(MakeSegment(0xE1, ToBytes("<?xpacket  ?>"))->IsXMPBlock()) << "under 20 bytes";
    EXPECT_FALSE(MakeSegment(0xE1, Concat({prefix, ToBytes("<?xpacket")}))->IsXMPBlock());
}

TEST(MetadataBlock, IPTCTestReadsOneDatasetHeaderAndRewinds) {
    TMemoryStream iim(Bytes{0x1C, 0x02, 0x05, 0x00, 0x03, 'a', 'b', 'c'});
    TMetadataBlock block(iim, 8);
    block.GetData().SetPosition(5);
    EXPECT_FALSE(block.IsIPTCBlock(true)) << "a plain block has no IPTC identifier";
    EXPECT_TRUE(block.IsIPTCBlock(false));
    EXPECT_EQ(block.GetData().GetPosition(), 0);

    TMemoryStream record10(Bytes{0x1C, 0x0A, 0x05, 0x00, 0x03, 'a', 'b', 'c'});
    EXPECT_FALSE(TMetadataBlock(record10, 8).IsIPTCBlock(false));
}

TEST(JPEGSegment, RecognisesAdobeApp13Prefixes) {
    const Bytes blocks(8, 0);
    EXPECT_TRUE(MakeSegment(0xED, Concat({ToBytes(AdobeApp13Header), blocks}))->IsAdobeApp13());
    EXPECT_TRUE(
        MakeSegment(0xED, Concat({ToBytes(AdobeApp13LegacyHeader), blocks}))->IsAdobeApp13());
    EXPECT_FALSE(MakeSegment(0xE1, Concat({ToBytes(AdobeApp13Header), blocks}))->IsAdobeApp13());
    EXPECT_FALSE(
        MakeSegment(0xED, Concat({ToBytes(AdobeApp13Header), {0, 0, 0, 0, 0}}))->IsAdobeApp13())
        << "under 20 bytes";
    EXPECT_FALSE(MakeSegment(0xED, Bytes(24, 'P'))->IsAdobeApp13());
}

TEST(JPEGSegment, LoadsFromItsFirstFFAndSavesBack) {
    TUserJPEGSegment segment;
    TMemoryStream input(Bytes{0xFF, 0xFF, 0xE1, 0x00, 0x04, 0xAA, 0xBB, 0x99});
    segment.LoadFromStream(input);
    EXPECT_EQ(segment.GetMarkerNum(), 0xE1);
    EXPECT_EQ(StreamBytes(segment.GetData()), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(input.GetPosition(), 7);
    TMemoryStream output;
    segment.SaveToStream(output);
    EXPECT_EQ(StreamBytes(output), (Bytes{0xFF, 0xE1, 0x00, 0x04, 0xAA, 0xBB}));

    TMemoryStream standAlone(Bytes{0xFF, 0xD0, 0x00, 0x04});
    segment.LoadFromStream(standAlone);
    EXPECT_EQ(segment.GetMarkerNum(), 0xD0);
    EXPECT_TRUE(segment.Empty());
    EXPECT_EQ(standAlone.GetPosition(), 2);
}

TEST(JPEGSegment, ShortSegmentLeavesNoData) {
    const Bytes cases[] = {
        {0xFF, 0xE1, 0x00, 0x06, 0xAA, 0xBB}, // data cut short
        {0xFF, 0xE1, 0x00},                   // length cut short
        {0xFF, 0xE1, 0x00, 0x01, 0xAA},       // length below its own size
        {0xFF, 0xFF},                         // no marker at all
    };
    for (const auto& bytes : cases) {
        TUserJPEGSegment segment(0xE1);
        TMemoryStream input(bytes);
        EXPECT_THROW(segment.LoadFromStream(input), EReadError);
        EXPECT_TRUE(segment.Empty());
    }
}
