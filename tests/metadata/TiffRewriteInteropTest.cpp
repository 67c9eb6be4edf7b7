// TIFFs written by ImageMagick, libtiff and exiftool, rewritten with no callback
// and with the metadata callback, decode to the same pixels (identify's
// signature per page) and keep every tag tiffdump and exiftool list, apart from
// the offsets that the rewrite moves on purpose. Runs when the tools are installed.
#include "InteropSupport.h"
#include "kestrix/TiffUtils.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace Kestrix::Exif;
using namespace InteropSupport;
namespace fs = std::filesystem;

namespace {

struct TDumpedTag {
    std::string Type;
    std::string Count;
    std::string Values;
};
using TDumpedDirectory = std::map<unsigned, TDumpedTag>;

// tiffdump's directories: the main chain, or the one directory at `offset`.
std::vector<TDumpedDirectory> Dump(const fs::path& file, long offset = -1) {
    const std::string options = offset < 0 ? "" : "-o " + std::to_string(offset) + " ";
    std::istringstream in(
        RunAndCapture("tiffdump -m 100000000 " + options + Quoted(file), StdErr::Discard));
    // "Name (id) TYPE (code) count<values>", or "id (0xhex) ..." for tags without a name.
    const std::regex tagLine(
        R"(^(?:\S+ \((\d+)\)|(\d+) \(0x[0-9a-fA-F]+\)) (\S+) \((\d+)\) (\d+)<(.*)>$)");
    std::vector<TDumpedDirectory> result;
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (line.starts_with("Directory ")) {
            result.emplace_back();
        } else if (!result.empty() && std::regex_match(line, m, tagLine)) {
            const std::string id = m[1].matched ? m[1].str() : m[2].str();
            result.back()[std::stoul(id)] = {m[3], m[5], m[6]};
        }
    }
    return result;
}

unsigned long FirstValue(const TDumpedTag& tag) {
    return std::stoul(tag.Values);
}

constexpr unsigned PointerTags[] = {TagIDs::ttExifOffset, TagIDs::ttGPSOffset,
                                    TagIDs::ttInteropOffset};
constexpr unsigned OffsetTags[] = {TagIDs::ttStripOffsets, TagIDs::ttTileOffsets,
                                   TagIDs::ttJPEGInterchangeFormat};
constexpr unsigned ByteCountTags[] = {TagIDs::ttStripByteCounts, TagIDs::ttTileByteCounts,
                                      TagIDs::ttJPEGInterchangeFormatLength};

bool IsOneOf(unsigned id, std::span<const unsigned> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The same tags with the same values, except that image offsets and pointers
// moved, image byte counts may have become LONG, and `addedTag` (0 for none)
// is expected only in the rewritten directory.
void ExpectSameTags(const TDumpedDirectory& before, const TDumpedDirectory& after,
                    unsigned addedTag, const fs::path& input, const fs::path& output);

void ExpectSameSubDirectories(const TDumpedDirectory& before, const TDumpedDirectory& after,
                              const fs::path& input, const fs::path& output) {
    for (const unsigned pointer : PointerTags) {
        if (!before.contains(pointer)) {
            continue;
        }
        SCOPED_TRACE("sub-directory " + std::to_string(pointer));
        ASSERT_TRUE(after.contains(pointer));
        const auto old = Dump(input, static_cast<long>(FirstValue(before.at(pointer))));
        const auto rewritten = Dump(output, static_cast<long>(FirstValue(after.at(pointer))));
        ASSERT_EQ(old.size(), 1u);
        ASSERT_EQ(rewritten.size(), 1u);
        ExpectSameTags(old[0], rewritten[0], 0, input, output);
    }
}

void ExpectSameTags(const TDumpedDirectory& before, const TDumpedDirectory& after,
                    unsigned addedTag, const fs::path& input, const fs::path& output) {
    for (const auto& [id, tag] : before) {
        if (id == addedTag) {
            continue;
        }
        SCOPED_TRACE("tag " + std::to_string(id));
        ASSERT_TRUE(after.contains(id));
        const TDumpedTag& now = after.at(id);
        EXPECT_EQ(now.Count, tag.Count);
        if (IsOneOf(id, PointerTags) || IsOneOf(id, OffsetTags)) {
            EXPECT_EQ(now.Type, "LONG");
        } else if (IsOneOf(id, ByteCountTags)) {
            EXPECT_EQ(now.Type, "LONG");
            EXPECT_EQ(now.Values, tag.Values);
        } else {
            EXPECT_EQ(now.Type, tag.Type);
            EXPECT_EQ(now.Values, tag.Values);
        }
    }
    for (const auto& [id, tag] : after) {
        EXPECT_TRUE(before.contains(id) || id == addedTag) << "tag " << id << " appeared";
    }
    ExpectSameSubDirectories(before, after, input, output);
}

// exiftool's view of the metadata, without what a rewrite may change: file
// facts, offsets and pointers, and the IPTC the callback adds.
std::set<std::string> MetadataOf(const fs::path& file) {
    std::istringstream in(RunAndCapture("exiftool -a -G1 -s -n " + Quoted(file), StdErr::Discard));
    const std::regex moved(
        R"(^\[(System|File|ExifTool|IPTC|Composite)\]|\s(StripOffsets|TileOffsets|ExifOffset|GPSInfo|InteropOffset|IPTC-NAA|ThumbnailOffset)\s)");
    std::set<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!std::regex_search(line, moved)) {
            lines.insert(line);
        }
    }
    return lines;
}

// An IPTC record 2 version dataset.
class TIPTCBlock final : public IStreamPersistEx {
public:
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override {
        static constexpr std::uint8_t Block[] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04};
        stream.WriteBuffer(Block, sizeof(Block));
    }
    bool Empty() const override { return false; }
};

void RewriteFile(const fs::path& input, const fs::path& output, ITiffRewriteCallback* callback) {
    TFileStream in(input.string(), TFileMode::fmOpenRead);
    TMemoryStream out;
    RewriteTiffStream(in, out, callback);
    out.SaveToFile(output.string());
}

void ExpectSameImageAndTags(const fs::path& input, bool withCallback) {
    SCOPED_TRACE(input.filename().string() + (withCallback ? " with callback" : ""));
    const fs::path output =
        input.parent_path() / (input.stem().string() + (withCallback ? "_cb" : "_plain") + ".tif");
    TIPTCBlock iptc;
    TSimpleTiffRewriteCallbackImpl callback(iptc, TagIDs::ttIPTC);
    ASSERT_NO_THROW(RewriteFile(input, output, withCallback ? &callback : nullptr));

    const std::string signatures =
        RunAndCapture("identify -format '%#\\n' " + Quoted(input), StdErr::Discard);
    ASSERT_FALSE(signatures.empty());
    EXPECT_EQ(RunAndCapture("identify -format '%#\\n' " + Quoted(output), StdErr::Discard),
              signatures);

    const auto before = Dump(input);
    const auto after = Dump(output);
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE("directory " + std::to_string(i));
        const unsigned added = withCallback && i == 0 ? TagIDs::ttIPTC : 0;
        ExpectSameTags(before[i], after[i], added, input, output);
        if (added != 0) {
            ASSERT_TRUE(after[i].contains(added));
            EXPECT_EQ(after[i].at(added).Type, "UNDEFINED");
            EXPECT_EQ(after[i].at(added).Count, "7");
        }
    }
    if (input.stem().string().starts_with("exif")) {
        EXPECT_EQ(MetadataOf(output), MetadataOf(input));
    }
}

} // namespace

TEST(TiffRewriteInterop, RealFilesKeepTheirPixelsAndTags) {
    for (const char* tool : {"convert", "identify", "tiffcp", "tiffdump", "exiftool"}) {
        if (!ToolInstalled(tool)) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    const fs::path folder = ScratchFolder("tiff_rewrite_interop");
    const auto at = [&](const char* name) { return folder / name; };
    const auto make = [](const std::string& command) { ASSERT_TRUE(RunTool(command)) << command; };
    // Small images keep the test fast; strip and tile sizes make several of each.
    make("convert -size 40x30 gradient:red-blue -compress lzw -define tiff:rows-per-strip=4 " +
         Quoted(at("strips.tif")));
    make("tiffcp -B -c none " + Quoted(at("strips.tif")) + " " + Quoted(at("strips_be.tif")));
    make("tiffcp -L -t -w 16 -l 16 " + Quoted(at("strips.tif")) + " " + Quoted(at("tiles.tif")));
    make("tiffcp -B -t -w 16 -l 16 -c zip " + Quoted(at("strips.tif")) + " " +
         Quoted(at("tiles_be.tif")));
    make("convert -size 9x7 xc:red xc:lime -size 5x5 gradient:white-black -compress none " +
         Quoted(at("pages.tif")));
    make("tiffcp -B " + Quoted(at("pages.tif")) + " " + Quoted(at("pages_be.tif")));
    // EXIF, GPS and interoperability sub-directories in both byte orders, on a
    // file with a second page.
    for (const char* name : {"exif.tif", "exif_be.tif"}) {
        fs::copy_file(at(name == std::string("exif.tif") ? "pages.tif" : "pages_be.tif"), at(name),
                      fs::copy_options::overwrite_existing);
        make("exiftool -q -overwrite_original -Make=Kestrix -ExposureTime=1/50 -FNumber=2.8 "
             "-UserComment=hello -InteropIndex=R98 -GPSLatitude=1.5 -GPSLatitudeRef=N " +
             Quoted(at(name)));
    }
    for (const char* name : {"strips.tif", "strips_be.tif", "tiles.tif", "tiles_be.tif",
                             "pages.tif", "pages_be.tif", "exif.tif", "exif_be.tif"}) {
        for (const bool withCallback : {false, true}) {
            ExpectSameImageAndTags(at(name), withCallback);
        }
    }
    // The EXIF fixtures did get their sub-directories.
    const auto exif = Dump(at("exif_be.tif"));
    ASSERT_FALSE(exif.empty());
    EXPECT_TRUE(exif[0].contains(TagIDs::ttExifOffset));
    EXPECT_TRUE(exif[0].contains(TagIDs::ttGPSOffset));
}
