#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Kestrix::Exif {

namespace {

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// Hexadecimal text ("$FF", "0xFF") is a bit pattern of the target's width, so
// "$FFFFFFFF" is -1 as a 32-bit integer.
template <typename T> std::optional<T> ParseInteger(std::string_view text) {
    using Unsigned = std::make_unsigned_t<T>;
    text = TrimView(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    Unsigned magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (base == 16) {
        const auto value = static_cast<T>(magnitude);
        return negative ? static_cast<T>(Unsigned(0) - static_cast<Unsigned>(value)) : value;
    }
    const auto limit = static_cast<Unsigned>(std::numeric_limits<T>::max());
    if (negative) {
        if (magnitude > limit + 1) {
            return std::nullopt;
        }
        return static_cast<T>(Unsigned(0) - magnitude);
    }
    if (magnitude > limit) {
        return std::nullopt;
    }
    return static_cast<T>(magnitude);
}

} // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    return ParseInteger<std::int32_t>(text);
}
std::optional<std::int64_t> TryStrToInt64(std::string_view text) {
    return ParseInteger<std::int64_t>(text);
}

std::int32_t StrToInt(std::string_view text) {
    if (const auto value = TryStrToInt(text)) {
        return *value;
    }
    throw EConvertError(Format(Consts::SInvalidInteger, std::string(text)));
}

std::int64_t StrToInt64(std::string_view text) {
    if (const auto value = TryStrToInt64(text)) {
        return *value;
    }
    throw EConvertError(Format(Consts::SInvalidInteger, std::string(text)));
}

std::optional<double> TryStrToFloat(std::string_view text) {
    text = TrimView(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

double StrToFloat(std::string_view text) {
    if (const auto value = TryStrToFloat(text)) {
        return *value;
    }
    throw EConvertError(Format(Consts::SInvalidFloat, std::string(text)));
}

// The general format with 15 significant digits: fixed notation unless the
// integer part needs more than 15 digits or the value is below 0.00001, then
// "d.dddE[-]x" with no plus sign and no leading zeros in the exponent.
std::string FloatToStr(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0) {
        return "0";
    }
    const std::string scientific = Format("%.14E", value); // [-]d.ddddddddddddddE[+-]xx
    const std::size_t ePos = scientific.find('E');
    const int exponent = std::atoi(scientific.c_str() + ePos + 1);
    const bool negative = value < 0;
    std::string digits = scientific.substr(negative ? 1 : 0, ePos - (negative ? 1 : 0));
    digits.erase(1, 1); // the decimal point
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string result = negative ? "-" : "";
    if (exponent >= 15 || std::fabs(value) < 0.00001) {
        result += digits.substr(0, 1);
        if (digits.size() > 1) {
            result += DecimalSeparator + digits.substr(1);
        }
        return result + "E" + std::to_string(exponent);
    }
    if (exponent < 0) {
        return result + "0" + DecimalSeparator +
               std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= integerDigits) {
        return result + digits + std::string(integerDigits - digits.size(), '0');
    }
    return result + digits.substr(0, integerDigits) + DecimalSeparator +
           digits.substr(integerDigits);
}

} // namespace Kestrix::Exif
