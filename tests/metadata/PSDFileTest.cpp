#include "metadata/AdobeTestSupport.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::AdobeTesting;

namespace {

const Bytes LayersAndImage = Cat({BigEndian32(0), {0, 0}, Bytes(12, 0x7F)});

std::vector<std::uint16_t> TypeIDs(TAdobeResBlockArray blocks) {
    std::vector<std::uint16_t> result;
    for (const auto& block : blocks) {
        result.push_back(block->GetTypeID());
    }
    return result;
}

template <typename E> void ExpectParseError(const Bytes& file, const char* message) {
    TUserMemoryStream stream(file);
    TPSDInfo info;
    try {
        ParsePSDResources(stream, info);
        ADD_FAILURE() << "no error";
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

bool IsIPTC(IAdobeResBlock& block) {
    return block.IsIPTCBlock(true);
}

} // namespace

TEST(PSDFile, IsPSDStreamMatchesTheWholePrefixAndKeepsThePosition) {
    const Bytes psd = PSDFile({});
    Bytes version2 = psd;
    version2[5] = 2;
    const std::pair<Bytes, bool> cases[] = {
        {psd, true},
        {Bytes(psd.begin(), psd.begin() + 11), false},
        {version2, false},
        {{}, false},
    };
    for (const auto& [bytes, expected] : cases) {
        TUserMemoryStream stream(bytes);
        EXPECT_EQ(IsPSDStream(stream), expected);
        EXPECT_EQ(stream.GetPosition(), 0);
    }
}

TEST(PSDFile, ParserReadsHeaderSectionsAndResources) {
    const Bytes resources =
        Cat({ResBlock(0x03ED, Bytes(16, 0)), ResBlock(AdobeResIPTC, IPTCKeyword("k"))});
    const Bytes palette{1, 2, 3, 4, 5, 6};
    const Bytes file = Cat({Bytes{0xAA, 0xBB}, PSDFile(resources, palette, 2)});
    TUserMemoryStream stream(file);
    stream.SetPosition(2); // PSD data need not start the stream
    TPSDInfo info;
    const auto parser = ParsePSDResources(stream, info);
    EXPECT_EQ(info.Header.Channels, 3);
    EXPECT_EQ(info.Header.Height, 5);
    EXPECT_EQ(info.Header.Width, 7);
    EXPECT_EQ(info.Header.Depth, 8);
    EXPECT_EQ(info.Header.ColorMode, TAdobeColorMode::cmIndexed);
    EXPECT_EQ(info.Header.PaletteData, palette);
    EXPECT_EQ(info.ResourceSectionSize, static_cast<std::int64_t>(resources.size()) + 4);
    EXPECT_EQ(info.LayersSectionSize, 4);
    EXPECT_EQ(info.GetResourceSectionOffset(), 36);
    EXPECT_EQ(info.GetLayersSectionOffset(), 36 + 4 + static_cast<std::int64_t>(resources.size()));

    TAdobeResBlockList blocks;
    for (const auto& block : parser) {
        blocks.push_back(block);
    }
    EXPECT_EQ(TypeIDs(blocks), (std::vector<std::uint16_t>{0x03ED, AdobeResIPTC}));
    EXPECT_TRUE(blocks[1]->IsIPTCBlock(true));
}

TEST(PSDFile, DamagedHeadersRaiseTheirErrors) {
    const Bytes good = PSDFile(ResBlock(0x03ED, {1}));
    const auto cut = [&](std::size_t n) {
        return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    };
    const auto withLength = [](std::int64_t palette, std::int64_t resources, std::int64_t layers) {
        return Cat({Str(PSDHeaderPrefix), Bytes(14, 0), BigEndian32(palette),
                    BigEndian32(resources), BigEndian32(layers)});
    };
    Bytes wrongPrefix = good;
    wrongPrefix[0] = '9';
    const char* header = "Photoshop (PSD) file header is not valid";
    const char* read = "Stream read error";
    ExpectParseError<EInvalidPSDHeader>(wrongPrefix, header);
    ExpectParseError<EInvalidPSDHeader>(cut(11), header);
    ExpectParseError<EReadError>(cut(12), read);
    ExpectParseError<EReadError>(cut(25), read);
    ExpectParseError<EInvalidPSDHeader>(cut(28), header); // palette length cut
    ExpectParseError<EInvalidPSDHeader>(withLength(-1, 0, 0), header);
    ExpectParseError<EReadError>(withLength(100, 0, 0), read); // palette past the end
    ExpectParseError<EInvalidPSDHeader>(withLength(0, -4, 0), header);
    ExpectParseError<EInvalidPSDHeader>(withLength(0, 1000, 0), header); // no layers length
    ExpectParseError<EInvalidPSDHeader>(withLength(0, 0, -1), header);
    ExpectParseError<EInvalidPSDHeader>(cut(good.size() - LayersAndImage.size() + 2), header);
}

TEST(PSDFile, BlocksStayInsideTheResourcesSection) {
    // The section length says the second block ends 4 bytes early: it must not
    // take bytes of the layer section.
    const Bytes resources = Cat({ResBlock(0x03ED, {1, 2}), ResBlock(0x040C, Bytes(8, 3))});
    Bytes file = PSDFile(resources);
    const std::size_t lengthAt = 30;
    const Bytes shorter = BigEndian32(static_cast<std::int64_t>(resources.size()) - 4);
    std::copy(shorter.begin(), shorter.end(), file.begin() + lengthAt);
    // The layer length is then read from the second block's data (03 03 03 03).
    TUserMemoryStream stream(file);
    TPSDInfo info;
    TAdobeResBlockList blocks;
    for (const auto& block : ParsePSDResources(stream, info)) {
        blocks.push_back(block);
    }
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_TRUE(blocks[0]->GetLoadedCleanly());
    EXPECT_FALSE(blocks[1]->GetLoadedCleanly());
    EXPECT_EQ(blocks[1]->GetData().GetSize(), 0);
}

TEST(PSDFile, HeaderWithUnnamedColorModeIsWrittenBackAsRead) {
    const Bytes file = PSDFile({}, {9, 8, 7}, 9);
    TUserMemoryStream stream(file);
    TPSDInfo info;
    ParsePSDResources(stream, info);
    EXPECT_EQ(static_cast<std::uint16_t>(info.Header.ColorMode), 9);
    TMemoryStream written;
    WritePSDHeader(written, info);
    EXPECT_EQ(StreamBytes(written), Bytes(file.begin(), file.begin() + 33));
}

TEST(PSDFile, ResourceSectionIsLengthThenThePresentBlocks) {
    TBytesSource iptc(IPTCKeyword("k"));
    const TAdobeResBlockList blocks{nullptr, CreateAdobeBlock(AdobeResIPTC, &iptc),
                                    CreateAdobeBlock(0x03ED, nullptr)};
    const Bytes body = Cat({ResBlock(AdobeResIPTC, IPTCKeyword("k")), ResBlock(0x03ED, {})});
    const Bytes expected = Cat({BigEndian32(static_cast<std::int64_t>(body.size())), body});

    TMemoryStream fromArray;
    WritePSDResourceSection(fromArray, blocks);
    EXPECT_EQ(StreamBytes(fromArray), expected);

    TMetadataBlockList list(blocks.begin(), blocks.end());
    list.push_back(std::make_shared<TUserJPEGSegment>(jmApp13)); // not a resource block
    TMemoryStream fromList;
    WritePSDResourceSection(fromList, &list);
    EXPECT_EQ(StreamBytes(fromList), expected);

    for (const auto& write :
         {+[](TStream& s) { WritePSDResourceSection(s, TAdobeResBlockArray{}); },
          +[](TStream& s) { WritePSDResourceSection(s, nullptr); }}) {
        TMemoryStream empty;
        write(empty);
        EXPECT_EQ(StreamBytes(empty), (Bytes{0, 0, 0, 0}));
    }
}

// ---------------------------------------------------------------------------

TEST(AdobeResBlockRebuild, NewBlocksComeFirstThenTheKeptOnesInTheirOrder) {
    const Bytes resources =
        Cat({ResBlock(AdobeResIPTC, IPTCKeyword("old")), ResBlock(0x040C, {1}),
             ResBlock(AdobeResExif, TiffHeader), ResBlock(AdobeResXMP, XMPPacket)});
    const Bytes file = PSDFile(resources);
    TBytesSource exif(TiffHeader), iptc(IPTCKeyword("new")), empty({});
    const auto replacesExifAndXMP = [](IAdobeResBlock& block) {
        return block.IsExifBlock(true) || block.IsXMPBlock(true);
    };
    struct Case {
        std::vector<TNewAdobeBlock> newBlocks;
        std::vector<std::uint16_t> expected;
    };
    const Case cases[] = {
        {{{AdobeResExif, &exif}}, {AdobeResExif, AdobeResIPTC, 0x040C}},
        {{{AdobeResExif, &exif}, {AdobeResIPTC, &iptc}},
         {AdobeResExif, AdobeResIPTC, AdobeResIPTC, 0x040C}},
        {{{AdobeResExif, nullptr}, {AdobeResXMP, &empty}}, {AdobeResIPTC, 0x040C}},
    };
    for (const auto& c : cases) {
        TUserMemoryStream stream(file);
        TPSDInfo info;
        const auto parser = ParsePSDResources(stream, info);
        const auto rebuilt =
            RebuildAdobeResBlocks(c.newBlocks, &parser->GetEnumerator(), replacesExifAndXMP);
        EXPECT_EQ(TypeIDs(rebuilt), c.expected);
    }
}

TEST(AdobeResBlockRebuild, RewritePSDResourcesReplacesTheSectionAndCopiesTheRest) {
    const Bytes rest = Cat({BigEndian32(6), Bytes(6, 0x11), {0, 0}, Bytes(9, 0x7F)});
    const Bytes file =
        Cat({Bytes{0xEE},
             PSDFile(Cat({ResBlock(0x03ED, {1, 2}), ResBlock(AdobeResIPTC, IPTCKeyword("old"))}),
                     {4, 5}, 2, rest)});
    TBytesSource iptc(IPTCKeyword("new"));
    const TNewAdobeBlock newBlocks[] = {{AdobeResIPTC, &iptc}};
    TUserMemoryStream input(file);
    input.SetPosition(1);
    TMemoryStream output;
    RewritePSDResources(input, output, newBlocks, IsIPTC);

    const Bytes section =
        Cat({ResBlock(AdobeResIPTC, IPTCKeyword("new")), ResBlock(0x03ED, {1, 2})});
    const Bytes expected = PSDFile(section, {4, 5}, 2, rest);
    EXPECT_EQ(StreamBytes(output), expected);

    // With nothing new and nothing replaced, a well-formed file is unchanged.
    input.SetPosition(1);
    TMemoryStream same;
    RewritePSDResources(input, same, {}, {});
    EXPECT_EQ(StreamBytes(same), Bytes(file.begin() + 1, file.end()));
}

TEST(AdobeResBlockRebuild, App13SegmentKeepsTheOtherBlocksBehindTheNewOnes) {
    TBytesSource iptc(IPTCKeyword("new")), empty({});
    const Bytes oldBlocks =
        Cat({ResBlock(0x03ED, Bytes(16, 0)), ResBlock(AdobeResIPTC, IPTCKeyword("old")),
             ResBlock(0x040C, {1, 2, 3})});
    for (const std::string_view prefix : {AdobeApp13Header, AdobeApp13LegacyHeader}) {
        TBytesSource data(Cat({Str(prefix), oldBlocks}));
        const auto old = std::make_shared<TUserJPEGSegment>(jmApp13, &data);
        const TNewAdobeBlock newBlocks[] = {{AdobeResIPTC, &iptc}};
        const auto rebuilt = RebuildAdobeApp13Segment(old.get(), newBlocks, IsIPTC);
        EXPECT_EQ(StreamBytes(rebuilt->GetData()),
                  Cat({Str(AdobeApp13Header), ResBlock(AdobeResIPTC, IPTCKeyword("new")),
                       ResBlock(0x03ED, Bytes(16, 0)), ResBlock(0x040C, {1, 2, 3})}));
    }

    // Nothing to add and the old segment held only IPTC: the prefix alone remains.
    TBytesSource onlyIPTC(Cat({Str(AdobeApp13Header), ResBlock(AdobeResIPTC, IPTCKeyword("old"))}));
    TUserJPEGSegment old(jmApp13, &onlyIPTC);
    const TNewAdobeBlock emptyBlock[] = {{AdobeResIPTC, &empty}};
    EXPECT_EQ(StreamBytes(RebuildAdobeApp13Segment(&old, emptyBlock, IsIPTC)->GetData()),
              Str(AdobeApp13Header));

    // No old segment: a new one with just the new block.
    const TNewAdobeBlock newBlock[] = {{AdobeResIPTC, &iptc}};
    EXPECT_EQ(StreamBytes(RebuildAdobeApp13Segment(nullptr, newBlock, IsIPTC)->GetData()),
              Cat({Str(AdobeApp13Header), ResBlock(AdobeResIPTC, IPTCKeyword("new"))}));
}
