// TIFFs written by ImageMagick and libtiff parse into the directories and tags
// that tiffdump lists. Runs when convert, tiffcp and tiffdump are installed.
#include "InteropSupport.h"
#include "kestrix/TiffUtils.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace Kestrix::Exif;
using namespace InteropSupport;
namespace fs = std::filesystem;

namespace {

struct TDumpedTag {
    TTiffTagID ID = 0;
    std::uint16_t Type = 0;
    std::int64_t Count = 0;
    std::vector<std::uint64_t> Values; // integer types only
};

struct TDumpedDirectory {
    std::int64_t Offset = 0;
    std::vector<TDumpedTag> Tags;
};

std::vector<TDumpedDirectory> Dump(const fs::path& file) {
    const fs::path out = file.string() + ".dump";
    if (std::system(("tiffdump -m 1000000 " + Quoted(file) + " > " + Quoted(out)).c_str()) != 0) {
        return {};
    }
    std::ifstream in(out);
    const std::regex directoryLine(R"(^Directory \d+: offset (\d+) )");
    const std::regex tagLine(R"(^.* \((\d+)\) \S+ \((\d+)\) (\d+)<(.*)>$)");
    std::vector<TDumpedDirectory> result;
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, directoryLine)) {
            result.push_back({std::stoll(m[1]), {}});
        } else if (!result.empty() && std::regex_match(line, m, tagLine)) {
            TDumpedTag tag{static_cast<TTiffTagID>(std::stoul(m[1])),
                           static_cast<std::uint16_t>(std::stoul(m[2])),
                           std::stoll(m[3]),
                           {}};
            if (tag.Type == 1 || tag.Type == 3 || tag.Type == 4) {
                std::istringstream values(m[4].str());
                std::uint64_t value = 0;
                while (values >> value) {
                    tag.Values.push_back(value);
                }
            }
            result.back().Tags.push_back(tag);
        }
    }
    return result;
}

std::vector<std::uint64_t> IntegerValues(ITiffTag& tag) {
    const auto bytes = tag.GetData().GetBytes();
    const int size = TiffElementSize(tag.GetDataType());
    std::vector<std::uint64_t> values;
    for (std::size_t i = 0; i + static_cast<std::size_t>(size) <= bytes.size(); i += size) {
        if (size == 1) {
            values.push_back(bytes[i]);
        } else if (size == 2) {
            std::uint16_t value = 0;
            std::memcpy(&value, bytes.data() + i, 2);
            values.push_back(value);
        } else {
            std::uint32_t value = 0;
            std::memcpy(&value, bytes.data() + i, 4);
            values.push_back(value);
        }
    }
    return values;
}

void ExpectSameAsTiffdump(const fs::path& file) {
    SCOPED_TRACE(file.filename().string());
    const auto dumped = Dump(file);
    ASSERT_FALSE(dumped.empty()) << "tiffdump listed nothing";

    TFileStream stream(file.string(), TFileMode::fmOpenRead);
    auto parser = CreateTiffParser(stream);
    std::size_t index = 0;
    for (const auto& directory : *parser) {
        ASSERT_LT(index, dumped.size());
        const TDumpedDirectory& expected = dumped[index];
        EXPECT_TRUE(directory->GetLoadErrors().Empty());
        EXPECT_EQ(directory->GetIndex(), static_cast<std::int32_t>(index));
        EXPECT_EQ(std::dynamic_pointer_cast<TFoundTiffDirectory>(directory)->GetOffset(),
                  expected.Offset);
        EXPECT_EQ(directory->IsLastDirectory(), index + 1 == dumped.size());
        ASSERT_EQ(directory->GetCount(), static_cast<std::int32_t>(expected.Tags.size()));
        std::size_t tagIndex = 0;
        for (const auto& tag : *directory) {
            const TDumpedTag& want = expected.Tags[tagIndex++];
            EXPECT_EQ(tag->GetID(), want.ID);
            EXPECT_EQ(static_cast<std::uint16_t>(tag->GetDataType()), want.Type);
            EXPECT_EQ(tag->GetElementCount(), want.Count);
            if (!want.Values.empty()) {
                EXPECT_EQ(IntegerValues(*tag), want.Values) << "tag " << want.ID;
            }
            EXPECT_TRUE(directory->FindTag(want.ID)) << "tag " << want.ID;
        }
        ++index;
    }
    EXPECT_EQ(index, dumped.size());
}

} // namespace

TEST(TiffInterop, ImageMagickAndLibtiffFilesMatchTiffdump) {
    for (const char* tool : {"convert", "tiffcp", "tiffdump"}) {
        if (!ToolInstalled(tool)) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    const fs::path folder = ScratchFolder("tiff_interop");
    const auto at = [&](const char* name) { return folder / name; };
    // Small images keep the test fast; the strip and tile sizes make several of each.
    ASSERT_TRUE(RunTool("convert -size 40x30 gradient:red-blue -compress lzw "
                        "-define tiff:rows-per-strip=4 " +
                        Quoted(at("strips.tif"))));
    ASSERT_TRUE(
        RunTool("tiffcp -B " + Quoted(at("strips.tif")) + " " + Quoted(at("strips_be.tif"))));
    ASSERT_TRUE(RunTool("tiffcp -L -t -w 16 -l 16 " + Quoted(at("strips.tif")) + " " +
                        Quoted(at("tiles.tif"))));
    ASSERT_TRUE(RunTool("tiffcp -B -t -w 16 -l 16 -c zip " + Quoted(at("strips.tif")) + " " +
                        Quoted(at("tiles_be.tif"))));
    ASSERT_TRUE(RunTool("convert -size 9x7 xc:red xc:lime -size 5x5 xc:blue -compress none " +
                        Quoted(at("pages.tif"))));
    ASSERT_TRUE(RunTool("tiffcp -B " + Quoted(at("pages.tif")) + " " + Quoted(at("pages_be.tif"))));
    for (const char* name : {"strips.tif", "strips_be.tif", "tiles.tif", "tiles_be.tif",
                             "pages.tif", "pages_be.tif"}) {
        ExpectSameAsTiffdump(at(name));
    }
}

TEST(TiffInterop, ExifSubDirectoryOfARealFileIsFollowed) {
    for (const char* tool : {"convert", "exiftool"}) {
        if (!ToolInstalled(tool)) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    const fs::path file = ScratchFolder("tiff_interop") / "exif.tif";
    ASSERT_TRUE(RunTool("convert -size 4x4 xc:gray -compress none " + Quoted(file)));
    ASSERT_TRUE(RunTool("exiftool -q -overwrite_original -ExposureTime=1/50 -GPSLatitude=1.5 " +
                        Quoted(file)));
    TFileStream stream(file.string(), TFileMode::fmOpenRead);
    auto parser = CreateTiffParser(stream);
    auto ifd0 = *parser->begin();
    auto exif = parser->ParseSubDirectory(*ifd0->FindTag(TagIDs::ttExifOffset));
    ASSERT_TRUE(exif);
    auto exposure = exif->FindTag(0x829A);
    ASSERT_TRUE(exposure);
    TTiffLongWordFraction value;
    std::memcpy(&value, exposure->GetData().GetMemory(), sizeof(value));
    EXPECT_EQ(value, TTiffLongWordFraction(1, 50));
    EXPECT_TRUE(parser->ParseSubDirectory(*ifd0->FindTag(TagIDs::ttGPSOffset)));
}
