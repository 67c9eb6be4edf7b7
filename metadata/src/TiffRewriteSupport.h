// Pieces shared by the files of the TIFF rewrite.
#pragma once

#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <span>

namespace Kestrix::Exif {

// Bounds what one rewrite takes over from its inputs: directory entry tables,
// out-of-line tag data and image blocks. In a sound TIFF these do not overlap,
// so together they come to no more than the input's own bytes; a hostile file
// whose entries all point at the same large block, or whose sub-directories
// share each other's pointers, would otherwise make the output grow with the
// square of its size or worse.
class TTiffCopyBudget {
public:
    // EInvalidTiffData once more than twice the largest input's bytes (and a
    // little slack for tiny inputs) have been taken over.
    void Charge(ITiffParser& parser, std::int64_t bytes);

private:
    std::int64_t FTaken = 0;
    std::int64_t FLimit = 0;
};

// Bytes of the structure from the parser's base position to the stream's end.
std::int64_t TiffInputLength(ITiffParser& parser);

// Writes elements held in host byte order in the given byte order: 16-bit types
// as 16-bit numbers, DOUBLE as 64-bit, the other 4- and 8-byte types as 32-bit
// numbers (each half of a rational on its own), bytes as they are.
void WriteTiffElements(TStream& stream, TEndianness endianness, TTiffDataType dataType,
                       std::span<const std::uint8_t> hostData);

// Zero bytes up to `size`, after `written` bytes of a value.
void WriteTiffPadding(TStream& stream, std::int64_t written, std::int64_t size);

} // namespace Kestrix::Exif
