// The JPEG scanner and ReplaceJPEGApp1Blocks on large in-memory images: the
// header scan must cost the headers only, the rebuild about one memory copy.
#include "BenchJPEG.h"
#include "kestrix/BaseUtils.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace Kestrix::Exif;

namespace {

using namespace Kestrix::Exif::Bench;

class TNewExif : public IStreamPersistEx {
public:
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(FTiff); }
    bool Empty() const override { return false; }

private:
    Bytes FTiff = Bytes{'I', 'I', 0x2A, 0, 8, 0, 0, 0, 0, 0};
};

std::size_t MegaBytes(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(0)) << 20;
}

void BM_ScanForApp1(benchmark::State& state) {
    const Bytes jpeg = MakeJPEG(MegaBytes(state));
    TUserMemoryStream stream(jpeg.data(), jpeg.size());
    for (auto _ : state) {
        stream.SetPosition(0);
        int count = 0;
        for (const auto& segment : ParseJPEGSegments(stream, {jmApp1})) {
            count += segment->IsExifBlock() ? 1 : 0;
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_ScanForApp1)->Arg(1)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_GetJPEGImageSize(benchmark::State& state) {
    const Bytes jpeg = MakeJPEG(MegaBytes(state));
    TUserMemoryStream stream(jpeg.data(), jpeg.size());
    for (auto _ : state) {
        stream.SetPosition(0);
        benchmark::DoNotOptimize(GetJPEGImageSize(stream));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(jpeg.size()));
}
BENCHMARK(BM_GetJPEGImageSize)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_ReplaceJPEGApp1Blocks(benchmark::State& state) {
    const Bytes jpeg = MakeJPEG(MegaBytes(state));
    TUserMemoryStream input(jpeg.data(), jpeg.size());
    TNewExif exif;
    for (auto _ : state) {
        input.SetPosition(0);
        TMemoryStream output;
        ReplaceJPEGApp1Blocks(input, output, &exif, nullptr);
        benchmark::DoNotOptimize(output.GetMemory());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(jpeg.size()));
}
BENCHMARK(BM_ReplaceJPEGApp1Blocks)->Arg(20)->Unit(benchmark::kMillisecond);

// The yardstick: one copy of the file into a fresh buffer.
void BM_MemoryCopy(benchmark::State& state) {
    const Bytes jpeg = MakeJPEG(MegaBytes(state));
    for (auto _ : state) {
        Bytes copy(jpeg.size());
        std::memcpy(copy.data(), jpeg.data(), jpeg.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(jpeg.size()));
}
BENCHMARK(BM_MemoryCopy)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
