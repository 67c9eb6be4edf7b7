// ReplaceJPEGApp1Blocks against independent tools: exiftool must accept the
// result and ImageMagick must decode the same pixels.
#include "InteropSupport.h"
#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;
using namespace InteropSupport;
namespace fs = std::filesystem;

namespace {

// The TIFF structure of the first Exif APP1 segment, as a container would save it.
Bytes TiffOfFirstExifSegment(TStream& jpeg) {
    for (const auto& segment : ParseJPEGSegments(jpeg, {jmApp1})) {
        if (segment->IsExifBlock()) {
            const Bytes data = StreamBytes(segment->GetData());
            return Bytes(data.begin() + static_cast<std::ptrdiff_t>(ExifHeader.size()), data.end());
        }
    }
    return {};
}

} // namespace

TEST(JPEGInterop, RebuiltCameraJPEGValidatesAndKeepsItsPixels) {
    if (!ToolInstalled("exiftool") || !ToolInstalled("convert") || !ToolInstalled("identify")) {
        GTEST_SKIP() << "needs exiftool and ImageMagick";
    }
    const fs::path folder = ScratchFolder("jpeg-interop");
    const fs::path original = folder / "camera.jpg";
    const fs::path rebuilt = folder / "rebuilt.jpg";
    const fs::path stripped = folder / "stripped.jpg";
    // A camera-style JPEG: JFIF APP0, an Exif APP1 with IFD0 and Exif IFD tags,
    // an XMP APP1 and an APP13 with IPTC.
    RunAndCapture("convert -size 96x64 gradient:orange-navy -quality 90 " + Quoted(original),
                  StdErr::Merge);
    RunAndCapture(
        "exiftool -q -overwrite_original -Make=Kestrel -Model='K-1 Mark II' "
        "-DateTimeOriginal='2024:05:06 07:08:09' -ExposureTime=1/125 -FNumber=5.6 "
        "-ExifImageWidth=96 -ExifImageHeight=64 -XMP-dc:Title=Harbour -IPTC:Keywords=sea " +
            Quoted(original),
        StdErr::Merge);
    ASSERT_NE(RunAndCapture("exiftool -validate -warning -a " + Quoted(original), StdErr::Merge)
                  .find("OK"),
              std::string::npos);

    TMemoryStream input;
    input.LoadFromFile(original.string());
    TBytesSource newExif(TiffOfFirstExifSegment(input));
    ASSERT_FALSE(newExif.Empty());
    TBytesSource none({});
    for (const auto& [path, source] : {std::pair{rebuilt, &newExif}, std::pair{stripped, &none}}) {
        input.SetPosition(0);
        TMemoryStream output;
        ReplaceJPEGApp1Blocks(input, output, source, nullptr);
        output.SaveToFile(path.string());
    }

    const std::string report =
        RunAndCapture("exiftool -validate -warning -a " + Quoted(rebuilt), StdErr::Merge);
    EXPECT_NE(report.find("Validate                        : OK"), std::string::npos) << report;
    EXPECT_EQ(RunAndCapture("exiftool -s3 -Model -XMP-dc:Title -IPTC:Keywords " + Quoted(rebuilt),
                            StdErr::Merge),
              "K-1 Mark II\nHarbour\nsea\n");
    EXPECT_EQ(RunAndCapture("exiftool -s3 -EXIF:Model " + Quoted(stripped), StdErr::Merge), "")
        << "Empty removed the Exif";

    const std::string pixels =
        RunAndCapture("identify -format '%#' " + Quoted(original), StdErr::Merge);
    ASSERT_EQ(pixels.size(), 64u) << pixels;
    EXPECT_EQ(RunAndCapture("identify -format '%#' " + Quoted(rebuilt), StdErr::Merge), pixels);
    EXPECT_EQ(RunAndCapture("identify -format '%#' " + Quoted(stripped), StdErr::Merge), pixels);
}
