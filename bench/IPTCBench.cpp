// The IPTC container on large JPEGs: loading must cost the headers only, and a
// set (load, change, save) about one pass over the file.
#include "BenchJPEG.h"
#include "kestrix/IPTC.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Bench;

namespace {

std::filesystem::path BenchFolder() {
    const auto folder = std::filesystem::temp_directory_path() / "pictavo-bench";
    std::filesystem::create_directories(folder);
    return folder;
}

// A JPEG of `megaBytes` MB whose APP13 carries a caption and ten keywords.
std::string MakeTaggedJPEGFile(std::size_t megaBytes) {
    const auto path = (BenchFolder() / ("tagged-" + std::to_string(megaBytes) + ".jpg")).string();
    const Bytes jpeg = MakeJPEG(megaBytes << 20);
    TMemoryStream(Bytes(jpeg)).SaveToFile(path);
    TIPTCData iptc;
    iptc.SetPropertyText("CaptionOrAbstract", "A long caption for the benchmark image");
    std::vector<std::string> keywords;
    for (int i = 0; i < 10; ++i) {
        keywords.push_back("keyword " + std::to_string(i));
    }
    iptc.SetPropertyStrings("Keywords", keywords);
    iptc.SaveToGraphic(path);
    return path;
}

void BM_LoadIPTCFromJPEGFile(benchmark::State& state) {
    const std::string path = MakeTaggedJPEGFile(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        TIPTCData iptc;
        iptc.LoadFromGraphic(path);
        benchmark::DoNotOptimize(iptc.GetPropertyStrings("Keywords"));
    }
}
BENCHMARK(BM_LoadIPTCFromJPEGFile)->Arg(1)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_SetIPTCInJPEGFile(benchmark::State& state) {
    const std::string path = MakeTaggedJPEGFile(static_cast<std::size_t>(state.range(0)));
    int round = 0;
    for (auto _ : state) {
        TIPTCData iptc;
        iptc.LoadFromGraphic(path);
        iptc.SetPropertyText("City", "City " + std::to_string(++round));
        iptc.SaveToGraphic(path);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_SetIPTCInJPEGFile)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

// The yardstick for a set: read the whole file and write it to a new one.
void BM_CopyFile(benchmark::State& state) {
    const std::string path = MakeTaggedJPEGFile(static_cast<std::size_t>(state.range(0)));
    const std::string copy = path + ".copy";
    for (auto _ : state) {
        TMemoryStream bytes;
        bytes.LoadFromFile(path);
        bytes.SaveToFile(copy);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_CopyFile)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
