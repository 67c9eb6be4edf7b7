#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

TDateTimeTagValue TDateTimeTagValue::CreateFromString(std::string_view text) {
    if (const auto value = TryStrToDateTime(text)) {
        return TDateTimeTagValue(*value);
    }
    return CreateMissingOrInvalid();
}

TLongIntTagValue TLongIntTagValue::CreateFromString(std::string_view text) {
    if (const auto value = TryStrToInt(text)) {
        return TLongIntTagValue(*value);
    }
    return CreateMissingOrInvalid();
}

TLongWordTagValue TLongWordTagValue::CreateFromString(std::string_view text) {
    const auto value = TryStrToInt64(text);
    if (value && *value >= 0 && *value <= 0xFFFFFFFFLL) {
        return TLongWordTagValue(static_cast<std::uint32_t>(*value));
    }
    return CreateMissingOrInvalid();
}

TWordTagValue TWordTagValue::CreateFromString(std::string_view text) {
    const auto value = TryStrToInt(text);
    if (value && *value >= 0 && *value <= 0xFFFF) {
        return TWordTagValue(static_cast<std::uint16_t>(*value));
    }
    return CreateMissingOrInvalid();
}

} // namespace Kestrix::Exif
