// Runs pictavo-cli in-process on scratch copies of the bundled sample image.
#pragma once

#include "PictavoCli.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace Pictavo::Cli::Testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct TRunResult {
    int Status;
    std::string Out;
    std::string Err;
};

inline TRunResult RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunPictavoCli(args, out, err);
    return {status, out.str(), err.str()};
}

inline Bytes ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline const fs::path SamplePath = fs::path(PICTAVO_SAMPLES_DIR) / "sample.jpg";

// A scratch folder per test holding "photo.jpg", a copy of the sample: a
// 64 x 48 JPEG made by ImageMagick, with EXIF (clean for exiftool -validate) and IPTC written by
// exiftool (UTF-8 marker, ObjectName "Sample image", Keywords lake and mountains, By-line "Jane
// Doe", City "Zürich", CopyrightNotice "© 2026 Jane Doe").
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* scratch = std::getenv("PICTAVO_TMP");
        const fs::path base = scratch != nullptr ? fs::path(scratch) : fs::temp_directory_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("cli-") + info->test_suite_name() + "-" + info->name();
        std::ranges::replace(name, '/', '_');
        FFolder = base / name;
        fs::remove_all(FFolder);
        fs::create_directories(FFolder);
        FFile = (FFolder / "photo.jpg").string();
        fs::copy_file(SamplePath, FFile);
    }
    void TearDown() override { fs::remove_all(FFolder); }

    TRunResult Run(std::initializer_list<std::string> args) const { return RunCli(args); }
    Bytes Content() const { return ReadFileBytes(FFile); }

    fs::path FFolder;
    std::string FFile;
};

} // namespace Pictavo::Cli::Testing
