// The dump listing: the sample JPEG, and small structures built here that
// show the PSD, TIFF and damage paths.
#include "CliTestSupport.h"

namespace Pictavo::Cli::Testing {
namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes result;
    for (const Bytes& part : parts) {
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

Bytes BigEndian(std::uint32_t value, int size) {
    Bytes result;
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
        result.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return result;
}

// 1C 02 5A, length 6, "Berlin": IPTC City.
const Bytes CityDataset{0x1C, 0x02, 0x5A, 0x00, 0x06, 'B', 'e', 'r', 'l', 'i', 'n'};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class DumpTest : public CliTest {
protected:
    TRunResult DumpBytes(const Bytes& bytes) {
        const std::string file = (FFolder / "structure.bin").string();
        WriteFileBytes(file, bytes);
        return RunCli({"dump", file});
    }
};

TEST_F(DumpTest, SampleJPEGListsSegmentsExifAndIPTC) {
    const TRunResult result = Run({"dump", FFile});
    ASSERT_EQ(result.Status, ExitSuccess) << result.Err;
    for (const char* line : {
             "JPEG image, 822 bytes\n",
             "           0  FFD8 SOI         -\n",
             "           2  FFE0 APP0       14  JFIF\n",
             "          20  FFE1 APP1      274  Exif\n",
             "    TIFF structure at file offset 30, big-endian (MM); offsets below count from it\n",
             "      IFD0 at offset 8: 8 entries, load errors: none\n",
             "        0x010F  ASCII              8  \"Pictavo\"\n",
             "        Exif sub-directory (pointer tag 0x8769) at offset 158: 7 entries, load "
             "errors: "
             "none\n",
             "          0x9000  UNDEFINED          4  \"0232\"\n",
             "         298  FFED APP13     134  Photoshop image resources\n",
             "    0x0404 ( 1028)  \"\"                       108  IPTC\n",
             "      IPTC datasets: 9, text UTF-8\n",
             "        1:90          3  ESC % G (text is UTF-8)\n",
             "        2:25          9  \"mountains\"\n",
             "        2:90          7  \"Zürich\"\n",
             "         574  FFC0 SOF0       15  64 x 48, 3 components, 8-bit\n",
             "         820  FFD9 EOI         -\n",
         }) {
        EXPECT_TRUE(Contains(result.Out, line)) << line << "in\n" << result.Out;
    }
}

TEST_F(DumpTest, DumpShowsWhatSetWrote) {
    ASSERT_EQ(Run({"set", FFile, "SDAKeywords=first", "SDAKeywords=second"}).Status, ExitSuccess);
    const TRunResult result = Run({"dump", FFile});
    EXPECT_TRUE(Contains(result.Out, "2:25          5  \"first\"\n")) << result.Out;
    EXPECT_TRUE(Contains(result.Out, "2:25          6  \"second\"\n")) << result.Out;
    EXPECT_FALSE(Contains(result.Out, "\"lake\""));
}

TEST_F(DumpTest, CutJPEGIsListedUpToTheDamage) {
    const Bytes sample = ReadFileBytes(SamplePath);
    const TRunResult result = DumpBytes(Bytes(sample.begin(), sample.begin() + 300));
    EXPECT_EQ(result.Status, ExitSuccess) << result.Err;
    EXPECT_TRUE(Contains(result.Out, "FFE1 APP1      274  Exif\n")) << result.Out;
    EXPECT_TRUE(Contains(result.Out, "  segment list stopped: Stream read error\n")) << result.Out;
}

TEST_F(DumpTest, PSDResourcesWithIPTC) {
    const Bytes block =
        Concat({{'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0}, BigEndian(11, 4), CityDataset, {0}});
    const Bytes psd = Concat({{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0},
                              {0, 3},
                              BigEndian(6, 4),
                              BigEndian(8, 4),
                              {0, 8, 0, 3},
                              BigEndian(0, 4),
                              BigEndian(static_cast<std::uint32_t>(block.size()), 4),
                              block,
                              BigEndian(0, 4)});
    const TRunResult result = DumpBytes(psd);
    ASSERT_EQ(result.Status, ExitSuccess) << result.Err;
    EXPECT_EQ(result.Out, "Photoshop (PSD) image, 62 bytes\n"
                          "PSD header: 8 x 6, 3 channels, 8-bit, RGB, colour mode data 0 bytes\n"
                          "Image resources (section at 30, 28 bytes):\n"
                          "  ID              name              data bytes  contents\n"
                          "  0x0404 ( 1028)  \"\"                        11  IPTC\n"
                          "    IPTC datasets: 1, text Windows-1252\n"
                          "      dataset  length  value\n"
                          "      2:90          6  \"Berlin\"\n"
                          "Layer and mask section at 58, 4 bytes\n");
}

TEST_F(DumpTest, TiffIPTCIsReadAsStoredAndPointerLoopsAreCut) {
    // Big-endian IFD0 with IPTC as three LONGs (as exiftool writes it) and an
    // Exif pointer back to IFD0 itself.
    const Bytes iptc = Concat({CityDataset, {0}});
    const Bytes tiff = Concat({{'M', 'M', 0, 42},
                               BigEndian(8, 4),
                               BigEndian(2, 2),
                               {0x83, 0xBB, 0, 4},
                               BigEndian(3, 4),
                               BigEndian(38, 4),
                               {0x87, 0x69, 0, 4},
                               BigEndian(1, 4),
                               BigEndian(8, 4),
                               BigEndian(0, 4),
                               iptc});
    const TRunResult result = DumpBytes(tiff);
    ASSERT_EQ(result.Status, ExitSuccess) << result.Err;
    EXPECT_EQ(result.Out,
              "TIFF image, 50 bytes\n"
              "TIFF structure at file offset 0, big-endian (MM); offsets below count from it\n"
              "  IFD0 at offset 8: 2 entries, load errors: none\n"
              "    tag     type          count  value\n"
              "    0x83BB  LONG               3  IPTC, below\n"
              "    0x8769  LONG               1  8\n"
              "    IPTC datasets: 1, text Windows-1252\n"
              "      dataset  length  value\n"
              "      2:90          6  \"Berlin\"\n"
              "      1 bytes after the last dataset are no dataset: 00\n"
              "    Exif sub-directory at offset 8: listed above\n");
}

TEST_F(DumpTest, TiffWithBadDirectoryOffsetReportsIt) {
    const Bytes tiff = Concat({{'I', 'I', 42, 0}, {0xF0, 0, 0, 0}});
    const TRunResult result = DumpBytes(tiff);
    EXPECT_EQ(result.Status, ExitSuccess) << result.Err;
    EXPECT_TRUE(result.Out.starts_with("TIFF image, 8 bytes\n")) << result.Out;
}

} // namespace
} // namespace Pictavo::Cli::Testing
