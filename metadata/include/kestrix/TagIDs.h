// Tag IDs the library refers to by name.
#pragma once

#include <cstdint>

namespace Kestrix::Exif::TagIDs {

// Image structure (TIFF 6.0)
inline constexpr std::uint16_t ttImageWidth = 0x0100;
inline constexpr std::uint16_t ttImageHeight = 0x0101;
inline constexpr std::uint16_t ttStripOffsets = 0x0111;
inline constexpr std::uint16_t ttStripByteCounts = 0x0117;
inline constexpr std::uint16_t ttTileOffsets = 0x0144;
inline constexpr std::uint16_t ttTileByteCounts = 0x0145;
inline constexpr std::uint16_t ttJPEGInterchangeFormat = 0x0201;       // thumbnail offset
inline constexpr std::uint16_t ttJPEGInterchangeFormatLength = 0x0202; // thumbnail length

// Metadata carried in IFD0
inline constexpr std::uint16_t ttXMP = 0x02BC;
inline constexpr std::uint16_t ttIPTC = 0x83BB;

// Sub-directory pointers
inline constexpr std::uint16_t ttExifOffset = 0x8769;
inline constexpr std::uint16_t ttGPSOffset = 0x8825;
inline constexpr std::uint16_t ttInteropOffset = 0xA005;

// EXIF image dimensions
inline constexpr std::uint16_t ttExifImageWidth = 0xA002;
inline constexpr std::uint16_t ttExifImageHeight = 0xA003;

// Maker note (EXIF sub-directory) and how far a writer moved it
inline constexpr std::uint16_t ttMakerNote = 0x927C;
inline constexpr std::uint16_t ttOffsetSchema = 0xEA1D;

} // namespace Kestrix::Exif::TagIDs
