// A camera-style EXIF block written by exiftool loads into sections whose text,
// rational, integer and date values are the ones exiftool reports. Runs when
// exiftool and ImageMagick's convert are installed.
#include "ExifTestSupport.h"
#include "InteropSupport.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>

using namespace Kestrix::Exif;
using namespace ExifTestSupport;
using namespace InteropSupport;
namespace fs = std::filesystem;

namespace {

// exiftool's "Tag: value" lines; EXIF strings are read as Windows-1252, as
// they were written.
std::map<std::string, std::string> Report(const fs::path& file, bool numeric) {
    const fs::path out = file.string() + (numeric ? ".n.txt" : ".txt");
    const std::string command = std::string("exiftool -S -charset exif=cp1252 ") +
                                (numeric ? "-n " : "") +
                                "-Make -Model -Artist -XPTitle -Orientation -ISO "
                                "-ExposureTime -FNumber -ExposureCompensation -FocalLength "
                                "-DateTimeOriginal -SubSecDateTimeOriginal " +
                                Quoted(file) + " > " + Quoted(out);
    std::map<std::string, std::string> values;
    if (std::system(command.c_str()) != 0) {
        return values;
    }
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(": ");
        if (colon != std::string::npos) {
            values[line.substr(0, colon)] = line.substr(colon + 2);
        }
    }
    return values;
}

// The TIFF structure of the first Exif APP1 segment, without its signature.
std::vector<std::uint8_t> ExifBlockOf(const fs::path& file) {
    TFileStream stream(file.string(), TFileMode::fmOpenRead);
    for (const auto& segment : ParseJPEGSegments(stream, {jmApp1})) {
        if (segment->IsExifBlock(true)) {
            const auto bytes = segment->GetData().GetBytes();
            return {bytes.begin() + static_cast<std::ptrdiff_t>(ExifHeader.size()), bytes.end()};
        }
    }
    return {};
}

// Milliseconds of exiftool's "yyyy:mm:dd hh:nn:ss.fff" text.
int MilliSecondsOf(const std::string& subSecDateTime) {
    const auto dot = subSecDateTime.find('.');
    return dot == std::string::npos
               ? 0
               : static_cast<int>(std::lround(std::stod("0" + subSecDateTime.substr(dot)) * 1000));
}

} // namespace

TEST(ExifInterop, SectionsReadWhatExiftoolWrote) {
    if (!ToolInstalled("exiftool") || !ToolInstalled("convert")) {
        GTEST_SKIP() << "exiftool or convert is not installed";
    }
    for (const char* order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        const fs::path file =
            ScratchFolder("exif_interop") / (std::string("camera_") + order + ".jpg");
        fs::remove(file);
        ASSERT_TRUE(RunTool("convert -size 8x8 xc:gray " + Quoted(file)));
        // Artist carries a Windows-1252 character; XPTitle is UTF-16 text.
        ASSERT_TRUE(RunTool(std::string("exiftool -q -overwrite_original -charset exif=cp1252 ") +
                            "-ExifByteOrder=" + order +
                            " -Make=Canon '-Model=Canon EOS 5D Mark II' '-Artist=J\xC3\xBCrgen'"
                            " '-XPTitle=H\xC3\xABllo w\xC3\xB6rld \xE2\x82\xAC' -Orientation#=6"
                            " -ISO=200 -ExposureTime=1/125 -FNumber=5.6"
                            " -ExposureCompensation=-2/3 -FocalLength=50"
                            " '-DateTimeOriginal=2014:05:06 07:08:09' -SubSecTimeOriginal=25 " +
                            Quoted(file)));
        const auto text = Report(file, false);
        const auto numbers = Report(file, true);
        ASSERT_FALSE(text.empty());
        ASSERT_FALSE(numbers.empty());

        const auto block = ExifBlockOf(file);
        ASSERT_FALSE(block.empty());
        auto parser = CreateTiffParser(std::make_unique<TMemoryStream>(block));
        EXPECT_EQ(parser->GetEndianness(),
                  std::string(order) == "MM" ? TEndianness::BigEndian : TEndianness::SmallEndian);
        TTestExifOwner owner;
        TExifSection& general = owner.GetSection(TExifSectionKind::esGeneral);
        TExifSection& details = owner.GetSection(TExifSectionKind::esDetails);
        for (const auto& directory : *parser) {
            general.Load(*directory, false);
            break;
        }
        // The section's own pointer tag leads the parser to the Exif directory.
        const auto exifPointer = general.FindTag(TagIDs::ttExifOffset);
        ASSERT_NE(exifPointer, nullptr);
        const auto exifDirectory = parser->ParseSubDirectory(*exifPointer);
        ASSERT_NE(exifDirectory, nullptr);
        EXPECT_EQ(exifDirectory->GetParent().get(), &general);
        details.Load(*exifDirectory, false);
        EXPECT_TRUE(general.GetLoadErrors().Empty());
        EXPECT_TRUE(details.GetLoadErrors().Empty());

        EXPECT_EQ(general.GetStringValue(TagIDs::ttMake), text.at("Make"));
        EXPECT_EQ(general.GetStringValue(TagIDs::ttModel), text.at("Model"));
        EXPECT_EQ(general.GetStringValue(TagIDs::ttArtist), text.at("Artist"));
        EXPECT_EQ(general.GetStringValue(TagIDs::ttArtist), "J\xC3\xBCrgen");
        EXPECT_EQ(general.GetWindowsStringValue(TagIDs::ttWindowsTitle), text.at("XPTitle"));
        EXPECT_EQ(general.Find(TagIDs::ttWindowsTitle)->GetAsString(), text.at("XPTitle"));
        EXPECT_EQ(std::to_string(general.GetWordValue(TagIDs::ttOrientation, 0).FValue),
                  numbers.at("Orientation"));
        EXPECT_EQ(details.Find(0x8827)->GetAsString(), numbers.at("ISO"));

        EXPECT_EQ(details.Find(TagIDs::ttExposureTime)->GetAsString(), text.at("ExposureTime"));
        EXPECT_EQ(details.Find(0x9204)->GetAsString(), text.at("ExposureCompensation"));
        EXPECT_NEAR(static_cast<double>(details.GetFractionValue(TagIDs::ttFNumber, 0).Quotient()),
                    std::stod(numbers.at("FNumber")), 1e-9);
        EXPECT_NEAR(static_cast<double>(details.GetFractionValue(0x920A, 0).Quotient()),
                    std::stod(numbers.at("FocalLength")), 1e-9);

        const TDateTimeTagValue taken =
            details.GetDateTimeValue(TagIDs::ttDateTimeOriginal, TagIDs::ttSubsecTimeOriginal);
        ASSERT_FALSE(taken.MissingOrInvalid());
        const TDateTimeParts parts = DecodeDateTime(taken.FValue);
        EXPECT_EQ(Format("%.4d:%.2d:%.2d %.2d:%.2d:%.2d", parts.Date.Year, parts.Date.Month,
                         parts.Date.Day, parts.Time.Hour, parts.Time.Minute, parts.Time.Second),
                  text.at("DateTimeOriginal"));
        EXPECT_EQ(parts.Time.MilliSecond, MilliSecondsOf(text.at("SubSecDateTimeOriginal")));
        EXPECT_EQ(parts.Time.MilliSecond, 250);
    }
}
