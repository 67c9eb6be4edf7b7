// Small JPEG byte fixtures and stream doubles shared by the segment tests.
#pragma once

#include "kestrix/BaseUtils.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace Kestrix::Exif::Testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes result;
    for (const auto& part : parts) {
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

// FF, marker, length, data.
inline Bytes Segment(std::uint8_t marker, const Bytes& data) {
    const auto length = static_cast<std::uint16_t>(data.size() + 2);
    return Concat({{0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                    static_cast<std::uint8_t>(length & 0xFF)},
                   data});
}

inline const Bytes SOI{0xFF, 0xD8};
inline const Bytes EOI{0xFF, 0xD9};
inline const Bytes TiffHeaderMM{'M', 'M', 0x00, 0x2A, 0, 0, 0, 8};
inline const Bytes TiffHeaderII{'I', 'I', 0x2A, 0x00, 8, 0, 0, 0};

inline Bytes ExifApp1(const Bytes& tiff = TiffHeaderMM) {
    return Segment(0xE1, Concat({ToBytes(ExifHeader), tiff}));
}
inline Bytes
XMPApp1(std::string_view packet = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x/>") {
    return Segment(0xE1, Concat({ToBytes(XMPHeader), ToBytes(packet)}));
}
inline Bytes App0() {
    return Segment(0xE0, ToBytes(std::string_view("JFIF\0\1\1\0\0\1\0\1\0\0", 14)));
}
inline Bytes DQT() {
    return Segment(0xDB, Bytes(65, 0x10));
}
// SOS header, then `scan` as the entropy-coded data.
inline Bytes ScanData(const Bytes& scan) {
    return Concat({Segment(0xDA, {1, 1, 0, 0, 0x3F, 0}), scan});
}

inline Bytes StreamBytes(const TCustomMemoryStream& stream) {
    const auto bytes = stream.GetBytes();
    return {bytes.begin(), bytes.end()};
}

// A stream that is not a memory stream, so the code paths that cannot read a
// buffer in place are taken; it records the furthest byte read.
class TPlainStream : public TStream {
public:
    explicit TPlainStream(Bytes bytes) : FMemory(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = FMemory.Read(buffer, count);
        FFurthestRead = std::max(FFurthestRead, FMemory.GetPosition());
        return n;
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        return FMemory.Write(buffer, count);
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        return FMemory.Seek(offset, origin);
    }
    void SetSize(std::int64_t newSize) override { FMemory.SetSize(newSize); }
    std::int64_t GetFurthestRead() const { return FFurthestRead; }
    Bytes GetContent() const { return StreamBytes(FMemory); }

private:
    TMemoryStream FMemory;
    std::int64_t FFurthestRead = 0;
};

// A source of fixed bytes, as the containers are for the segment writers.
class TBytesSource : public IStreamPersistEx {
public:
    explicit TBytesSource(Bytes bytes) : FBytes(std::move(bytes)) {}
    void LoadFromStream(TStream& stream) override {
        FBytes.resize(static_cast<std::size_t>(stream.BytesLeft()));
        stream.ReadBuffer(FBytes.data(), FBytes.size());
    }
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(FBytes); }
    bool Empty() const override { return FBytes.empty(); }
    const Bytes& GetBytes() const { return FBytes; }

private:
    Bytes FBytes;
};

} // namespace Kestrix::Exif::Testing
