#include "kestrix/TiffUtils.h"

#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

namespace Kestrix::Exif {

namespace {

constexpr std::int64_t FixedDecimalScale = 10000;

template <typename TPart> TPart CheckedPart(std::int64_t value) {
    if (value < std::numeric_limits<TPart>::min() || value > std::numeric_limits<TPart>::max()) {
        throw ERangeError();
    }
    return static_cast<TPart>(value);
}

std::optional<std::int64_t> ParsePart(std::string_view text, std::uint32_t*) {
    const auto value = TryStrToInt64(text);
    if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> ParsePart(std::string_view text, std::int32_t*) {
    const auto value = TryStrToInt(text);
    if (!value) {
        return std::nullopt;
    }
    return *value;
}

} // namespace

TFixedDecimal TFixedDecimal::FromDouble(double value) {
    const double scaled = std::round(value * static_cast<double>(FixedDecimalScale));
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (!(scaled > -limit && scaled < limit)) {
        throw ERangeError();
    }
    return {static_cast<std::int64_t>(scaled)};
}

template <typename TPart>
TTiffFraction<TPart> TTiffFraction<TPart>::Create(TFixedDecimal quotient) {
    std::int64_t numerator = quotient.Scaled;
    std::int64_t denominator = FixedDecimalScale;
    if (numerator == 0) {
        denominator = 1;
    } else {
        // std::gcd of the magnitudes; INT64_MIN has no magnitude in int64, but
        // it is a multiple of 16 and so shares 16 with 10000.
        const std::int64_t divisor = numerator == std::numeric_limits<std::int64_t>::min()
                                         ? 16
                                         : std::gcd(numerator, denominator);
        numerator /= divisor;
        denominator /= divisor;
    }
    return {CheckedPart<TPart>(numerator), CheckedPart<TPart>(denominator)};
}

template <typename TPart>
TTiffFraction<TPart> TTiffFraction<TPart>::CreateFromString(std::string_view text) {
    const auto slash = text.find('/');
    const std::string_view numeratorText = text.substr(0, slash);
    const auto numerator = ParsePart(numeratorText, static_cast<TPart*>(nullptr));
    std::optional<std::int64_t> denominator = 1;
    if (slash != std::string_view::npos) {
        denominator = ParsePart(text.substr(slash + 1), static_cast<TPart*>(nullptr));
    }
    if (!numerator || !denominator) {
        return {};
    }
    return {static_cast<TPart>(*numerator), static_cast<TPart>(*denominator)};
}

template <typename TPart> std::string TTiffFraction<TPart>::AsString() const {
    if (MissingOrInvalid()) {
        return {};
    }
    const auto numerator = static_cast<std::int64_t>(Numerator);
    if (Denominator == 1) {
        return std::to_string(numerator);
    }
    return std::to_string(numerator) + "/" + std::to_string(static_cast<std::int64_t>(Denominator));
}

template <typename TPart> long double TTiffFraction<TPart>::Quotient() const {
    if (Denominator == 0) {
        return 0;
    }
    return static_cast<long double>(Numerator) / static_cast<long double>(Denominator);
}

template struct TTiffFraction<std::uint32_t>;
template struct TTiffFraction<std::int32_t>;

} // namespace Kestrix::Exif
