// Typed reads and writes of tag values: integers, fractions and strings.
#include "ExifElements.h"
#include "kestrix/Exif.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Kestrix::Exif {

namespace {

bool IsIndexOf(const TExifTag& tag, std::int32_t index) {
    return index >= 0 && index < tag.GetElementCount();
}

bool IsByteType(TTiffDataType type) {
    return type == TTiffDataType::tdByte || type == TTiffDataType::tdSByte;
}

bool IsWordType(TTiffDataType type) {
    return IsByteType(type) || type == TTiffDataType::tdShort || type == TTiffDataType::tdSShort;
}

bool IsLongWordType(TTiffDataType type) {
    return IsWordType(type) || type == TTiffDataType::tdLong || type == TTiffDataType::tdSLong;
}

} // namespace

bool TExifSection::TryGetByteValue(TTiffTagID id, std::int32_t index, std::uint8_t& value) const {
    const TExifTag* const tag = Find(id);
    if (tag == nullptr || !IsIndexOf(*tag, index) ||
        !(IsByteType(tag->GetDataType()) || tag->GetDataType() == TTiffDataType::tdUndefined)) {
        return false;
    }
    value = tag->GetBytes()[static_cast<std::size_t>(index)];
    return true;
}

bool TExifSection::TryGetWordValue(TTiffTagID id, std::int32_t index, std::uint16_t& value) const {
    const TExifTag* const tag = Find(id);
    if (tag == nullptr || !IsIndexOf(*tag, index) || !IsWordType(tag->GetDataType())) {
        return false;
    }
    value = tag->ReadWord(index, 0);
    return true;
}

bool TExifSection::TryGetLongWordValue(TTiffTagID id, std::int32_t index,
                                       std::uint32_t& value) const {
    const TExifTag* const tag = Find(id);
    if (tag == nullptr || !IsIndexOf(*tag, index) || !IsLongWordType(tag->GetDataType())) {
        return false;
    }
    value = tag->ReadLongWord(index, 0);
    return true;
}

std::uint8_t TExifSection::GetByteValue(TTiffTagID id, std::int32_t index,
                                        std::uint8_t defaultValue, std::uint8_t minValue,
                                        std::uint8_t maxValue) const {
    std::uint8_t value = 0;
    return TryGetByteValue(id, index, value) && value >= minValue && value <= maxValue
               ? value
               : defaultValue;
}

std::uint16_t TExifSection::GetWordValue(TTiffTagID id, std::int32_t index,
                                         std::uint16_t defaultValue, std::uint16_t minValue,
                                         std::uint16_t maxValue) const {
    std::uint16_t value = 0;
    return TryGetWordValue(id, index, value) && value >= minValue && value <= maxValue
               ? value
               : defaultValue;
}

std::int16_t TExifSection::GetSmallIntValue(TTiffTagID id, std::int32_t index,
                                            std::int16_t defaultValue, std::int16_t minValue,
                                            std::int16_t maxValue) const {
    std::uint16_t word = 0;
    if (!TryGetWordValue(id, index, word)) {
        return defaultValue;
    }
    const auto value = static_cast<std::int16_t>(word);
    return value >= minValue && value <= maxValue ? value : defaultValue;
}

TWordTagValue TExifSection::GetWordValue(TTiffTagID id, std::int32_t index) const {
    std::uint16_t value = 0;
    return TryGetWordValue(id, index, value) ? TWordTagValue(value) : TWordTagValue();
}

TLongWordTagValue TExifSection::GetLongWordValue(TTiffTagID id, std::int32_t index) const {
    std::uint32_t value = 0;
    return TryGetLongWordValue(id, index, value) ? TLongWordTagValue(value) : TLongWordTagValue();
}

std::uint32_t TExifSection::GetLongWordValue(TTiffTagID id, std::int32_t index,
                                             std::uint32_t defaultValue) const {
    std::uint32_t value = 0;
    return TryGetLongWordValue(id, index, value) ? value : defaultValue;
}

TLongIntTagValue TExifSection::GetLongIntValue(TTiffTagID id, std::int32_t index) const {
    std::uint32_t value = 0;
    return TryGetLongWordValue(id, index, value)
               ? TLongIntTagValue(static_cast<std::int32_t>(value))
               : TLongIntTagValue();
}

std::int32_t TExifSection::GetLongIntValue(TTiffTagID id, std::int32_t index,
                                           std::int32_t defaultValue) const {
    std::uint32_t value = 0;
    return TryGetLongWordValue(id, index, value) ? static_cast<std::int32_t>(value) : defaultValue;
}

TTiffLongWordFraction TExifSection::GetFractionValue(TTiffTagID id, std::int32_t index) const {
    return GetFractionValue(id, index, TTiffLongWordFraction::CreateMissingOrInvalid());
}

TTiffLongWordFraction TExifSection::GetFractionValue(TTiffTagID id, std::int32_t index,
                                                     TTiffLongWordFraction defaultValue) const {
    const TExifTag* const tag = Find(id);
    return tag == nullptr ? defaultValue : tag->ReadFraction(index, defaultValue);
}

template <typename T>
TExifTag& TExifSection::SetElement(TTiffTagID id, std::int32_t index, TTiffDataType type, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (index < 0) {
        throw EAssertionFailed();
    }
    if (index == INT32_MAX) {
        throw ERangeError();
    }
    TExifTag* tag = Find(id);
    if (tag != nullptr) {
        tag->UpdateData(type, std::max(tag->GetElementCount(), index + 1));
    } else {
        tag = &Add(id, type, index + 1);
    }
    std::uint8_t* const element = tag->MutableData() + static_cast<std::size_t>(index) * sizeof(T);
    if (std::memcmp(element, &value, sizeof(T)) != 0) {
        tag->CheckChange(id, tag->GetDataSize());
        std::memcpy(element, &value, sizeof(T));
        tag->Changed();
    }
    return *tag;
}

TExifTag& TExifSection::SetByteValue(TTiffTagID id, std::int32_t index, std::uint8_t value) {
    return SetElement(id, index, TTiffDataType::tdByte, value);
}

TExifTag& TExifSection::SetWordValue(TTiffTagID id, std::int32_t index, std::uint16_t value) {
    return SetElement(id, index, TTiffDataType::tdShort, value);
}

TExifTag& TExifSection::SetLongWordValue(TTiffTagID id, std::int32_t index, std::uint32_t value) {
    return SetElement(id, index, TTiffDataType::tdLong, value);
}

template <typename TFraction>
void TExifSection::SetFractionElement(TTiffTagID id, std::int32_t index, TTiffDataType type,
                                      TFraction value) {
    if (value.MissingOrInvalid()) {
        if (index < 0) {
            throw EAssertionFailed();
        }
        TExifTag* const tag = Find(id);
        if (tag == nullptr || index >= tag->GetElementCount()) {
            return;
        }
        if (index == tag->GetElementCount() - 1) {
            if (tag->GetElementCount() == 1) {
                tag->Delete();
            } else {
                tag->SetElementCount(index);
            }
            return;
        }
    }
    // Numerator then denominator, as the data holds them.
    SetElement(id, index, type, value);
}

void TExifSection::SetFractionValue(TTiffTagID id, std::int32_t index,
                                    TTiffLongWordFraction value) {
    SetFractionElement(id, index, TTiffDataType::tdRational, value);
}

void TExifSection::SetSignedFractionValue(TTiffTagID id, std::int32_t index,
                                          TTiffLongIntFraction value) {
    SetFractionElement(id, index, TTiffDataType::tdSRational, value);
}

bool TExifSection::TryGetStringValue(TTiffTagID id, std::string& value) const {
    const TExifTag* const tag = Find(id);
    if (tag == nullptr || tag->GetDataType() != TTiffDataType::tdAscii ||
        tag->GetElementCount() < 1) {
        return false;
    }
    std::string_view bytes(reinterpret_cast<const char*>(tag->GetBytes().data()),
                           tag->GetBytes().size());
    // One final NUL, blank or control byte goes; earlier NULs are text.
    if (static_cast<unsigned char>(bytes.back()) <= ' ') {
        bytes.remove_suffix(1);
    }
    value = AnsiToUTF8(bytes);
    return true;
}

std::string TExifSection::GetStringValue(TTiffTagID id, const std::string& defaultValue) const {
    std::string value;
    return TryGetStringValue(id, value) ? value : defaultValue;
}

void TExifSection::SetStringValue(TTiffTagID id, const std::string& value) {
    if (value.empty()) {
        Remove(id);
        return;
    }
    if (FOwner != nullptr && FOwner->GetEnforceASCII() && !IsASCII(value)) {
        throw ENotOnlyASCIIError();
    }
    std::string bytes = UTF8ToAnsi(value);
    bytes += '\0';
    AddOrUpdate(id, TTiffDataType::tdAscii, static_cast<std::int32_t>(bytes.size()), bytes.data());
}

bool TExifSection::TryGetWindowsStringValue(TTiffTagID id, std::string& value) const {
    const TExifTag* const tag = Find(id);
    if (tag == nullptr || tag->GetDataType() != TTiffDataType::tdByte ||
        tag->GetElementCount() <= 1) {
        return false;
    }
    value = Detail::UTF16LEBytesToText(tag->GetBytes(),
                                       static_cast<std::size_t>(tag->GetElementCount() / 2 - 1));
    return true;
}

std::string TExifSection::GetWindowsStringValue(TTiffTagID id,
                                                const std::string& defaultValue) const {
    std::string value;
    return TryGetWindowsStringValue(id, value) ? value : defaultValue;
}

void TExifSection::SetWindowsStringValue(TTiffTagID id, const std::string& value) {
    if (value.empty()) {
        Remove(id);
        return;
    }
    const std::vector<std::uint8_t> bytes = Detail::TextToUTF16LEBytes(value);
    AddOrUpdate(id, TTiffDataType::tdByte, static_cast<std::int32_t>(bytes.size()), bytes.data());
}

} // namespace Kestrix::Exif
