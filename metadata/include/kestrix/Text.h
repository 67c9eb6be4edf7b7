// Text conversions at the system's boundaries. Text is UTF-8 everywhere inside;
// Windows-1252 bytes ("ANSI") appear only where a file format stores them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace Kestrix::Exif {

// Invalid UTF-8 sequences decode to U+FFFD, one per maximal bad subpart.
std::u16string UTF8ToUTF16(std::string_view text);
// Unpaired surrogates encode as U+FFFD.
std::string UTF16ToUTF8(std::u16string_view text);
// Replaces every invalid sequence of `bytes` by U+FFFD; valid UTF-8 comes back unchanged.
std::string SanitizeUTF8(std::string_view bytes);
bool IsValidUTF8(std::string_view bytes);

// Windows-1252. Characters the code page lacks become '?'; the five bytes it
// leaves undefined (81 8D 8F 90 9D) map to the C1 controls of the same value.
std::string UTF8ToAnsi(std::string_view text);
std::string AnsiToUTF8(std::string_view bytes);
bool IsASCII(std::string_view bytes);

// Integer and floating-point text in the invariant locale. Integers accept
// surrounding blanks, a sign, and decimal or hexadecimal ("$1F", "0x1F") digits.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::optional<std::int64_t> TryStrToInt64(std::string_view text);
std::int32_t StrToInt(std::string_view text);   // EConvertError on bad text
std::int64_t StrToInt64(std::string_view text); // EConvertError on bad text
std::optional<double> TryStrToFloat(std::string_view text);
double StrToFloat(std::string_view text); // EConvertError on bad text
// The general form with up to 15 significant digits ("0.1", "1E20", "-2.5").
std::string FloatToStr(double value);
inline constexpr char DecimalSeparator = '.';

std::string LowerCase(std::string_view text); // ASCII letters only
std::string UpperCase(std::string_view text); // ASCII letters only
std::string Trim(std::string_view text);      // drops bytes <= ' ' at both ends

namespace Detail {
template <typename T> decltype(auto) FormatArgument(const T& value) {
    if constexpr (std::is_same_v<T, std::string>) {
        return value.c_str();
    } else {
        return value;
    }
}
} // namespace Detail

// printf-style formatting (the platform's format routine); std::string
// arguments may be passed for %s.
template <typename... Args> std::string Format(const char* format, const Args&... args) {
    const int needed = std::snprintf(nullptr, 0, format, Detail::FormatArgument(args)...);
    if (needed <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(result.data(), result.size(), format, Detail::FormatArgument(args)...);
    result.resize(static_cast<std::size_t>(needed));
    return result;
}

} // namespace Kestrix::Exif
