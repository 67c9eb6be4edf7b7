#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;

namespace {

struct TFound {
    std::uint8_t marker;
    std::int64_t offset;
    std::int64_t totalSize;
    friend bool operator==(const TFound&, const TFound&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TFound& f) {
        return out << "{" << int(f.marker) << " @" << f.offset << " +" << f.totalSize << "}";
    }
};

std::vector<TFound> Scan(TStream& stream, const TJPEGMarkers& markers) {
    std::vector<TFound> result;
    for (const auto& segment : ParseJPEGSegments(stream, markers)) {
        result.push_back({segment->GetMarkerNum(), segment->GetOffset(), segment->GetTotalSize()});
    }
    return result;
}

std::vector<TFound> Scan(const Bytes& bytes, const TJPEGMarkers& markers) {
    TMemoryStream stream(bytes);
    return Scan(stream, markers);
}

// A small but complete JPEG: SOI APP0 APP1(Exif) DQT SOS <scan> EOI.
Bytes OrdinaryJPEG(const Bytes& scan = Bytes(1000, 0x55)) {
    return Concat({SOI, App0(), ExifApp1(), DQT(), ScanData(scan), EOI});
}

} // namespace

TEST(JPEGHeaderParser, FillBytesBeforeAMarkerAreSkipped) {
    const Bytes jpeg = Concat({SOI, {0xFF, 0xFF}, ExifApp1(), EOI});
    const auto found = Scan(jpeg, {jmApp1});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offset, 4) << "the last FF before the marker";
    EXPECT_EQ(found[0].totalSize, static_cast<std::int64_t>(ExifApp1().size()));
}

TEST(JPEGHeaderParser, YieldsLookedForSegmentsWithTheirData) {
    const Bytes jpeg = OrdinaryJPEG();
    TMemoryStream stream(jpeg);
    auto parser = ParseJPEGSegments(stream, {jmApp0, jmApp1});
    std::vector<std::shared_ptr<IFoundJPEGSegment>> kept;
    for (const auto& segment : *parser) {
        kept.push_back(segment);
    }
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0]->GetMarkerNum(), jmApp0);
    EXPECT_EQ(kept[0]->GetOffset(), 2);
    EXPECT_EQ(kept[1]->GetOffsetOfData(), kept[1]->GetOffset() + 4);
    EXPECT_TRUE(kept[1]->IsExifBlock());
    EXPECT_EQ(StreamBytes(kept[1]->GetData()), Concat({ToBytes(ExifHeader), TiffHeaderMM}));
    EXPECT_FALSE(parser->MoveNext()) << "a finished scan stays finished";
    EXPECT_EQ(parser->GetCurrent(), nullptr);
}

TEST(JPEGHeaderParser, StopsAtTheImageDataWithoutReadingIt) {
    const Bytes jpeg = OrdinaryJPEG(Bytes(100000, 0x55));
    TPlainStream stream(jpeg);
    EXPECT_EQ(Scan(stream, {jmApp1}).size(), 1u);
    const auto sosEnd =
        static_cast<std::int64_t>(Concat({SOI, App0(), ExifApp1(), DQT(), ScanData(Bytes{})}).size());
    EXPECT_EQ(stream.GetFurthestRead(), sosEnd + 1) << "one byte of image data ends the run";
}

TEST(JPEGHeaderParser, FindsTheEndOfImageInMemoryAndOtherStreams) {
    // FF 00 is stuffing, FF D0 a restart marker, FF FF D9 a fill byte before EOI.
    const Bytes scan = Concat({Bytes(70000, 0x11), {0xFF, 0x00, 0x22, 0xFF, 0xD0, 0xFF}});
    const Bytes image = Concat({SOI, App0(), ScanData(scan), EOI});
    const Bytes withTrailer = Concat({image, {0xFF, 0xD9, 'x', 'y'}});
    const auto eoiOffset = static_cast<std::int64_t>(image.size()) - 2;

    TMemoryStream memory(withTrailer);
    EXPECT_EQ(Scan(memory, {jmEOI}), (std::vector<TFound>{{jmEOI, eoiOffset, 2}}));
    TPlainStream plain(withTrailer);
    EXPECT_EQ(Scan(plain, {jmEOI}), (std::vector<TFound>{{jmEOI, eoiOffset, 2}}));

    memory.SetPosition(0);
    EXPECT_EQ(GetJPEGImageSize(memory), static_cast<std::int64_t>(image.size()));
    EXPECT_EQ(memory.GetPosition(), 0);
}

TEST(JPEGHeaderParser, EndOfImageSearchAcrossChunkBoundaries) {
    // Put the FF of FF D9 at the last byte of every possible 64 KiB chunk edge
    // of the plain-stream search, and just before and after it.
    const auto head = Concat({SOI, ScanData(Bytes{})});
    for (const std::size_t shift : {65534u, 65535u, 65536u}) {
        const Bytes jpeg = Concat({head, Bytes(shift, 0x33), EOI});
        TPlainStream plain(jpeg);
        const auto found = Scan(plain, {jmEOI});
        ASSERT_EQ(found.size(), 1u) << shift;
        EXPECT_EQ(found[0].offset, static_cast<std::int64_t>(jpeg.size()) - 2) << shift;
    }
}

TEST(JPEGHeaderParser, NoEndOfImageMeansTheRestOfTheStream) {
    const Bytes jpeg = Concat({SOI, ScanData({0x10, 0x20, 0xFF})}); // a FF with no follower
    TMemoryStream stream(jpeg);
    EXPECT_TRUE(Scan(stream, {jmEOI}).empty());
    stream.SetPosition(0);
    EXPECT_EQ(GetJPEGImageSize(stream), static_cast<std::int64_t>(jpeg.size()));
}

TEST(JPEGHeaderParser, MinimalJPEG) {
    const Bytes jpeg = Concat({SOI, EOI});
    EXPECT_TRUE(Scan(jpeg, {jmApp1}).empty());
    EXPECT_EQ(Scan(jpeg, {jmEOI}), (std::vector<TFound>{{jmEOI, 2, 2}}));
}

TEST(JPEGHeaderParser, StandAloneMarkersHaveNoLength) {
    const Bytes jpeg = Concat({SOI, {0xFF, 0x01, 0xFF, 0xD3}, ExifApp1(), EOI});
    const auto found = Scan(jpeg, {jmApp1, 0xD3});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], (TFound{0xD3, 4, 2}));
    EXPECT_EQ(found[1].offset, 6);
}

TEST(JPEGHeaderParser, RejectsWhatIsNotAJPEG) {
    TMemoryStream startsWithEOI(Bytes{0xFF, 0xD9, 0xFF, 0xD8});
    try {
        ParseJPEGSegments(startsWithEOI, {jmApp1});
        FAIL();
    } catch (const EInvalidJPEGHeader& error) {
        EXPECT_STREQ(error.what(), "JPEG header is not valid");
    }
    TMemoryStream oneByte(Bytes{0xFF});
    EXPECT_THROW(ParseJPEGSegments(oneByte, {jmApp1}), EReadError);
    startsWithEOI.SetPosition(0);
    EXPECT_THROW(GetJPEGImageSize(startsWithEOI), EInvalidJPEGHeader);
    EXPECT_FALSE(IsJPEGStream(startsWithEOI));
    EXPECT_EQ(startsWithEOI.GetPosition(), 0);
}

TEST(JPEGHeaderParser, DamagedMarkerRunRaisesReadError) {
    const Bytes cases[] = {
        SOI,                                                 // nothing after SOI
        Concat({SOI, {0xFF, 0xE1, 0x00}}),                   // length cut short
        Concat({SOI, {0xFF, 0xE1, 0x00, 0x10, 1}}),          // looked-for data cut short
        Concat({SOI, {0xFF, 0xDB, 0x00, 0x10, 1}}),          // skipped data runs past the end
        Concat({SOI, {0xFF, 0xE1, 0x00, 0x01}, ExifApp1()}), // length below 2
        Concat({SOI, {0xFF, 0xDB, 0x00, 0x00}, ExifApp1()}),
        Concat({SOI, {0xFF, 0xFF, 0xFF}}), // fill bytes to the end
    };
    for (const auto& jpeg : cases) {
        EXPECT_THROW(Scan(jpeg, {jmApp1}), EReadError) << jpeg.size();
    }
}

TEST(JPEGHeaderParser, OwnsAStreamWhenGivenOne) {
    auto stream = std::make_shared<TMemoryStream>(OrdinaryJPEG());
    std::weak_ptr<TMemoryStream> watch = stream;
    auto parser = ParseJPEGSegments(std::move(stream), {jmApp1});
    ASSERT_TRUE(parser->MoveNext());
    EXPECT_FALSE(watch.expired());
    EXPECT_FALSE(parser->MoveNext());
    EXPECT_TRUE(watch.expired()) << "released once the run is over";
}

TEST(JPEGHeaderParser, ResumesWhereItStoppedAfterTheCallerMovedTheStream) {
    const Bytes jpeg = Concat({SOI, App0(), ExifApp1(), XMPApp1(), EOI});
    TMemoryStream stream(jpeg);
    auto parser = ParseJPEGSegments(stream, {jmApp1});
    ASSERT_TRUE(parser->MoveNext());
    stream.SetPosition(0);
    ASSERT_TRUE(parser->MoveNext());
    EXPECT_TRUE(parser->GetCurrent()->IsXMPBlock());
}

// ---------------------------------------------------------------------------

TEST(JPEGSegmentWriters, WriteLengthAndData) {
    TMemoryStream out;
    WriteJPEGStart(out);
    WriteJPEGSegment(out, 0xE1, Bytes{1, 2, 3});
    TMemoryStream empty;
    WriteJPEGSegment(out, 0xE2, empty);
    TMemoryStream data(Bytes{9, 8, 7, 6});
    data.SetPosition(3);
    WriteJPEGSegment(out, 0xE3, data); // count 0: the whole stream
    data.SetPosition(1);
    WriteJPEGSegment(out, 0xE4, data, 2); // 2 bytes from the position
    EXPECT_EQ(data.GetPosition(), 3);
    TPlainStream plain(Bytes{5, 6, 7});
    plain.SetPosition(1);
    WriteJPEGSegment(out, 0xE5, plain, 2);
    EXPECT_EQ(StreamBytes(out), (Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 5,    1,    2, 3, 0xFF, 0xE2,
                                       0,    2,    0xFF, 0xE3, 0, 6,    9,    8, 7, 6,    0xFF,
                                       0xE4, 0,    4,    8,    7, 0xFF, 0xE5, 0, 4, 6,    7}));
}

TEST(JPEGSegmentWriters, RefuseDataThatDoesNotFitOneSegment) {
    TMemoryStream out;
    WriteJPEGSegment(out, 0xE1, Bytes(65533, 0));
    EXPECT_EQ(out.GetSize(), 65537);
    EXPECT_EQ(StreamBytes(out)[2], 0xFF);
    EXPECT_EQ(StreamBytes(out)[3], 0xFF);

    TMemoryStream tooLarge(Bytes(65534, 0));
    TMemoryStream refused;
    EXPECT_THROW(WriteJPEGSegment(refused, 0xE1, tooLarge.GetBytes()), EJPEGSegmentTooLarge);
    EXPECT_THROW(WriteJPEGSegment(refused, 0xE1, tooLarge), EJPEGSegmentTooLarge);
    TPlainStream plain(Bytes(70000, 0));
    EXPECT_THROW(WriteJPEGSegment(refused, 0xE1, plain, 65534), EJPEGSegmentTooLarge);
    EXPECT_EQ(refused.GetSize(), 0) << "nothing written before the refusal";

    TMemoryStream shortData(Bytes{1, 2});
    EXPECT_THROW(WriteJPEGSegment(refused, 0xE1, shortData, 3), EReadError);
    EXPECT_EQ(refused.GetSize(), 0);
}
