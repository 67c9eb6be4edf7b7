// The dump command: a listing of an image's structure for people, one item a
// line, nested blocks indented under what carries them. Damage is reported in
// the listing where it is found and the listing goes on where it can.
#pragma once

#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace Pictavo::Cli {

// Nested listings start with this many more spaces.
inline constexpr int DumpIndentStep = 2;

// Raises EUnsupportedGraphicFormat for anything but JPEG, PSD and TIFF.
void DumpGraphic(Kestrix::Exif::TStream& stream, std::ostream& out);

void DumpJPEG(Kestrix::Exif::TStream& stream, std::ostream& out);
void DumpPSD(Kestrix::Exif::TStream& stream, std::ostream& out);
// The TIFF structure whose header is at the stream's position; offsets are
// listed as the structure counts them, from its header. `where` tells the
// reader where that header is ("at file offset 30").
void DumpTiff(Kestrix::Exif::TStream& stream, std::ostream& out, int indent,
              const std::string& where);
// Resource blocks of a PSD file or an Adobe APP13 segment.
void DumpAdobeBlocks(Kestrix::Exif::IAdobeResBlockEnumerator& blocks, std::ostream& out,
                     int indent);
// A run of IIM datasets.
void DumpIPTC(std::span<const std::uint8_t> bytes, std::ostream& out, int indent);

// Short renderings of values for one line of the listing.
std::string Indent(int indent);
// Quoted, control characters escaped as \n, \xHH..., cut after `maxChars`
// characters with "..." after the closing quote.
std::string ShortText(std::string_view utf8, std::size_t maxChars = 48);
// Hex pairs separated by spaces, cut after `maxBytes` bytes with "...".
std::string ShortHex(std::span<const std::uint8_t> bytes, std::size_t maxBytes = 16);
// True when every byte is printable ASCII (space included).
bool IsPrintableASCII(std::span<const std::uint8_t> bytes);
// The bytes of a block's data.
std::span<const std::uint8_t> BlockBytes(Kestrix::Exif::IMetadataBlock& block);

} // namespace Pictavo::Cli
