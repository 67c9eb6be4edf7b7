// The JPEG scanner and ReplaceJPEGApp1Blocks on large in-memory images: the
// header scan must cost the headers only, the rebuild about one memory copy.
#include "kestrix/BaseUtils.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace Kestrix::Exif;

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendSegment(Bytes& out, std::uint8_t marker, std::size_t dataSize, std::uint8_t fill) {
    const auto length = static_cast<std::uint16_t>(dataSize + 2);
    out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF)});
    out.insert(out.end(), dataSize, fill);
}

// SOI, APP0, an Exif APP1, an XMP APP1, DQT, SOS and `scanSize` bytes of
// entropy-coded data (every FF stuffed with 00), then EOI.
Bytes MakeJPEG(std::size_t scanSize) {
    Bytes jpeg{0xFF, 0xD8};
    AppendSegment(jpeg, jmApp0, 14, 0);
    Bytes exif(ExifHeader.begin(), ExifHeader.end());
    exif.insert(exif.end(), {'M', 'M', 0, 0x2A, 0, 0, 0, 8});
    exif.resize(8000, 0);
    jpeg.insert(jpeg.end(), {0xFF, jmApp1, static_cast<std::uint8_t>((exif.size() + 2) >> 8),
                             static_cast<std::uint8_t>((exif.size() + 2) & 0xFF)});
    jpeg.insert(jpeg.end(), exif.begin(), exif.end());
    AppendSegment(jpeg, jmApp1, 4000, ' ');
    AppendSegment(jpeg, 0xDB, 130, 0x10);
    AppendSegment(jpeg, jmSOS, 10, 0);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < scanSize; ++i) {
        state = state * 1664525u + 1013904223u;
        const auto byte = static_cast<std::uint8_t>(state >> 24);
        jpeg.push_back(byte);
        if (byte == 0xFF) {
            jpeg.push_back(0x00);
            ++i;
        }
    }
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

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
