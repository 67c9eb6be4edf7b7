// The library's messages, kept in one place.
#pragma once

namespace Kestrix::Exif::Consts {

// Platform errors
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SStreamReadOnly = "Stream is read-only";
inline constexpr const char* SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* SSeekBeforeStart = "Seek before the start of the stream";
inline constexpr const char* SRangeError = "Range check error";
inline constexpr const char* SListIndexError = "List index out of bounds (%lld)";
inline constexpr const char* SAssertionFailed = "Assertion failure";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SInvalidFloat = "'%s' is not a valid floating point value";
inline constexpr const char* SInvalidDate = "'%s' is not a valid date";
inline constexpr const char* SDateEncodeError = "Invalid argument to date encode";
inline constexpr const char* STimeEncodeError = "Invalid argument to time encode";
inline constexpr const char* SUnknownProperty = "Property %s does not exist";
inline constexpr const char* SInvalidPropertyType = "Invalid property type: %s";
inline constexpr const char* SInvalidPropertyElement = "Invalid property element: %s";
inline constexpr const char* SReadOnlyProperty = "Property %s is read-only";
inline constexpr const char* SInvalidPropertyValue = "'%s' is not a valid value for property %s";
inline constexpr const char* SIntfCastError = "Interface not supported";

// File-system errors
inline constexpr const char* SReadPermissionsError = "Cannot read the permissions of \"%s\". %s";
inline constexpr const char* SSetPermissionsError = "Cannot set the permissions of \"%s\". %s";
inline constexpr const char* SReplaceFileError = "Cannot replace \"%s\". %s";

// Library errors
inline constexpr const char* SUnsupportedGraphicFormat = "Unsupported graphic format";
inline constexpr const char* SInvalidJPEGHeader = "JPEG header is not valid";
inline constexpr const char* SInvalidPSDHeader = "Photoshop (PSD) file header is not valid";
inline constexpr const char* SInvalidTiffData = "Invalid TIFF data";
inline constexpr const char* STagAlreadyExists = "Tag with ID of \"%d\" already exists in section";
inline constexpr const char* SNotOnlyASCIIError = "Tag may contain only ASCII string data";
inline constexpr const char* SInvalidMakerNoteFormat = "Invalid MakerNote format";
inline constexpr const char* SIllegalEditOfExifData =
    "Illegal attempt to edit the Exif data in such a way that it would change the file structure";
inline constexpr const char* SInvalidXMPPacket = "XMP packet is not valid";
inline constexpr const char* SJPEGSegmentTooLarge =
    "JPEG segment data is too large (at most 65533 bytes fit in one segment)";
inline constexpr const char* STagsOnlyDuringAddTagsToWrite =
    "Tags can only be added during AddTagsToWrite";

} // namespace Kestrix::Exif::Consts
