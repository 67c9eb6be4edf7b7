#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

std::string UTF8BytesToText(const void* buffer, std::size_t count) {
    if (count == 0) {
        return {};
    }
    return SanitizeUTF8(std::string_view(static_cast<const char*>(buffer), count));
}

std::string BytesToHex(const void* buffer, std::size_t count) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::string result(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        result[2 * i] = Digits[bytes[i] >> 4];
        result[2 * i + 1] = Digits[bytes[i] & 0x0F];
    }
    return result;
}

} // namespace Kestrix::Exif
