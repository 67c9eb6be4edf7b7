// The text form of a tag: comma text of its elements, hexadecimal bytes for
// UNDEFINED data, plain text for ASCII and Windows string tags.
#include "ExifElements.h"
#include "kestrix/Exif.h"

#include <cfloat>
#include <cmath>
#include <optional>
#include <vector>

namespace Kestrix::Exif {

using Detail::LoadElement;
using Detail::TextToUTF16LEBytes;
using Detail::UTF16LEBytesToText;

namespace {

// Items holding a separator, a quote or a control character are quoted, with
// their quotes doubled, so that the text splits back into the same items.
bool NeedsQuotes(std::string_view item) {
    for (const char c : item) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',') {
            return true;
        }
    }
    return false;
}

std::string QuotedItem(std::string_view item) {
    std::string result = "\"";
    for (const char c : item) {
        result += c;
        if (c == '"') {
            result += '"';
        }
    }
    result += '"';
    return result;
}

std::string JoinCommaText(const std::vector<std::string>& items) {
    std::string result;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            result += ',';
        }
        result += NeedsQuotes(items[i]) ? QuotedItem(items[i]) : items[i];
    }
    return result;
}

bool IsBlank(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

// Commas separate items, and so do blanks and control characters outside
// double quotes; "" inside quotes stands for one quote. Two commas in a row,
// or a final comma, give an empty item.
std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && IsBlank(text[at])) {
            ++at;
        }
    };
    skipBlanks();
    while (at < text.size()) {
        std::string item;
        if (text[at] == '"') {
            ++at;
            while (at < text.size()) {
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        item += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                item += text[at++];
            }
        } else {
            const std::size_t start = at;
            while (at < text.size() && static_cast<unsigned char>(text[at]) > ' ' &&
                   text[at] != ',') {
                ++at;
            }
            item.assign(text.substr(start, at - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (at < text.size() && text[at] == ',') {
            if (at + 1 == text.size()) {
                items.emplace_back();
            }
            do {
                ++at;
            } while (at < text.size() && IsBlank(text[at]));
        }
    }
    return items;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Two digits a byte; conversion stops at the first pair that is not two hex
// digits, leaving the remaining bytes zero.
std::vector<std::uint8_t> HexToBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes(text.size() / 2, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            break;
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return bytes;
}

std::int64_t CheckedInteger(std::int64_t value, std::int64_t minValue, std::int64_t maxValue) {
    if (value < minValue || value > maxValue) {
        throw ERangeError();
    }
    return value;
}

template <typename T> void Append(std::vector<std::uint8_t>& data, T value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    data.insert(data.end(), bytes, bytes + sizeof(T));
}

// One element of the type from its text, appended in host byte order.
void AppendParsedElement(std::vector<std::uint8_t>& data, TTiffDataType type,
                         const std::string& item) {
    switch (type) {
    case TTiffDataType::tdByte:
        Append(data, static_cast<std::uint8_t>(CheckedInteger(StrToInt(item), 0, 255)));
        break;
    case TTiffDataType::tdShort:
        Append(data, static_cast<std::uint16_t>(CheckedInteger(StrToInt(item), 0, 65535)));
        break;
    case TTiffDataType::tdSByte:
        Append(data, static_cast<std::int8_t>(CheckedInteger(StrToInt(item), -128, 127)));
        break;
    case TTiffDataType::tdSShort:
        Append(data, static_cast<std::int16_t>(CheckedInteger(StrToInt(item), -32768, 32767)));
        break;
    case TTiffDataType::tdLong:
        Append(data, static_cast<std::uint32_t>(CheckedInteger(StrToInt64(item), 0, UINT32_MAX)));
        break;
    case TTiffDataType::tdSLong:
    case TTiffDataType::tdIFD:
        Append(data, StrToInt(item));
        break;
    case TTiffDataType::tdRational: {
        const auto fraction = TTiffLongWordFraction::CreateFromString(item);
        Append(data, fraction.Numerator);
        Append(data, fraction.Denominator);
        break;
    }
    case TTiffDataType::tdSRational: {
        const auto fraction = TTiffLongIntFraction::CreateFromString(item);
        Append(data, fraction.Numerator);
        Append(data, fraction.Denominator);
        break;
    }
    case TTiffDataType::tdFloat: {
        double value = StrToFloat(item);
        // The 15-digit text of the largest single lies just above it; anything
        // that still rounds to it is taken as it.
        constexpr double roundsToMax = 3.4028235677973366e38;
        if (std::fabs(value) > FLT_MAX) {
            if (std::fabs(value) >= roundsToMax) {
                throw ERangeError();
            }
            value = std::copysign(static_cast<double>(FLT_MAX), value);
        }
        Append(data, static_cast<float>(value));
        break;
    }
    case TTiffDataType::tdDouble:
        Append(data, StrToFloat(item));
        break;
    default:
        // ASCII, UNDEFINED and invalid codes have no element text to parse.
        break;
    }
}

} // namespace

std::string TExifTag::GetElementAsString(std::int32_t index) const {
    if (index < 0 || index >= FElementCount) {
        throw EListError(index);
    }
    const auto at = static_cast<std::size_t>(index);
    const auto bytes = GetBytes();
    switch (FDataType) {
    case TTiffDataType::tdByte:
        return std::to_string(LoadElement<std::uint8_t>(bytes, at));
    case TTiffDataType::tdShort:
        return std::to_string(LoadElement<std::uint16_t>(bytes, at));
    case TTiffDataType::tdLong:
        return std::to_string(LoadElement<std::uint32_t>(bytes, at));
    case TTiffDataType::tdSByte:
        return std::to_string(LoadElement<std::int8_t>(bytes, at));
    case TTiffDataType::tdSShort:
        return std::to_string(LoadElement<std::int16_t>(bytes, at));
    case TTiffDataType::tdSLong:
    case TTiffDataType::tdIFD:
        return std::to_string(LoadElement<std::int32_t>(bytes, at));
    case TTiffDataType::tdAscii:
        return AnsiToUTF8(std::string_view(reinterpret_cast<const char*>(bytes.data() + at), 1));
    case TTiffDataType::tdRational:
        return TTiffLongWordFraction(LoadElement<std::uint32_t>(bytes, 2 * at),
                                     LoadElement<std::uint32_t>(bytes, 2 * at + 1))
            .AsString();
    case TTiffDataType::tdSRational:
        return TTiffLongIntFraction(LoadElement<std::int32_t>(bytes, 2 * at),
                                    LoadElement<std::int32_t>(bytes, 2 * at + 1))
            .AsString();
    case TTiffDataType::tdFloat:
        return FloatToStr(LoadElement<float>(bytes, at));
    case TTiffDataType::tdDouble:
        return FloatToStr(LoadElement<double>(bytes, at));
    default:
        return {};
    }
}

std::string TExifTag::GetAsString() const {
    if (!FAsStringCache.empty()) {
        return FAsStringCache;
    }
    std::string result;
    const auto bytes = GetBytes();
    if (FElementCount == 0 || bytes.empty()) {
        // no elements, or a type code without element size
    } else if (FDataType == TTiffDataType::tdAscii) {
        result = AnsiToUTF8(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::size_t>(FElementCount - 1)));
    } else if (FDataType == TTiffDataType::tdUndefined) {
        result = BytesToHex(bytes.data(), bytes.size());
    } else if (HasWindowsStringData()) {
        const std::int32_t units = FElementCount / 2 - 1;
        if (units > 0) {
            result = UTF16LEBytesToText(bytes, static_cast<std::size_t>(units));
        }
    } else if (FElementCount == 1) {
        result = GetElementAsString(0);
    } else {
        std::vector<std::string> items;
        items.reserve(static_cast<std::size_t>(FElementCount));
        for (std::int32_t i = 0; i < FElementCount; ++i) {
            items.push_back(GetElementAsString(i));
        }
        result = JoinCommaText(items);
    }
    FAsStringCache = result;
    return result;
}

void TExifTag::SetAsString(const std::string& value) {
    if (value.empty()) {
        SetElementCount(0);
        return;
    }
    ParseAsString(value);
    FAsStringCache = value;
}

void TExifTag::ParseAsString(const std::string& value) {
    if (FDataType == TTiffDataType::tdAscii) {
        if (EnforcesASCII() && !IsASCII(value)) {
            throw ENotOnlyASCIIError();
        }
        std::string bytes = UTF8ToAnsi(value);
        bytes += '\0';
        UpdateData(TTiffDataType::tdAscii, static_cast<std::int32_t>(bytes.size()), bytes.data());
    } else if (FDataType == TTiffDataType::tdUndefined) {
        const std::vector<std::uint8_t> bytes = HexToBytes(value);
        UpdateData(TTiffDataType::tdUndefined, static_cast<std::int32_t>(bytes.size()),
                   bytes.data());
    } else if (HasWindowsStringData()) {
        const std::vector<std::uint8_t> bytes = TextToUTF16LEBytes(value);
        UpdateData(TTiffDataType::tdByte, static_cast<std::int32_t>(bytes.size()), bytes.data());
    } else {
        // Everything is parsed before anything changes.
        const std::vector<std::string> items = SplitCommaText(value);
        std::vector<std::uint8_t> data;
        data.reserve(items.size() * static_cast<std::size_t>(TiffElementSize(FDataType)));
        for (const std::string& item : items) {
            AppendParsedElement(data, FDataType, item);
        }
        UpdateData(FDataType, static_cast<std::int32_t>(items.size()), data.data());
    }
}

} // namespace Kestrix::Exif
