#include "kestrix/StreamHelper.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace Kestrix::Exif {

namespace {

constexpr bool HostIsBigEndian = std::endian::native == std::endian::big;

// Stream numbers are raw bytes; they are swapped when the wanted order is not the host's.
constexpr bool NeedsSwap(TEndianness endianness) {
    return (endianness == TEndianness::BigEndian) != HostIsBigEndian;
}

template <typename T> bool TryReadNumber(TStream& stream, TEndianness endianness, T& value) {
    std::array<std::uint8_t, sizeof(T)> bytes{};
    if (!TryReadBuffer(stream, bytes.data(), bytes.size())) {
        return false;
    }
    if (NeedsSwap(endianness)) {
        std::reverse(bytes.begin(), bytes.end());
    }
    std::memcpy(&value, bytes.data(), sizeof(T));
    return true;
}

template <typename T> void WriteNumber(TStream& stream, T value, TEndianness endianness) {
    std::array<std::uint8_t, sizeof(T)> bytes{};
    std::memcpy(bytes.data(), &value, sizeof(T));
    if (NeedsSwap(endianness)) {
        std::reverse(bytes.begin(), bytes.end());
    }
    stream.WriteBuffer(bytes.data(), bytes.size());
}

} // namespace

double SwapDouble(double value) {
    std::array<std::uint8_t, sizeof(double)> bytes{};
    std::memcpy(bytes.data(), &value, sizeof(double));
    std::reverse(bytes.begin(), bytes.end());
    std::memcpy(&value, bytes.data(), sizeof(double));
    return value;
}

std::uint8_t ReadByte(TStream& stream) {
    std::uint8_t value = 0;
    stream.ReadBuffer(&value, 1);
    return value;
}

bool TryReadBuffer(TStream& stream, void* buffer, std::size_t count) {
    const std::size_t read = stream.Read(buffer, count);
    if (read == count) {
        return true;
    }
    stream.Seek(-static_cast<std::int64_t>(read), TSeekOrigin::soCurrent);
    return false;
}

bool TryReadWord(TStream& stream, TEndianness endianness, std::uint16_t& value) {
    return TryReadNumber(stream, endianness, value);
}

bool TryReadLongInt(TStream& stream, TEndianness endianness, std::int32_t& value) {
    return TryReadNumber(stream, endianness, value);
}

bool TryReadLongWord(TStream& stream, TEndianness endianness, std::uint32_t& value) {
    return TryReadNumber(stream, endianness, value);
}

double ReadDouble(TStream& stream, TEndianness endianness) {
    double value = 0;
    if (!TryReadNumber(stream, endianness, value)) {
        throw EReadError();
    }
    return value;
}

bool MatchHeader(TStream& stream, std::span<const std::uint8_t> signature, bool restore) {
    std::array<std::uint8_t, 255> buffer{};
    const std::size_t length = std::min<std::size_t>(signature.size(), buffer.size());
    const std::size_t read = stream.Read(buffer.data(), length);
    const bool matched =
        read == signature.size() && std::memcmp(buffer.data(), signature.data(), length) == 0;
    if (!matched || restore) {
        stream.Seek(-static_cast<std::int64_t>(read), TSeekOrigin::soCurrent);
    }
    return matched;
}

bool MatchHeader(TStream& stream, std::string_view signature, bool restore) {
    return MatchHeader(
        stream,
        std::span(reinterpret_cast<const std::uint8_t*>(signature.data()), signature.size()),
        restore);
}

void WriteWord(TStream& stream, std::uint16_t value, TEndianness endianness) {
    WriteNumber(stream, value, endianness);
}

void WriteLongWord(TStream& stream, std::uint32_t value, TEndianness endianness) {
    WriteNumber(stream, value, endianness);
}

void WriteLongInt(TStream& stream, std::int32_t value, TEndianness endianness) {
    WriteNumber(stream, value, endianness);
}

void WriteDouble(TStream& stream, TEndianness endianness, double value) {
    WriteNumber(stream, value, endianness);
}

void WriteUTF16(TStream& stream, std::string_view text, bool bigEndian) {
    const std::u16string units = UTF8ToUTF16(text);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        const auto high = static_cast<std::uint8_t>(unit >> 8);
        const auto low = static_cast<std::uint8_t>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    stream.WriteBuffer(bytes.data(), bytes.size());
}

void WriteBytes(TStream& stream, std::string_view bytes) {
    stream.WriteBuffer(bytes.data(), bytes.size());
}

} // namespace Kestrix::Exif
