// Element access on tag data held in host byte order (library-internal).
#pragma once

#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace Kestrix::Exif::Detail {

template <typename T> T LoadElement(std::span<const std::uint8_t> bytes, std::size_t index) {
    T value;
    std::memcpy(&value, bytes.data() + index * sizeof(T), sizeof(T));
    return value;
}

template <typename T> void StoreElement(std::uint8_t* bytes, std::size_t index, T value) {
    std::memcpy(bytes + index * sizeof(T), &value, sizeof(T));
}

constexpr bool IsIntegerType(TTiffDataType type) {
    switch (type) {
    case TTiffDataType::tdByte:
    case TTiffDataType::tdShort:
    case TTiffDataType::tdLong:
    case TTiffDataType::tdSByte:
    case TTiffDataType::tdSShort:
        return true;
    default:
        return false;
    }
}

// The value of an integer element, signed types sign-extended.
inline std::int64_t LoadIntegerElement(TTiffDataType type, std::span<const std::uint8_t> bytes,
                                       std::size_t index) {
    switch (type) {
    case TTiffDataType::tdByte:
        return LoadElement<std::uint8_t>(bytes, index);
    case TTiffDataType::tdSByte:
        return LoadElement<std::int8_t>(bytes, index);
    case TTiffDataType::tdShort:
        return LoadElement<std::uint16_t>(bytes, index);
    case TTiffDataType::tdSShort:
        return LoadElement<std::int16_t>(bytes, index);
    default:
        return LoadElement<std::uint32_t>(bytes, index);
    }
}

// Stores the low-order bytes that fit an element of the type.
inline void StoreIntegerElement(TTiffDataType type, std::uint8_t* bytes, std::size_t index,
                                std::int64_t value) {
    switch (TiffElementSize(type)) {
    case 1:
        StoreElement(bytes, index, static_cast<std::uint8_t>(value));
        break;
    case 2:
        StoreElement(bytes, index, static_cast<std::uint16_t>(value));
        break;
    default:
        StoreElement(bytes, index, static_cast<std::uint32_t>(value));
        break;
    }
}

// Windows strings: UTF-16 code units, little-endian.
inline std::string UTF16LEBytesToText(std::span<const std::uint8_t> bytes, std::size_t units) {
    std::u16string text(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) {
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return UTF16ToUTF8(text);
}

// With the two-byte terminator.
inline std::vector<std::uint8_t> TextToUTF16LEBytes(std::string_view value) {
    const std::u16string text = UTF8ToUTF16(value);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), 2, 0);
    return bytes;
}

} // namespace Kestrix::Exif::Detail
