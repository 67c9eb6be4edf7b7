#include "metadata/AdobeTestSupport.h"

#include <gtest/gtest.h>
#include <limits>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::AdobeTesting;

namespace {

Bytes Saved(IAdobeResBlock& block) {
    TMemoryStream stream;
    block.SaveToStream(stream);
    return StreamBytes(stream);
}

std::shared_ptr<TAdobeBlock> Block(std::uint16_t typeID, const Bytes& data,
                                   std::string_view name = "") {
    TBytesSource source(data);
    return std::make_shared<TAdobeBlock>("8BIM", typeID, name, &source);
}

std::vector<std::uint16_t> TypeIDs(const std::shared_ptr<IAdobeResBlockEnumerator>& blocks) {
    std::vector<std::uint16_t> result;
    for (const auto& block : blocks) {
        result.push_back(block->GetTypeID());
    }
    return result;
}

} // namespace

TEST(AdobeBlock, WritesNameAndDataWithPadBytesAndCountsThemInTotalSize) {
    struct Case {
        std::string_view name;
        Bytes data;
        Bytes expected;
    };
    const Case cases[] = {
        {"ab", {9, 8}, Cat({Str("8BIM"), {0x04, 0x04}, {2, 'a', 'b', 0}, BigEndian32(2), {9, 8}})},
        {"a", {9, 8}, Cat({Str("8BIM"), {0x04, 0x04}, {1, 'a'}, BigEndian32(2), {9, 8}})},
        {"", {1, 2, 3}, Cat({Str("8BIM"), {0x04, 0x04}, {0, 0}, BigEndian32(3), {1, 2, 3, 0}})},
        {"", {}, Cat({Str("8BIM"), {0x04, 0x04}, {0, 0}, BigEndian32(0)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "name '" << c.name << "', " << c.data.size() << " bytes");
        const auto block = Block(0x0404, c.data, c.name);
        EXPECT_EQ(Saved(*block), c.expected);
        EXPECT_EQ(block->GetTotalSize(), static_cast<std::int64_t>(c.expected.size()));
    }
    EXPECT_EQ(Block(0x0404, {1, 2, 3})->GetTotalSize(), 16);
}

TEST(AdobeBlock, CutsNamesLongerThan255BytesConsistentlyWithTotalSize) {
    const auto block = Block(0x03ED, {1}, std::string(300, 'n'));
    const Bytes written = Saved(*block);
    ASSERT_EQ(static_cast<std::int64_t>(written.size()), block->GetTotalSize());
    EXPECT_EQ(written[6], 255);
    TUserMemoryStream stream(written);
    TAdobeBlock reread(stream);
    EXPECT_TRUE(reread.GetLoadedCleanly());
    EXPECT_EQ(reread.GetName(), std::string(255, 'n'));
}

TEST(AdobeBlock, SignatureKeepsFourBytes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", {"\0   ", 4}}, {"ab", {"ab\0 ", 4}}, {"abc", {"abc\0", 4}},
        {"8BIM", "8BIM"},   {"8BIMxyz", "8BIM"},
    };
    TAdobeBlock block;
    EXPECT_EQ(block.GetSignature(), std::string("\0   ", 4));
    EXPECT_FALSE(block.GetLoadedCleanly());
    for (const auto& [given, kept] : cases) {
        block.SetSignature(given);
        EXPECT_EQ(block.GetSignature(), kept) << given;
    }
}

TEST(AdobeBlock, LoadsWhatItSavesAndAcceptsAnySignature) {
    const Bytes bytes = Cat({ResBlock(0x0424, {5, 6, 7}, "ab", "MeSa"), {0xEE}});
    TUserMemoryStream stream(bytes);
    TAdobeBlock block(stream);
    EXPECT_TRUE(block.GetLoadedCleanly());
    EXPECT_EQ(block.GetSignature(), "MeSa");
    EXPECT_EQ(block.GetTypeID(), 0x0424);
    EXPECT_EQ(block.GetName(), "ab");
    EXPECT_EQ(StreamBytes(block.GetData()), (Bytes{5, 6, 7}));
    EXPECT_EQ(stream.GetPosition(), static_cast<std::int64_t>(bytes.size()) - 1);
    EXPECT_EQ(Saved(block), Bytes(bytes.begin(), bytes.end() - 1));
}

TEST(AdobeBlock, BlockCutShortKeepsWhatWasReadAndStopsAfterTheLastWholePart) {
    // 8BIM, 04 04, 02 'a' 'b' 00, size 3, data 1 2 3, pad: 18 bytes.
    const Bytes whole = ResBlock(0x0404, {1, 2, 3}, "ab");
    struct Case {
        std::size_t cut;
        std::int64_t position;
        std::string_view name;
        std::size_t dataSize;
    };
    const Case cases[] = {
        {6, 0, "", 0},     // inside the first 7 bytes: nothing taken
        {8, 7, "", 0},     // inside the name
        {9, 9, "ab", 0},   // pad byte of the name missing
        {12, 10, "ab", 0}, // inside the size
        {16, 14, "ab", 0}, // inside the data: nothing allocated
        {17, 17, "ab", 3}, // pad byte of the data missing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "cut at " << c.cut);
        const Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.cut));
        TUserMemoryStream stream(bytes);
        TAdobeBlock block(stream);
        EXPECT_FALSE(block.GetLoadedCleanly());
        EXPECT_EQ(stream.GetPosition(), c.position);
        EXPECT_EQ(block.GetName(), c.name);
        EXPECT_EQ(block.GetData().GetSize(), static_cast<std::int64_t>(c.dataSize));
        if (c.cut >= 7) {
            EXPECT_EQ(block.GetSignature(), "8BIM");
            EXPECT_EQ(block.GetTypeID(), 0x0404);
        }
    }
}

TEST(AdobeBlock, NegativeOrHugeDataSizeReadsNothing) {
    for (const std::int64_t size : {std::int64_t{-1}, std::int64_t{0x7FFFFFFF}}) {
        const Bytes bytes = Cat({Str("8BIM"), {0x04, 0x04, 0, 0}, BigEndian32(size), Bytes(40, 1)});
        TUserMemoryStream stream(bytes);
        TAdobeBlock block(stream);
        EXPECT_FALSE(block.GetLoadedCleanly());
        EXPECT_EQ(block.GetData().GetSize(), 0);
        EXPECT_EQ(stream.GetPosition(), 12);
    }
}

TEST(AdobeBlock, BlockTestsNeedTheMatchingTypeIDOnlyWithCheckID) {
    struct Case {
        std::uint16_t typeID;
        Bytes data;
        bool exif, iptc, xmp;
    };
    const Case cases[] = {
        {AdobeResExif, TiffHeader, true, false, false},
        {AdobeResIPTC, IPTCKeyword("k"), false, true, false},
        {AdobeResXMP, XMPPacket, false, false, true},
        {0x0405, TiffHeader, false, false, false},
        {0x0405, IPTCKeyword("k"), false, false, false},
        {0x0405, XMPPacket, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typeID);
        const auto block = Block(c.typeID, c.data);
        EXPECT_EQ(block->IsExifBlock(true), c.exif);
        EXPECT_EQ(block->IsIPTCBlock(true), c.iptc);
        EXPECT_EQ(block->IsXMPBlock(true), c.xmp);
    }
    EXPECT_TRUE(Block(0x0405, TiffHeader)->IsExifBlock(false));
    EXPECT_TRUE(Block(0x0405, IPTCKeyword("k"))->IsIPTCBlock(false));
    EXPECT_TRUE(Block(0x0405, XMPPacket)->IsXMPBlock(false));
}

TEST(AdobeBlock, CreateAdobeBlockMakesAnUnnamed8BIMBlockFromTheSource) {
    TBytesSource source(IPTCKeyword("word"));
    const auto block = CreateAdobeBlock(AdobeResIPTC, &source);
    EXPECT_EQ(block->GetSignature(), "8BIM");
    EXPECT_EQ(block->GetName(), "");
    EXPECT_TRUE(block->GetLoadedCleanly());
    EXPECT_EQ(StreamBytes(block->GetData()), IPTCKeyword("word"));
    EXPECT_EQ(Saved(*block), ResBlock(AdobeResIPTC, IPTCKeyword("word")));
    EXPECT_EQ(CreateAdobeBlock(0x03ED, nullptr)->GetData().GetSize(), 0);
}

// ---------------------------------------------------------------------------

TEST(AdobeResBlockEnumerator, YieldsTheBlocksOfARunInOrder) {
    const Bytes run = Cat(
        {ResBlock(0x03ED, {1, 2}), ResBlock(0x0404, IPTCKeyword("k"), "n"), ResBlock(0x040C, {3})});
    TUserMemoryStream stream(run);
    EXPECT_EQ(TypeIDs(std::make_shared<TAdobeResBlockEnumerator>(stream)),
              (std::vector<std::uint16_t>{0x03ED, 0x0404, 0x040C}));
}

TEST(AdobeResBlockEnumerator, ReadsAMinimalBlockThatEndsTheRunAndIgnoresShortTails) {
    // A 12-byte block (no name, no data) exactly at the end is a whole block;
    // fewer than 12 trailing bytes cannot be one.
    const Bytes minimal = ResBlock(0x0BB7, {});
    ASSERT_EQ(minimal.size(), 12u);
    const Bytes wholeBytes = Cat({ResBlock(0x03ED, {1, 2}), minimal});
    TUserMemoryStream whole(wholeBytes);
    EXPECT_EQ(TypeIDs(std::make_shared<TAdobeResBlockEnumerator>(whole)),
              (std::vector<std::uint16_t>{0x03ED, 0x0BB7}));
    const Bytes tailBytes = Cat({ResBlock(0x03ED, {1, 2}), Bytes(11, 0)});
    TUserMemoryStream tail(tailBytes);
    EXPECT_EQ(TypeIDs(std::make_shared<TAdobeResBlockEnumerator>(tail)),
              (std::vector<std::uint16_t>{0x03ED}));
}

TEST(AdobeResBlockEnumerator, BlockClaimingMoreDataThanRemainsIsTheLastOne) {
    Bytes broken = ResBlock(0x0404, Bytes(6, 1));
    broken[11] = 100; // size 100, only 6 bytes follow
    const Bytes run = Cat({ResBlock(0x03ED, {1, 2}), broken, ResBlock(0x040C, {3})});
    TUserMemoryStream stream(run);
    TAdobeResBlockEnumerator blocks(stream);
    ASSERT_TRUE(blocks.MoveNext());
    EXPECT_TRUE(blocks.GetCurrent()->GetLoadedCleanly());
    ASSERT_TRUE(blocks.MoveNext());
    EXPECT_EQ(blocks.GetCurrent()->GetTypeID(), 0x0404);
    EXPECT_FALSE(blocks.GetCurrent()->GetLoadedCleanly());
    EXPECT_EQ(blocks.GetCurrent()->GetData().GetSize(), 0);
    EXPECT_FALSE(blocks.MoveNext());
    EXPECT_EQ(blocks.GetCurrent(), nullptr);
    EXPECT_FALSE(blocks.MoveNext());
}

TEST(AdobeResBlockEnumerator, ReleasesAnOwnedStreamWhenTheRunEnds) {
    auto stream = std::make_shared<TMemoryStream>(ResBlock(0x03ED, {1}));
    const std::weak_ptr<TStream> watch = stream;
    TAdobeResBlockEnumerator blocks(std::move(stream));
    EXPECT_TRUE(blocks.MoveNext());
    EXPECT_FALSE(watch.expired());
    EXPECT_FALSE(blocks.MoveNext());
    EXPECT_TRUE(watch.expired());
}

// ---------------------------------------------------------------------------

TEST(AdobeApp13Segment, SegmentWithOneIPTCBlockYieldsExactlyThatBlock) {
    for (const std::string_view prefix : {AdobeApp13Header, AdobeApp13LegacyHeader}) {
        SCOPED_TRACE(prefix.size());
        TBytesSource data(Cat({Str(prefix), ResBlock(AdobeResIPTC, IPTCKeyword("key"))}));
        auto segment = std::make_shared<TUserJPEGSegment>(jmApp13, &data);
        EXPECT_EQ(TypeIDs(segment->GetEnumerator()), (std::vector<std::uint16_t>{AdobeResIPTC}));
        EXPECT_TRUE(segment->IsIPTCBlock(true));
    }
}

TEST(AdobeApp13Segment, OtherSegmentsYieldNoBlocksAndAreNoIPTCBlocks) {
    const Bytes blocks = ResBlock(AdobeResIPTC, IPTCKeyword("key"));
    struct Case {
        std::uint8_t marker;
        Bytes data;
    };
    const Case cases[] = {
        {jmApp1, Cat({Str(AdobeApp13Header), blocks})}, // right data, wrong marker
        {jmApp13, Cat({Str("Photoshop 2.0"), {0}, blocks})},
        {jmApp13, blocks}, // no prefix
    };
    for (const auto& c : cases) {
        TBytesSource data(c.data);
        TUserJPEGSegment segment(c.marker, &data);
        const auto enumerator = segment.GetEnumerator();
        ASSERT_NE(enumerator, nullptr);
        EXPECT_FALSE(enumerator->MoveNext());
        EXPECT_FALSE(segment.IsIPTCBlock(true));
        EXPECT_FALSE(segment.IsIPTCBlock(false));
    }
}

TEST(AdobeApp13Segment, EnumeratorKeepsASharedSegmentAlive) {
    TBytesSource data(Cat({Str(AdobeApp13Header), ResBlock(0x03ED, {1}), ResBlock(0x040C, {2})}));
    auto segment = std::make_shared<TUserJPEGSegment>(jmApp13, &data);
    const auto blocks = segment->GetEnumerator();
    segment.reset();
    EXPECT_EQ(TypeIDs(blocks), (std::vector<std::uint16_t>{0x03ED, 0x040C}));
}

TEST(AdobeApp13Segment, CreateAdobeApp13SegmentWritesPrefixThenBlocks) {
    const TAdobeResBlockList blocks{Block(0x0404, IPTCKeyword("k")), nullptr, Block(0x03ED, {1})};
    const Bytes expected =
        Cat({Str(AdobeApp13Header), ResBlock(0x0404, IPTCKeyword("k")), ResBlock(0x03ED, {1})});
    const auto fromArray = CreateAdobeApp13Segment(blocks);
    EXPECT_EQ(fromArray->GetMarkerNum(), jmApp13);
    EXPECT_EQ(StreamBytes(fromArray->GetData()), expected);
    EXPECT_EQ(fromArray->GetData().GetPosition(), 0);

    const TMetadataBlockList list(blocks.begin(), blocks.end());
    EXPECT_EQ(StreamBytes(CreateAdobeApp13Segment(&list)->GetData()), expected);
    EXPECT_EQ(StreamBytes(CreateAdobeApp13Segment(nullptr)->GetData()), Str(AdobeApp13Header));

    const TMetadataBlockList withSegment{Block(0x0404, {}), std::make_shared<TUserJPEGSegment>()};
    try {
        CreateAdobeApp13Segment(&withSegment);
        ADD_FAILURE() << "a segment in the list was accepted as a resource block";
    } catch (const EIntfCastError& e) {
        EXPECT_STREQ(e.what(), "Interface not supported");
    }
}
