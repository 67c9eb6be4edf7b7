// The IPTC container in JPEG, PSD and TIFF files.
#include "AdobeTestSupport.h"
#include "JPEGTestSupport.h"
#include "TiffRewriteTestSupport.h"
#include "kestrix/IPTC.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;
namespace Adobe = Kestrix::Exif::AdobeTesting;
namespace Tiff = TiffRewriteTestSupport;
namespace fs = std::filesystem;

namespace {

Bytes Dataset(std::uint8_t record, std::uint8_t id, std::string_view data) {
    return Concat({{0x1C, record, id, static_cast<std::uint8_t>(data.size() >> 8),
                    static_cast<std::uint8_t>(data.size() & 0xFF)},
                   ToBytes(data)});
}

const Bytes UTF8Marker = Dataset(1, 90, "\x1B%G");

Bytes App13(std::initializer_list<Bytes> blocks) {
    Bytes data = ToBytes(AdobeApp13Header);
    for (const Bytes& block : blocks) {
        data.insert(data.end(), block.begin(), block.end());
    }
    return Segment(jmApp13, data);
}

Bytes IPTCBlock(const Bytes& datasets) {
    return Adobe::ResBlock(AdobeResIPTC, datasets);
}

const Bytes Scan = ScanData({0x12, 0x34, 0xFF, 0x00, 0x56});

// Saves the container into the image through the graphic form of the rewrite.
Bytes SaveInto(TIPTCData& data, const Bytes& image) {
    TBytesSource graphic(image);
    data.SaveToGraphic(graphic);
    return graphic.GetBytes();
}

bool LoadFrom(TIPTCData& data, const Bytes& image) {
    TMemoryStream stream(image);
    return data.LoadFromGraphic(stream);
}

TIPTCData& WithKeywords(TIPTCData& data, const std::vector<std::string>& keywords) {
    data.SetPropertyStrings("Keywords", keywords);
    return data;
}

// A one-pixel grey TIFF: IFD0 with its strip, then (optionally) a second IFD.
Bytes SmallTiff(TEndianness endianness, std::vector<Tiff::TEntry> extra = {},
                std::vector<Tiff::TEntry> second = {}) {
    std::vector<Tiff::TEntry> entries = {Tiff::ShortEntry(TagIDs::ttImageWidth, 1),
                                         Tiff::ShortEntry(0x0101, 1),
                                         Tiff::ShortEntry(0x0102, 8),
                                         Tiff::ShortEntry(0x0103, 1),
                                         Tiff::ShortEntry(0x0106, 1),
                                         Tiff::LongEntry(TagIDs::ttStripOffsets, 400),
                                         Tiff::LongEntry(0x0116, 1),
                                         Tiff::LongEntry(TagIDs::ttStripByteCounts, 1)};
    entries.insert(entries.end(), extra.begin(), extra.end());
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.ID < b.ID; });
    Tiff::TTiffImage image(endianness);
    image.Header(8).Directory(8, entries, second.empty() ? 0 : 300).Put(400, Bytes{0x80});
    if (!second.empty()) {
        image.Directory(300, second);
    }
    image.Put(500, Dataset(2, 25, "deep")).Size(520);
    return image.Get();
}

} // namespace

// ---------------------------------------------------------------------------
// JPEG

TEST(IPTCDataJPEG, NewApp13GoesAfterTheLeadingApp0AndApp1Segments) {
    const Bytes head = Concat({SOI, App0(), ExifApp1(), XMPApp1()});
    const Bytes tail = Concat({DQT(), Scan, EOI});
    TIPTCData data;
    const Bytes saved = SaveInto(WithKeywords(data, {"sea"}), Concat({head, tail}));
    EXPECT_EQ(saved, Concat({head, App13({IPTCBlock(Concat({UTF8Marker, Dataset(2, 25, "sea")}))}),
                             tail}));
    TIPTCData loaded;
    EXPECT_TRUE(LoadFrom(loaded, saved));
    EXPECT_EQ(loaded.GetPropertyStrings("Keywords"), (std::vector<std::string>{"sea"}));
    EXPECT_FALSE(loaded.GetModified());

    // An empty container adds nothing.
    TIPTCData empty;
    EXPECT_EQ(SaveInto(empty, Concat({head, tail})), Concat({head, tail}));
}

TEST(IPTCDataJPEG, RebuiltApp13PutsTheIPTCFirstAndKeepsTheOtherBlocks) {
    const Bytes thumb = Adobe::ResBlock(0x040C, {9, 9, 9});
    const Bytes resolution = Adobe::ResBlock(0x03ED, Bytes(16, 1));
    const Bytes image =
        Concat({SOI, App0(), App13({resolution, IPTCBlock(Dataset(2, 25, "old")), thumb}), DQT(),
                Scan, EOI});
    TIPTCData data;
    ASSERT_TRUE(LoadFrom(data, image));
    EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"old"}));
    EXPECT_FALSE(data.GetUTF8Encoded());
    const Bytes saved = SaveInto(data, image);
    EXPECT_EQ(saved,
              Concat({SOI, App0(), App13({IPTCBlock(Dataset(2, 25, "old")), resolution, thumb}),
                      DQT(), Scan, EOI}));
}

TEST(IPTCDataJPEG, LaterAdobeSegmentsLoseTheirIPTCAndOthersStayAsTheyWere) {
    const Bytes foreign = Segment(jmApp13, ToBytes("NotAdobe"));
    const Bytes image =
        Concat({SOI, foreign, App13({IPTCBlock(Dataset(2, 25, "a"))}),
                App13({Adobe::ResBlock(0x03ED, {1, 2}), IPTCBlock(Dataset(2, 25, "b"))}), DQT(),
                Scan, EOI});
    TIPTCData data;
    ASSERT_TRUE(LoadFrom(data, image));
    EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"a"}));
    data.SetPropertyText("City", "Oslo");
    const Bytes iptc = Concat({Dataset(2, 25, "a"), Dataset(2, 90, "Oslo")});
    EXPECT_EQ(SaveInto(data, image),
              Concat({SOI, foreign, App13({IPTCBlock(iptc)}),
                      App13({Adobe::ResBlock(0x03ED, {1, 2})}), DQT(), Scan, EOI}));

    // Emptied: the only IPTC block goes, its segment keeps the signature.
    data.Clear();
    EXPECT_EQ(SaveInto(data, Concat({SOI, App13({IPTCBlock(Dataset(2, 25, "a"))}), Scan, EOI})),
              Concat({SOI, App13({}), Scan, EOI}));
}

TEST(IPTCDataJPEG, TooMuchForOneSegmentIsRefusedAndTheImageKept) {
    const Bytes image = Concat({SOI, App0(), DQT(), Scan, EOI});
    TIPTCData data;
    WithKeywords(data, std::vector<std::string>(700, std::string(100, 'k')));
    TBytesSource graphic(image);
    EXPECT_THROW(data.SaveToGraphic(graphic), EJPEGSegmentTooLarge);
    EXPECT_EQ(graphic.GetBytes(), image);
}

TEST(IPTCDataJPEG, NoPlaceForANewSegmentIsRefusedNotSilentlySkipped) {
    const Bytes image = Concat({SOI, App0(), Bytes{0x04, 0x00}});
    TIPTCData data;
    WithKeywords(data, {"lost"});
    TBytesSource graphic(image);
    EXPECT_THROW(data.SaveToGraphic(graphic), EInvalidJPEGHeader);
    EXPECT_EQ(graphic.GetBytes(), image);
    // With nothing to write, the image passes through.
    TIPTCData empty;
    EXPECT_EQ(SaveInto(empty, image), image);
}

TEST(IPTCDataJPEG, JPEGWithoutIPTCLoadsEmptyAndKeepsUTF8) {
    TIPTCData data;
    data.SetPropertyText("City", "x");
    EXPECT_TRUE(
        LoadFrom(data, Concat({SOI, App0(), App13({Adobe::ResBlock(0x03ED, {1})}), Scan, EOI})));
    EXPECT_TRUE(data.Empty());
    EXPECT_TRUE(data.GetUTF8Encoded());
}

TEST(IPTCDataGraphic, UnknownFormatsLoadAsNothingAndRefuseSaving) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
    TIPTCData data;
    data.SetPropertyText("City", "x");
    EXPECT_FALSE(LoadFrom(data, png));
    EXPECT_TRUE(data.Empty());
    TBytesSource graphic(png);
    data.SetPropertyText("City", "x");
    EXPECT_THROW(data.SaveToGraphic(graphic), EUnsupportedGraphicFormat);
    EXPECT_EQ(graphic.GetBytes(), png);
}

TEST(IPTCDataGraphic, FileFormsRewriteTheFileInPlace) {
    const char* scratch = std::getenv("PICTAVO_TMP");
    const fs::path folder =
        (scratch != nullptr ? fs::path(scratch) : fs::temp_directory_path()) / "iptc-data";
    fs::create_directories(folder);
    const fs::path path = folder / "file-form.jpg";
    {
        TFileStream file(path.string(), TFileMode::fmCreate);
        file.WriteBuffer(Concat({SOI, App0(), DQT(), Scan, EOI}));
    }
    TIPTCData data;
    data.SetPropertyText("Headline", "Storm");
    data.SaveToGraphic(path.string());
    TIPTCData loaded;
    EXPECT_TRUE(loaded.LoadFromGraphic(path.string()));
    EXPECT_EQ(loaded.GetPropertyText("Headline"), "Storm");
    EXPECT_THROW(loaded.LoadFromGraphic((folder / "missing.jpg").string()), EFOpenError);
}

// ---------------------------------------------------------------------------
// PSD

TEST(IPTCDataPSD, ResourceIsReplacedInFrontOfTheOthers) {
    const Bytes resolution = Adobe::ResBlock(0x03ED, Bytes(16, 1));
    const Bytes image = Adobe::PSDFile(Adobe::Cat({resolution, IPTCBlock(Dataset(2, 25, "old"))}));
    TIPTCData data;
    ASSERT_TRUE(LoadFrom(data, image));
    EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"old"}));
    data.SetPropertyStrings("Keywords", {"new"});
    const Bytes saved = SaveInto(data, image);
    EXPECT_EQ(saved, Adobe::PSDFile(Adobe::Cat({IPTCBlock(Dataset(2, 25, "new")), resolution})));

    data.Clear();
    EXPECT_EQ(SaveInto(data, image), Adobe::PSDFile(resolution));
    TIPTCData none;
    EXPECT_TRUE(LoadFrom(none, Adobe::PSDFile(resolution)));
    EXPECT_TRUE(none.Empty());
}

TEST(IPTCDataPSD, DamagedHeaderRaises) {
    Bytes image = Adobe::PSDFile({});
    image.resize(20);
    TIPTCData data;
    EXPECT_THROW(LoadFrom(data, image), EReadError);
}

// ---------------------------------------------------------------------------
// TIFF

TEST(IPTCDataTIFF, TagOfTheFirstDirectoryIsWrittenAndReadInBothByteOrders) {
    for (const TEndianness order : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        const Bytes image = SmallTiff(order);
        TIPTCData data;
        ASSERT_TRUE(LoadFrom(data, image));
        EXPECT_TRUE(data.Empty());
        data.SetPropertyText("City", "Z\xC3\xBCrich");
        const Bytes saved = SaveInto(data, image);
        TIPTCData loaded;
        ASSERT_TRUE(LoadFrom(loaded, saved));
        EXPECT_EQ(loaded.GetPropertyText("City"), "Z\xC3\xBCrich");
        EXPECT_TRUE(loaded.GetUTF8Encoded());

        // Saving again replaces the tag; emptied, it goes.
        loaded.SetPropertyText("City", "");
        TIPTCData reloaded;
        ASSERT_TRUE(LoadFrom(reloaded, SaveInto(loaded, saved)));
        EXPECT_EQ(reloaded.GetPropertyText("City"), "");
        loaded.Clear();
        TMemoryStream parsed(SaveInto(loaded, saved));
        const auto parser = CreateTiffParser(parsed);
        for (const auto& directory : *parser) {
            EXPECT_FALSE(directory->FindTag(TagIDs::ttIPTC));
            break;
        }
    }
}

// Photoshop stores tag 33723 as LONG: the bytes must come out as stored.
TEST(IPTCDataTIFF, LongTypedTagIsReadAsStoredBytes) {
    for (const TEndianness order : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        const Bytes image =
            SmallTiff(order, {Tiff::OffsetEntry(TagIDs::ttIPTC, TTiffDataType::tdLong, 3, 500)});
        TIPTCData data;
        ASSERT_TRUE(LoadFrom(data, image));
        EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"deep"}));
    }
}

TEST(IPTCDataTIFF, TIFFWithoutADirectoryIsRefusedNotSilentlySkipped) {
    const Bytes image = {'M', 'M', 0, 42, 0, 0, 0, 0, 1, 2, 3, 4};
    TIPTCData data;
    ASSERT_TRUE(LoadFrom(data, image));
    data.SetPropertyText("City", "lost");
    TBytesSource graphic(image);
    EXPECT_THROW(data.SaveToGraphic(graphic), EInvalidTiffData);
    EXPECT_EQ(graphic.GetBytes(), image);
}

TEST(IPTCDataTIFF, TagOnlyInTheSecondDirectoryIsNotLoaded) {
    const Bytes image =
        SmallTiff(TEndianness::SmallEndian, {},
                  {Tiff::ShortEntry(TagIDs::ttImageWidth, 1),
                   Tiff::OffsetEntry(TagIDs::ttIPTC, TTiffDataType::tdUndefined, 9, 500)});
    TIPTCData data;
    EXPECT_TRUE(LoadFrom(data, image));
    EXPECT_TRUE(data.Empty());
}
