#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;

namespace {

Bytes Replace(const Bytes& input, IStreamPersistEx* exif, IStreamPersistEx* xmp) {
    TMemoryStream in(input);
    TMemoryStream out(Bytes(input.size() + 100, 0xEE)); // stale bytes must be cut off
    ReplaceJPEGApp1Blocks(in, out, exif, xmp);
    return StreamBytes(out);
}

const Bytes NewTiff{'I', 'I', 0x2A, 0x00, 8, 0, 0, 0, 0, 0};
const Bytes Rest = Concat({DQT(), ScanData({1, 2, 3}), EOI});

} // namespace

TEST(ReplaceJPEGApp1Blocks, PutsTheNewExifRightAfterApp0) {
    const Bytes input = Concat({SOI, App0(), ExifApp1(), Rest});
    TBytesSource newExif(NewTiff);
    EXPECT_EQ(Replace(input, &newExif, nullptr), Concat({SOI, App0(), ExifApp1(NewTiff), Rest}));

    TBytesSource empty({});
    EXPECT_EQ(Replace(input, &empty, nullptr), Concat({SOI, App0(), Rest})) << "Empty removes";
    EXPECT_EQ(Replace(input, nullptr, nullptr), input) << "no source keeps the old block";
}

TEST(ReplaceJPEGApp1Blocks, MovesApp0FirstAndKeepsOtherApp1InPlace) {
    const Bytes otherApp1 = Segment(0xE1, ToBytes("http://example.com/other\0data"));
    const Bytes secondExif = ExifApp1(TiffHeaderII);
    const Bytes input =
        Concat({SOI, ExifApp1(), {0xFF, 0xFF}, App0(), otherApp1, XMPApp1(), secondExif, Rest});
    TBytesSource newXMP(ToBytes("<?xpacket begin=''?><new/>"));
    EXPECT_EQ(Replace(input, nullptr, &newXMP),
              Concat({SOI,
                      App0(),
                      ExifApp1(),
                      Segment(0xE1, Concat({ToBytes(XMPHeader), newXMP.GetBytes()})),
                      {0xFF, 0xFF},
                      otherApp1,
                      secondExif,
                      Rest}));
}

TEST(ReplaceJPEGApp1Blocks, UnrecognisedXMPStaysBesideTheNewOne) {
    const Bytes declaredXMP = XMPApp1("<?xml version='1.0'?><x:xmpmeta/>");
    const Bytes input = Concat({SOI, App0(), declaredXMP, Rest});
    TBytesSource newXMP(ToBytes("<?xpacket begin=''?><new/>"));
    EXPECT_EQ(Replace(input, nullptr, &newXMP),
              Concat({SOI, App0(), Segment(0xE1, Concat({ToBytes(XMPHeader), newXMP.GetBytes()})),
                      declaredXMP, Rest}));
}

TEST(ReplaceJPEGApp1Blocks, WritesASegmentSourceUnchanged) {
    TMemoryStream segmentBytes(ExifApp1(NewTiff));
    TUserJPEGSegment segment;
    segment.LoadFromStream(segmentBytes);
    const Bytes input = Concat({SOI, App0(), ExifApp1(), Rest});
    EXPECT_EQ(Replace(input, &segment, nullptr), Concat({SOI, App0(), ExifApp1(NewTiff), Rest}));
}

TEST(ReplaceJPEGApp1Blocks, StartsAtTheInputPosition) {
    const Bytes jpeg = Concat({SOI, ExifApp1(), Rest});
    TMemoryStream in(Concat({{'j', 'u', 'n', 'k'}, jpeg}));
    in.SetPosition(4);
    TMemoryStream out;
    ReplaceJPEGApp1Blocks(in, out, nullptr, nullptr);
    EXPECT_EQ(StreamBytes(out), jpeg);
}

TEST(ReplaceJPEGApp1Blocks, RefusesBadInputAndOversizedBlocks) {
    TBytesSource source(NewTiff);
    EXPECT_THROW(Replace(Concat({EOI, Rest}), &source, nullptr), EInvalidJPEGHeader);
    TBytesSource huge(Bytes(65534 - 6 + 1, 0));
    EXPECT_THROW(Replace(Concat({SOI, Rest}), &huge, nullptr), EJPEGSegmentTooLarge);
    TBytesSource largest(Bytes(65533 - 6, 0));
    EXPECT_EQ(Replace(Concat({SOI, Rest}), &largest, nullptr).size(),
              SOI.size() + 65537 + Rest.size());
}
