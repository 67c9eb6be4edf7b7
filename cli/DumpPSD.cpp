#include "Dump.h"
#include "kestrix/Text.h"

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

std::string ColorModeName(TAdobeColorMode mode) {
    static constexpr const char* names[] = {"monochrome", "grayscale",    "indexed",  "RGB",
                                            "CMYK",       "multichannel", "halftone", "Lab"};
    const auto code = static_cast<std::uint16_t>(mode);
    return code < std::size(names) ? names[code] : Format("colour mode %u", code);
}

std::string ResourceContents(IAdobeResBlock& block) {
    switch (block.GetTypeID()) {
    case AdobeResIPTC:
        return "IPTC";
    case AdobeResExif:
        return "Exif";
    case AdobeResXMP:
        return "XMP packet";
    default:
        return "";
    }
}

} // namespace

void DumpAdobeBlocks(IAdobeResBlockEnumerator& blocks, std::ostream& out, int indent) {
    out << Indent(indent) << "ID              name              data bytes  contents\n";
    for (const std::shared_ptr<IAdobeResBlock>& block : blocks) {
        const std::span<const std::uint8_t> data = BlockBytes(*block);
        out << Indent(indent)
            << Format("0x%04X (%5u)  %-16s  %10zu", static_cast<unsigned>(block->GetTypeID()),
                      static_cast<unsigned>(block->GetTypeID()),
                      ShortText(AnsiToUTF8(block->GetName()), 14), data.size());
        std::string contents = ResourceContents(*block);
        if (!block->GetLoadedCleanly()) {
            contents += contents.empty() ? "block cut short" : ", block cut short";
        }
        out << (contents.empty() ? "" : "  ") << contents << '\n';
        if (block->GetTypeID() == AdobeResIPTC) {
            DumpIPTC(data, out, indent + DumpIndentStep);
        } else if (block->GetTypeID() == AdobeResExif) {
            TUserMemoryStream tiff(data);
            DumpTiff(tiff, out, indent + DumpIndentStep, "in this resource");
        }
    }
}

void DumpPSD(TStream& stream, std::ostream& out) {
    TPSDInfo info;
    const std::shared_ptr<IAdobeResBlockParser> parser = ParsePSDResources(stream, info);
    const TPSDHeaderInfo& header = info.Header;
    out << Format("PSD header: %d x %d, %u channels, %u-bit, ", header.Width, header.Height,
                  static_cast<unsigned>(header.Channels), static_cast<unsigned>(header.Depth))
        << ColorModeName(header.ColorMode)
        << Format(", colour mode data %zu bytes\n", header.PaletteData.size())
        << Format("Image resources (section at %lld, %lld bytes):\n",
                  static_cast<long long>(info.GetResourceSectionOffset()),
                  static_cast<long long>(info.ResourceSectionSize));
    try {
        DumpAdobeBlocks(parser->GetEnumerator(), out, 2);
    } catch (const std::exception& error) {
        out << "  resource list stopped: " << error.what() << '\n';
    }
    out << Format("Layer and mask section at %lld, %lld bytes\n",
                  static_cast<long long>(info.GetLayersSectionOffset()),
                  static_cast<long long>(info.LayersSectionSize));
}

} // namespace Pictavo::Cli
