#include "kestrix/Text.h"

#include <array>

namespace Kestrix::Exif {

namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

// Decodes one code point from the front of `bytes`, which must not be empty.
// An invalid sequence consumes its maximal subpart (at least one byte) and
// yields U+FFFD, as Unicode recommends, so decoding always advances.
char32_t DecodeOne(std::string_view bytes, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    length = 1;
    if (lead < 0x80) {
        return lead;
    }
    std::size_t needed = 0;
    char32_t codePoint = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return ReplacementCharacter;
    }
    for (std::size_t i = 1; i <= needed; ++i) {
        if (i >= bytes.size()) {
            return ReplacementCharacter;
        }
        const unsigned char next = byte(i);
        if (next < low || next > high) {
            return ReplacementCharacter;
        }
        low = 0x80;
        high = 0xBF;
        codePoint = (codePoint << 6) | (next & 0x3F);
        length = i + 1;
    }
    return codePoint;
}

void AppendUTF8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

template <typename Visit> void ForEachCodePoint(std::string_view text, Visit visit) {
    while (!text.empty()) {
        std::size_t length = 0;
        visit(DecodeOne(text, length));
        text.remove_prefix(length);
    }
}

// Windows-1252 bytes 0x80..0x9F; the five undefined ones map to themselves.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t AnsiToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return Cp1252High[byte - 0x80];
    }
    return byte;
}

char CodePointToAnsi(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<char>(codePoint);
    }
    for (std::size_t i = 0; i < Cp1252High.size(); ++i) {
        if (Cp1252High[i] == codePoint) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::u16string UTF8ToUTF16(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t codePoint) {
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            result += static_cast<char16_t>(0xD800 + (codePoint >> 10));
            result += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            result += static_cast<char16_t>(codePoint);
        }
    });
    return result;
}

std::string UTF16ToUTF8(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUTF8(result,
                       0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUTF8(result, ReplacementCharacter);
        } else {
            AppendUTF8(result, unit);
        }
    }
    return result;
}

bool IsValidUTF8(std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t length = 0;
        if (DecodeOne(bytes, length) == ReplacementCharacter &&
            bytes.substr(0, 3) != "\xEF\xBF\xBD") {
            return false;
        }
        bytes.remove_prefix(length);
    }
    return true;
}

std::string SanitizeUTF8(std::string_view bytes) {
    if (IsValidUTF8(bytes)) {
        return std::string(bytes);
    }
    std::string result;
    result.reserve(bytes.size() + 8);
    ForEachCodePoint(bytes, [&](char32_t codePoint) { AppendUTF8(result, codePoint); });
    return result;
}

std::string UTF8ToAnsi(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t codePoint) { result += CodePointToAnsi(codePoint); });
    return result;
}

std::string AnsiToUTF8(std::string_view bytes) {
    std::string result;
    result.reserve(bytes.size());
    for (const char byte : bytes) {
        AppendUTF8(result, AnsiToCodePoint(static_cast<unsigned char>(byte)));
    }
    return result;
}

bool IsASCII(std::string_view bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) > 0x7F) {
            return false;
        }
    }
    return true;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

std::string Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace Kestrix::Exif
