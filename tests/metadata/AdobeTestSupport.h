// Byte fixtures for Adobe resource blocks and PSD files.
#pragma once

#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace Kestrix::Exif::AdobeTesting {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Str(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes result;
    for (const auto& part : parts) {
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

inline Bytes BigEndian16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

inline Bytes BigEndian32(std::int64_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

// A resource block laid out by hand, independently of the writer.
inline Bytes ResBlock(std::uint16_t typeID, const Bytes& data, std::string_view name = "",
                      std::string_view signature = "8BIM") {
    Bytes nameBytes = Cat({{static_cast<std::uint8_t>(name.size())}, Str(name)});
    if (nameBytes.size() % 2 != 0) {
        nameBytes.push_back(0);
    }
    Bytes result = Cat({Str(signature), BigEndian16(typeID), nameBytes,
                        BigEndian32(static_cast<std::int64_t>(data.size())), data});
    if (data.size() % 2 != 0) {
        result.push_back(0);
    }
    return result;
}

// One IIM dataset: 2:25 (keywords).
inline Bytes IPTCKeyword(std::string_view keyword) {
    return Cat({{0x1C, 0x02, 0x19},
                BigEndian16(static_cast<std::uint16_t>(keyword.size())),
                Str(keyword)});
}

inline const Bytes TiffHeader{'M', 'M', 0x00, 0x2A, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};
inline const Bytes XMPPacket =
    Str("<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'/>");

// Prefix, the fixed fields, palette, resources, then a layer section and some
// image bytes.
inline Bytes PSDFile(const Bytes& resources, const Bytes& palette = {}, std::uint16_t colorMode = 3,
                     const Bytes& rest = Cat({BigEndian32(0), {0, 0}, Bytes(12, 0x7F)})) {
    return Cat({Str(PSDHeaderPrefix), BigEndian16(3), BigEndian32(5), BigEndian32(7),
                BigEndian16(8), BigEndian16(colorMode),
                BigEndian32(static_cast<std::int64_t>(palette.size())), palette,
                BigEndian32(static_cast<std::int64_t>(resources.size())), resources, rest});
}

inline Bytes StreamBytes(const TCustomMemoryStream& stream) {
    const auto bytes = stream.GetBytes();
    return {bytes.begin(), bytes.end()};
}

// A data source with fixed bytes, as the containers are for the writers.
class TBytesSource : public IStreamPersistEx {
public:
    explicit TBytesSource(Bytes bytes) : FBytes(std::move(bytes)) {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(FBytes); }
    bool Empty() const override { return FBytes.empty(); }

private:
    Bytes FBytes;
};

} // namespace Kestrix::Exif::AdobeTesting
