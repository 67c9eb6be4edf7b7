// A PSD made by ImageMagick and tagged by exiftool is rewritten with new
// resources; both tools must read the result as before.
#include "InteropSupport.h"
#include "metadata/AdobeTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::AdobeTesting;
using namespace InteropSupport;

namespace {

std::string Pixels(const std::filesystem::path& file) {
    return RunAndCapture("identify -format '%m %wx%h %# ' " + Quoted(file));
}

std::string Resources(const std::filesystem::path& file) {
    return RunAndCapture("exiftool -a -G1 -s -n -Photoshop:all -XMP:all -EXIF:all " + Quoted(file));
}

std::vector<std::uint16_t> TypeIDs(const std::filesystem::path& file) {
    TMemoryStream stream;
    stream.LoadFromFile(file.string());
    TPSDInfo info;
    std::vector<std::uint16_t> result;
    for (const auto& block : ParsePSDResources(stream, info)) {
        EXPECT_TRUE(block->GetLoadedCleanly());
        result.push_back(block->GetTypeID());
    }
    return result;
}

} // namespace

TEST(PSDInterop, RewrittenResourcesReadBackInImageMagickAndExiftool) {
    if (!ToolInstalled("convert") || !ToolInstalled("identify") || !ToolInstalled("exiftool")) {
        GTEST_SKIP() << "ImageMagick or exiftool is not installed";
    }
    const auto folder = ScratchFolder("psd_interop");
    const auto source = folder / "psd_interop_source.psd";
    const auto identity = folder / "psd_interop_identity.psd";
    const auto rebuilt = folder / "psd_interop_rebuilt.psd";
    RunAndCapture("convert -size 16x8 gradient:red-blue " + Quoted(source));
    RunAndCapture("exiftool -q -overwrite_original -IPTC:Keywords=alpha -XMP-dc:Title=Sample "
                  "-EXIF:Artist=Someone " +
                  Quoted(source));
    const auto oldIDs = TypeIDs(source);
    ASSERT_NE(std::find(oldIDs.begin(), oldIDs.end(), AdobeResIPTC), oldIDs.end());
    ASSERT_NE(std::find(oldIDs.begin(), oldIDs.end(), AdobeResXMP), oldIDs.end());

    TMemoryStream input;
    input.LoadFromFile(source.string());

    // Nothing new, nothing replaced: the same file.
    TMemoryStream same;
    RewritePSDResources(input, same, {}, {});
    same.SaveToFile(identity.string());
    EXPECT_EQ(StreamBytes(same), StreamBytes(input));

    // A new IPTC block replaces the old one at the front; the rest stays.
    TBytesSource iptc(Cat({{0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04}, IPTCKeyword("beta")}));
    const TNewAdobeBlock newBlocks[] = {{AdobeResIPTC, &iptc}};
    input.SetPosition(0);
    TMemoryStream output;
    RewritePSDResources(input, output, newBlocks,
                        [](IAdobeResBlock& block) { return block.IsIPTCBlock(true); });
    output.SaveToFile(rebuilt.string());

    std::vector<std::uint16_t> expectedIDs{AdobeResIPTC};
    std::copy_if(oldIDs.begin(), oldIDs.end(), std::back_inserter(expectedIDs),
                 [](std::uint16_t id) { return id != AdobeResIPTC; });
    EXPECT_EQ(TypeIDs(rebuilt), expectedIDs);

    const std::string pixels = Pixels(source);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(Pixels(rebuilt), pixels);
    const std::string resources = Resources(source);
    EXPECT_NE(resources.find("Sample"), std::string::npos);
    EXPECT_NE(resources.find("Someone"), std::string::npos);
    EXPECT_EQ(Resources(rebuilt), resources);
    EXPECT_EQ(RunAndCapture("exiftool -s3 -IPTC:Keywords " + Quoted(source)), "alpha\n");
    EXPECT_EQ(RunAndCapture("exiftool -s3 -IPTC:Keywords " + Quoted(rebuilt)), "beta\n");
    EXPECT_EQ(RunAndCapture("exiftool -validate -warning -s3 " + Quoted(rebuilt)),
              RunAndCapture("exiftool -validate -warning -s3 " + Quoted(source)));
}

TEST(PSDInterop, App13BlocksOfAJPEGTaggedByExiftoolAreFound) {
    if (!ToolInstalled("convert") || !ToolInstalled("exiftool")) {
        GTEST_SKIP() << "ImageMagick or exiftool is not installed";
    }
    const auto jpeg = ScratchFolder("psd_interop") / "app13_interop.jpg";
    RunAndCapture("convert -size 8x8 xc:green " + Quoted(jpeg));
    RunAndCapture(
        "exiftool -q -overwrite_original -IPTC:Keywords=gamma -Photoshop:IPTCDigest=new " +
        Quoted(jpeg));
    TMemoryStream stream;
    stream.LoadFromFile(jpeg.string());
    std::vector<std::uint16_t> ids;
    Bytes iptc;
    for (const auto& segment : ParseJPEGSegments(stream, TJPEGMarkers{jmApp13})) {
        EXPECT_TRUE(segment->IsIPTCBlock(true));
        for (const auto& block : segment->GetEnumerator()) {
            EXPECT_TRUE(block->GetLoadedCleanly());
            ids.push_back(block->GetTypeID());
            if (block->IsIPTCBlock(true)) {
                iptc = StreamBytes(block->GetData());
            }
        }
    }
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{AdobeResIPTC, 0x0425}));
    const Bytes keyword = IPTCKeyword("gamma");
    EXPECT_NE(std::search(iptc.begin(), iptc.end(), keyword.begin(), keyword.end()), iptc.end());
}
