// Numbers and text on a byte stream in either byte order. The Try readers never
// raise: on a short read they put the position back and return false.
#pragma once

#include "kestrix/Platform.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace Kestrix::Exif {

enum class TEndianness : std::uint8_t { SmallEndian = 0, BigEndian = 1 };

constexpr std::uint16_t SwapWord(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}
constexpr std::uint32_t SwapLongWord(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}
constexpr std::int32_t SwapLongInt(std::int32_t value) {
    return static_cast<std::int32_t>(SwapLongWord(static_cast<std::uint32_t>(value)));
}
double SwapDouble(double value);

// Raises EReadError "Stream read error" at the end of the stream.
std::uint8_t ReadByte(TStream& stream);
bool TryReadBuffer(TStream& stream, void* buffer, std::size_t count);
bool TryReadWord(TStream& stream, TEndianness endianness, std::uint16_t& value);
bool TryReadLongInt(TStream& stream, TEndianness endianness, std::int32_t& value);
bool TryReadLongWord(TStream& stream, TEndianness endianness, std::uint32_t& value);
// Raises EReadError on a short read.
double ReadDouble(TStream& stream, TEndianness endianness);
// True only when all of `signature` (1 to 255 bytes) was read and matched. The
// position moves back when they differ or when `restore` is set.
bool MatchHeader(TStream& stream, std::span<const std::uint8_t> signature, bool restore);
bool MatchHeader(TStream& stream, std::string_view signature, bool restore);

// Writers write all their bytes or raise EWriteError.
void WriteWord(TStream& stream, std::uint16_t value, TEndianness endianness);
void WriteLongWord(TStream& stream, std::uint32_t value, TEndianness endianness);
void WriteLongInt(TStream& stream, std::int32_t value, TEndianness endianness);
void WriteDouble(TStream& stream, TEndianness endianness, double value);
// UTF-16 code units of the UTF-8 text, no byte-order mark and no terminator.
void WriteUTF16(TStream& stream, std::string_view text, bool bigEndian);
void WriteBytes(TStream& stream, std::string_view bytes);
template <typename... Args>
void WriteUTF8Format(TStream& stream, const char* format, const Args&... args) {
    WriteBytes(stream, Format(format, args...));
}

} // namespace Kestrix::Exif
