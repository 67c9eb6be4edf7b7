// Pieces shared by the files of the TIFF rewrite.
#pragma once

#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <map>
#include <span>
#include <utility>

namespace Kestrix::Exif {

// What one rewrite keeps track of across its directories.
//
// It bounds what the rewrite takes over from its inputs: directory entry
// tables, out-of-line tag data and image blocks. In a sound TIFF these do not
// overlap, so together they come to no more than the input's own bytes; a
// hostile file whose entries all point at the same large block would otherwise
// make the output grow with the square of its size.
//
// It also knows the directories taken over so far. A single LONG value that
// leads to a directory of the main chain (a page's RowsPerStrip of 8 when IFD0
// starts at 8, say), or to a sub-directory first reached through a pointer of
// another ID, is an ordinary number: rebuilding the directory there would
// replace the number with an offset. Pages that share one sub-directory
// through the same pointer tag each get their own copy.
class TTiffRewriteContext {
public:
    // EInvalidTiffData once more than twice the largest input's bytes (and a
    // little slack for tiny inputs) have been taken over.
    void Charge(ITiffParser& parser, std::int64_t bytes);
    // Records a directory of the main chain.
    void ClaimMainDirectory(const IFoundTiffDirectory& directory);
    // False when the sub-directory reached through pointer tag `pointerID`
    // is a main-chain directory or was reached through another pointer ID.
    bool TryClaimSubDirectory(const IFoundTiffDirectory& directory, TTiffTagID pointerID);

private:
    std::int64_t FTaken = 0;
    std::int64_t FLimit = 0;
    // Where each directory was reached from: a pointer tag ID, or -1 for the
    // main chain.
    std::map<std::pair<const ITiffParser*, std::int64_t>, std::int32_t> FDirectories;
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
