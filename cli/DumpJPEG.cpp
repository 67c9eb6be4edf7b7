#include "Dump.h"
#include "kestrix/Text.h"

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

std::string MarkerName(std::uint8_t marker) {
    switch (marker) {
    case 0xC4:
        return "DHT";
    case 0xC8:
        return "JPG";
    case 0xCC:
        return "DAC";
    case jmSOI:
        return "SOI";
    case jmEOI:
        return "EOI";
    case jmSOS:
        return "SOS";
    case 0xDB:
        return "DQT";
    case 0xDC:
        return "DNL";
    case 0xDD:
        return "DRI";
    case 0xDE:
        return "DHP";
    case 0xDF:
        return "EXP";
    case 0xFE:
        return "COM";
    default:
        break;
    }
    if (marker >= 0xC0 && marker <= 0xCF) {
        return Format("SOF%d", marker - 0xC0);
    }
    if (marker >= 0xD0 && marker <= 0xD7) {
        return Format("RST%d", marker - 0xD0);
    }
    if (marker >= 0xE0 && marker <= 0xEF) {
        return Format("APP%d", marker - 0xE0);
    }
    if (marker >= 0xF0 && marker <= 0xFD) {
        return Format("JPG%d", marker - 0xF0);
    }
    return "";
}

// The NUL-terminated name most APPn segments begin with (JFIF, ICC_PROFILE, ...).
std::string Identifier(std::span<const std::uint8_t> data) {
    const auto end = std::ranges::find(data, 0);
    const std::span<const std::uint8_t> name(data.begin(), end);
    if (end == data.end() || name.empty() || name.size() > 32 || !IsPrintableASCII(name)) {
        return "";
    }
    return {name.begin(), name.end()};
}

std::uint16_t BigEndianWord(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

// SOFn data: precision, height, width, component count.
std::string FrameContents(std::span<const std::uint8_t> data) {
    if (data.size() < 6) {
        return "frame header cut short";
    }
    return Format("%u x %u, %u components, %u-bit", BigEndianWord(data, 3), BigEndianWord(data, 1),
                  static_cast<unsigned>(data[5]), static_cast<unsigned>(data[0]));
}

bool IsFrameMarker(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// What a segment carries, in a few words; empty when there is nothing to say.
std::string SegmentContents(IFoundJPEGSegment& segment) {
    const std::uint8_t marker = segment.GetMarkerNum();
    const std::span<const std::uint8_t> data = BlockBytes(segment);
    if (marker == jmApp1 && segment.IsExifBlock()) {
        return "Exif";
    }
    if (marker == jmApp1 && segment.IsXMPBlock()) {
        return Format("XMP packet, %zu bytes", data.size() - XMPHeader.size());
    }
    if (marker == jmApp13 && segment.IsAdobeApp13()) {
        return "Photoshop image resources";
    }
    if (IsFrameMarker(marker)) {
        return FrameContents(data);
    }
    if (marker == jmSOS) {
        return "entropy-coded image data follows";
    }
    if (marker == 0xFE) {
        return ShortText(AnsiToUTF8({reinterpret_cast<const char*>(data.data()), data.size()}));
    }
    return Identifier(data);
}

void DumpSegmentLine(std::ostream& out, std::int64_t offset, std::uint8_t marker,
                     const std::string& size, const std::string& contents) {
    out << Format("  %10lld  FF%02X %-6s %6s", static_cast<long long>(offset),
                  static_cast<unsigned>(marker), MarkerName(marker), size);
    if (!contents.empty()) {
        out << "  " << contents;
    }
    out << '\n';
}

void DumpSegment(IFoundJPEGSegment& segment, std::ostream& out) {
    const std::uint8_t marker = segment.GetMarkerNum();
    const std::string size =
        IsStandAloneJPEGMarker(marker) ? "-" : std::to_string(segment.GetTotalSize() - 4);
    DumpSegmentLine(out, segment.GetOffset(), marker, size, SegmentContents(segment));
    if (marker == jmApp1 && segment.IsExifBlock()) {
        TUserMemoryStream tiff(BlockBytes(segment));
        tiff.SetPosition(static_cast<std::int64_t>(ExifHeader.size()));
        DumpTiff(tiff, out, 4,
                 Format("at file offset %lld",
                        static_cast<long long>(segment.GetOffsetOfData() +
                                               static_cast<std::int64_t>(ExifHeader.size()))));
    } else if (marker == jmApp13 && segment.IsAdobeApp13()) {
        DumpAdobeBlocks(*segment.GetEnumerator(), out, 4);
    }
}

} // namespace

void DumpJPEG(TStream& stream, std::ostream& out) {
    out << "JPEG segments:\n"
        << "      offset  marker  data bytes  contents\n";
    DumpSegmentLine(out, stream.GetPosition(), jmSOI, "-", "");
    try {
        for (const auto& segment : ParseJPEGSegments(stream, TJPEGMarkers::All())) {
            DumpSegment(*segment, out);
        }
    } catch (const std::exception& error) {
        out << "  segment list stopped: " << error.what() << '\n';
    }
}

} // namespace Pictavo::Cli
