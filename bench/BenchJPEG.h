// Synthetic camera-style JPEGs for the benchmarks.
#pragma once

#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <vector>

namespace Kestrix::Exif::Bench {

using Bytes = std::vector<std::uint8_t>;

inline void AppendSegment(Bytes& out, std::uint8_t marker, std::size_t dataSize,
                          std::uint8_t fill) {
    const auto length = static_cast<std::uint16_t>(dataSize + 2);
    out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF)});
    out.insert(out.end(), dataSize, fill);
}

// SOI, APP0, an Exif APP1, an XMP APP1, DQT, SOS and `scanSize` bytes of
// entropy-coded data (every FF stuffed with 00), then EOI.
inline Bytes MakeJPEG(std::size_t scanSize) {
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

} // namespace Kestrix::Exif::Bench
