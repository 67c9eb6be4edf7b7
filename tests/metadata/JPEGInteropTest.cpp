// ReplaceJPEGApp1Blocks against independent tools: exiftool must accept the
// result and ImageMagick must decode the same pixels.
#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;
namespace fs = std::filesystem;

namespace {

bool ToolInstalled(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunTool(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        std::array<char, 4096> chunk{};
        while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) {
            output.append(chunk.data(), n);
        }
        ::pclose(pipe);
    }
    return output;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

fs::path ScratchFolder() {
    const char* scratch = std::getenv("PICTAVO_TMP");
    const fs::path folder =
        (scratch != nullptr ? fs::path(scratch) : fs::temp_directory_path()) / "jpeg-interop";
    fs::create_directories(folder);
    return folder;
}

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
    const fs::path folder = ScratchFolder();
    const fs::path original = folder / "camera.jpg";
    const fs::path rebuilt = folder / "rebuilt.jpg";
    const fs::path stripped = folder / "stripped.jpg";
    // A camera-style JPEG: JFIF APP0, an Exif APP1 with IFD0 and Exif IFD tags,
    // an XMP APP1 and an APP13 with IPTC.
    RunTool("convert -size 96x64 gradient:orange-navy -quality 90 " + Quote(original));
    RunTool("exiftool -q -overwrite_original -Make=Kestrel -Model='K-1 Mark II' "
            "-DateTimeOriginal='2024:05:06 07:08:09' -ExposureTime=1/125 -FNumber=5.6 "
            "-ExifImageWidth=96 -ExifImageHeight=64 -XMP-dc:Title=Harbour -IPTC:Keywords=sea " +
            Quote(original));
    ASSERT_NE(RunTool("exiftool -validate -warning -a " + Quote(original)).find("OK"),
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

    const std::string report = RunTool("exiftool -validate -warning -a " + Quote(rebuilt));
    EXPECT_NE(report.find("Validate                        : OK"), std::string::npos) << report;
    EXPECT_EQ(RunTool("exiftool -s3 -Model -XMP-dc:Title -IPTC:Keywords " + Quote(rebuilt)),
              "K-1 Mark II\nHarbour\nsea\n");
    EXPECT_EQ(RunTool("exiftool -s3 -EXIF:Model " + Quote(stripped)), "")
        << "Empty removed the Exif";

    const std::string pixels = RunTool("identify -format '%#' " + Quote(original));
    ASSERT_EQ(pixels.size(), 64u) << pixels;
    EXPECT_EQ(RunTool("identify -format '%#' " + Quote(rebuilt)), pixels);
    EXPECT_EQ(RunTool("identify -format '%#' " + Quote(stripped)), pixels);
}
