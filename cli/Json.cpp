#include "Json.h"

#include "kestrix/Text.h"

namespace Pictavo::Cli {

std::string JsonQuote(std::string_view text) {
    const std::string valid = Kestrix::Exif::SanitizeUTF8(text);
    std::string result = "\"";
    for (const char c : valid) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                result += Kestrix::Exif::Format("\\u%04x", static_cast<unsigned>(c));
            } else {
                result += c;
            }
        }
    }
    result += '"';
    return result;
}

} // namespace Pictavo::Cli
