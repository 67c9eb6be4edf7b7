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

} // namespace Kestrix::Exif::TagIDs

namespace Kestrix::Exif::TagIDs {

// Main image description (IFD0)
inline constexpr std::uint16_t ttImageDescription = 0x010E;
inline constexpr std::uint16_t ttMake = 0x010F;
inline constexpr std::uint16_t ttModel = 0x0110;
inline constexpr std::uint16_t ttOrientation = 0x0112;
inline constexpr std::uint16_t ttXResolution = 0x011A;
inline constexpr std::uint16_t ttYResolution = 0x011B;
inline constexpr std::uint16_t ttResolutionUnit = 0x0128;
inline constexpr std::uint16_t ttSoftware = 0x0131;
inline constexpr std::uint16_t ttDateTime = 0x0132;
inline constexpr std::uint16_t ttArtist = 0x013B;
inline constexpr std::uint16_t ttWhitePoint = 0x013E;
inline constexpr std::uint16_t ttPrimaryChromaticities = 0x013F;
inline constexpr std::uint16_t ttYCbCrCoefficients = 0x0211;
inline constexpr std::uint16_t ttYCbCrPositioning = 0x0213;
inline constexpr std::uint16_t ttReferenceBlackWhite = 0x0214;
inline constexpr std::uint16_t ttRating = 0x4746;
inline constexpr std::uint16_t ttCopyright = 0x8298;
inline constexpr std::uint16_t ttPrintIM = 0xC4A5;

// Windows strings (UTF-16LE in BYTE tags of IFD0)
inline constexpr std::uint16_t ttWindowsTitle = 0x9C9B;
inline constexpr std::uint16_t ttWindowsComments = 0x9C9C;
inline constexpr std::uint16_t ttWindowsAuthor = 0x9C9D;
inline constexpr std::uint16_t ttWindowsKeywords = 0x9C9E;
inline constexpr std::uint16_t ttWindowsSubject = 0x9C9F;

// Exif sub-directory
inline constexpr std::uint16_t ttExposureTime = 0x829A;
inline constexpr std::uint16_t ttFNumber = 0x829D;
inline constexpr std::uint16_t ttDateTimeOriginal = 0x9003;
inline constexpr std::uint16_t ttDateTimeDigitized = 0x9004;
inline constexpr std::uint16_t ttMakerNote = 0x927C;
inline constexpr std::uint16_t ttSubsecTime = 0x9290;
inline constexpr std::uint16_t ttSubsecTimeOriginal = 0x9291;
inline constexpr std::uint16_t ttSubsecTimeDigitized = 0x9292;

// Padding reserved for in-place edits, and the offset of a moved maker note
inline constexpr std::uint16_t ttPadding = 0xEA1C;
inline constexpr std::uint16_t ttOffsetSchema = 0xEA1D;

} // namespace Kestrix::Exif::TagIDs
