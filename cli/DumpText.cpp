#include "Dump.h"
#include "kestrix/Text.h"

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

std::string Indent(int indent) {
    return std::string(static_cast<std::size_t>(std::max(indent, 0)), ' ');
}

std::string ShortText(std::string_view utf8, std::size_t maxChars) {
    const std::string valid = SanitizeUTF8(utf8);
    std::string result = "\"";
    std::size_t chars = 0;
    std::size_t i = 0;
    for (; i < valid.size() && chars < maxChars; ++chars) {
        const auto byte = static_cast<unsigned char>(valid[i]);
        if (byte == '\n') {
            result += "\\n";
        } else if (byte == '\r') {
            result += "\\r";
        } else if (byte == '\t') {
            result += "\\t";
        } else if (byte == '"' || byte == '\\') {
            result += '\\';
            result += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            result += Format("\\x%02X", static_cast<unsigned>(byte));
        }
        if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') {
            ++i;
            continue;
        }
        // One whole UTF-8 sequence: the lead byte and its continuation bytes.
        std::size_t end = i + 1;
        while (end < valid.size() && (static_cast<unsigned char>(valid[end]) & 0xC0) == 0x80) {
            ++end;
        }
        result.append(valid, i, end - i);
        i = end;
    }
    result += '"';
    if (i < valid.size()) {
        result += "...";
    }
    return result;
}

std::string ShortHex(std::span<const std::uint8_t> bytes, std::size_t maxBytes) {
    std::string result;
    const std::size_t shown = std::min(bytes.size(), maxBytes);
    for (std::size_t i = 0; i < shown; ++i) {
        result += Format(i == 0 ? "%02X" : " %02X", static_cast<unsigned>(bytes[i]));
    }
    if (shown < bytes.size()) {
        result += " ...";
    }
    return result;
}

bool IsPrintableASCII(std::span<const std::uint8_t> bytes) {
    return std::ranges::all_of(bytes, [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
}

std::span<const std::uint8_t> BlockBytes(IMetadataBlock& block) {
    return block.GetData().GetBytes();
}

} // namespace Pictavo::Cli
