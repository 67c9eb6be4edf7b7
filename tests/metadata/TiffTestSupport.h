// Builds TIFF byte structures for tests, in either byte order.
#pragma once

#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace TiffTestSupport {

using namespace Kestrix::Exif;

class TTiffBytes {
public:
    explicit TTiffBytes(TEndianness endianness = TEndianness::SmallEndian)
        : FEndianness(endianness) {}

    // "II"/"MM", 42 and the first IFD offset.
    TTiffBytes& Header(std::uint32_t firstOffset = 8) {
        const bool big = FEndianness == TEndianness::BigEndian;
        Byte(big ? 'M' : 'I').Byte(big ? 'M' : 'I').Word(42).Long(firstOffset);
        return *this;
    }
    TTiffBytes& Byte(std::uint8_t value) {
        FBytes.push_back(value);
        return *this;
    }
    TTiffBytes& Bytes(std::initializer_list<std::uint8_t> values) {
        FBytes.insert(FBytes.end(), values);
        return *this;
    }
    TTiffBytes& Word(std::uint16_t value) {
        return FEndianness == TEndianness::BigEndian ? Byte(value >> 8).Byte(value & 0xFF)
                                                     : Byte(value & 0xFF).Byte(value >> 8);
    }
    TTiffBytes& Long(std::uint32_t value) {
        return FEndianness == TEndianness::BigEndian ? Word(value >> 16).Word(value & 0xFFFF)
                                                     : Word(value & 0xFFFF).Word(value >> 16);
    }
    // A 12-byte entry whose value field holds `value` as a 32-bit number.
    TTiffBytes& Entry(std::uint16_t id, std::uint16_t type, std::uint32_t count,
                      std::uint32_t value) {
        return Word(id).Word(type).Long(count).Long(value);
    }
    // An entry with an inline SHORT value (left-justified).
    TTiffBytes& ShortEntry(std::uint16_t id, std::uint16_t value) {
        return Word(id).Word(3).Long(1).Word(value).Word(0);
    }
    TTiffBytes& Zeros(std::size_t count) {
        FBytes.insert(FBytes.end(), count, 0);
        return *this;
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(FBytes.size()); }
    const std::vector<std::uint8_t>& Get() const { return FBytes; }

private:
    TEndianness FEndianness;
    std::vector<std::uint8_t> FBytes;
};

// A memory stream holding the bytes, positioned at 0.
inline std::unique_ptr<TMemoryStream> StreamOf(const TTiffBytes& bytes) {
    return std::make_unique<TMemoryStream>(bytes.Get());
}

} // namespace TiffTestSupport
