#include "ExifElements.h"
#include "kestrix/Exif.h"
#include "kestrix/IPTC.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Kestrix::Exif {

using Detail::IsIntegerType;
using Detail::LoadElement;
using Detail::LoadIntegerElement;
using Detail::StoreIntegerElement;

namespace {

// Tag data must stay addressable by a 32-bit signed size, as in a TIFF entry.
std::int32_t CheckedDataSize(TTiffDataType type, std::int32_t elementCount) {
    const std::int64_t size = static_cast<std::int64_t>(elementCount) * TiffElementSize(type);
    if (size > INT32_MAX) {
        throw ERangeError();
    }
    return static_cast<std::int32_t>(size);
}

constexpr std::uint8_t PaddingMarker[] = {0x1C, 0xEA};

} // namespace

TExifTag::TExifTag(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount)
    : TExifTag(nullptr, id, dataType, elementCount) {}

TExifTag::TExifTag(TExifSection* section, TTiffTagID id, TTiffDataType dataType,
                   std::int32_t elementCount)
    : FDataType(dataType), FElementCount(std::max(elementCount, 0)), FID(id), FSection(section) {
    FOriginalDataSize = CheckedDataSize(FDataType, FElementCount);
    ResizeData(FOriginalDataSize);
}

TExifTag::~TExifTag() = default;

void TExifTag::Delete() {
    if (FSection != nullptr) {
        FSection->DeleteTag(*this);
    }
}

void TExifTag::Assign(const TExifTag* source) {
    if (source == nullptr) {
        SetElementCount(0);
        return;
    }
    if (source == this) {
        return;
    }
    if (FSection == nullptr || source->FSection != FSection) {
        SetID(source->FID);
    }
    const std::vector<std::uint8_t> data(source->GetBytes().begin(), source->GetBytes().end());
    UpdateData(source->FDataType, source->FElementCount, data.data());
}

void TExifTag::Changed() {
    FAsStringCache.clear();
    if (FSection != nullptr) {
        FSection->Changed();
    }
}

void TExifTag::CheckChange(TTiffTagID newID, std::int64_t newDataSize) {
    if (FSection == nullptr) {
        return;
    }
    if (newID != FID) {
        if (!FSection->IsExtendable()) {
            throw EIllegalEditOfExifData();
        }
        if (FSection->Find(newID) != nullptr) {
            throw ETagAlreadyExists(newID);
        }
    }
    if (newDataSize > 4 && newDataSize > FOriginalDataSize && !FSection->IsExtendable()) {
        throw EIllegalEditOfExifData();
    }
    if (FSection->FKind == TExifSectionKind::esDetails && FSection->FOwner != nullptr &&
        (FID == TagIDs::ttMakerNote || newID == TagIDs::ttMakerNote)) {
        FSection->FOwner->ResetMakerNoteType();
    }
}

void TExifTag::ResizeData(std::int32_t newSize) {
    FData.SetDisableChanges(false);
    FData.SetSize(newSize);
    FData.SetDisableChanges(true);
}

std::uint8_t* TExifTag::MutableData() {
    return FData.GetMemory();
}

void TExifTag::UpdateData(const void* newData) {
    if (newData == nullptr) {
        return;
    }
    CheckChange(FID, GetDataSize());
    if (GetDataSize() > 0) {
        std::memmove(MutableData(), newData, static_cast<std::size_t>(GetDataSize()));
    }
    Changed();
}

void TExifTag::UpdateData(TTiffDataType newDataType, std::int32_t newElementCount,
                          const void* newData) {
    newElementCount = std::max(newElementCount, 0);
    if (newData == nullptr && newDataType == FDataType && newElementCount == FElementCount) {
        return;
    }
    const std::int32_t newSize = CheckedDataSize(newDataType, newElementCount);
    CheckChange(FID, newSize);
    const std::int32_t oldSize = GetDataSize();
    const int oldElementSize = TiffElementSize(FDataType);
    const int newElementSize = TiffElementSize(newDataType);
    // The source may lie in this tag's own buffer, which the resize may move.
    std::vector<std::uint8_t> copiedData;
    if (newData != nullptr) {
        const auto* first = static_cast<const std::uint8_t*>(newData);
        copiedData.assign(first, first + newSize);
    }
    // Integer values survive a change of element width (the byte sizes may
    // well be equal: one LONG becoming two SHORTs).
    std::vector<std::int64_t> savedValues;
    if (newData == nullptr && oldElementSize != newElementSize && IsIntegerType(FDataType) &&
        IsIntegerType(newDataType) && FElementCount > 0 && newElementCount > 0) {
        const auto count = static_cast<std::size_t>(std::min(FElementCount, newElementCount));
        savedValues.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            savedValues.push_back(LoadIntegerElement(FDataType, GetBytes(), i));
        }
    }
    ResizeData(newSize);
    if (newData != nullptr) {
        std::copy(copiedData.begin(), copiedData.end(), MutableData());
    } else if (oldElementSize != newElementSize) {
        std::fill_n(MutableData(), std::min(oldSize, newSize), std::uint8_t{0});
        for (std::size_t i = 0; i < savedValues.size(); ++i) {
            StoreIntegerElement(newDataType, MutableData(), i, savedValues[i]);
        }
    }
    FDataType = newDataType;
    FElementCount = newElementCount;
    Changed();
}

void TExifTag::SetDataType(TTiffDataType value) {
    if (value != FDataType) {
        UpdateData(value, FElementCount);
    }
}

void TExifTag::SetElementCount(std::int32_t value) {
    if (value != FElementCount) {
        UpdateData(FDataType, value);
    }
}

void TExifTag::SetID(TTiffTagID value) {
    if (value == FID) {
        return;
    }
    CheckChange(value, GetDataSize());
    FID = value;
    if (FSection != nullptr) {
        FSection->TagIDChanged(*this);
    }
    Changed();
}

std::uint16_t TExifTag::ReadWord(std::int32_t index, std::uint16_t defaultValue) const {
    if (index < 0 || index >= FElementCount) {
        return defaultValue;
    }
    const auto at = static_cast<std::size_t>(index);
    switch (FDataType) {
    case TTiffDataType::tdByte:
    case TTiffDataType::tdSByte:
        return LoadElement<std::uint8_t>(GetBytes(), at);
    case TTiffDataType::tdShort:
    case TTiffDataType::tdSShort:
        return LoadElement<std::uint16_t>(GetBytes(), at);
    default:
        return defaultValue;
    }
}

std::uint32_t TExifTag::ReadLongWord(std::int32_t index, std::uint32_t defaultValue) const {
    if (index < 0 || index >= FElementCount) {
        return defaultValue;
    }
    switch (FDataType) {
    case TTiffDataType::tdLong:
    case TTiffDataType::tdSLong:
        return LoadElement<std::uint32_t>(GetBytes(), static_cast<std::size_t>(index));
    case TTiffDataType::tdByte:
    case TTiffDataType::tdSByte:
    case TTiffDataType::tdShort:
    case TTiffDataType::tdSShort:
        return ReadWord(index, 0);
    default:
        return defaultValue;
    }
}

TTiffLongWordFraction TExifTag::ReadFraction(std::int32_t index,
                                             TTiffLongWordFraction defaultValue) const {
    if (index < 0 || index >= FElementCount ||
        (FDataType != TTiffDataType::tdRational && FDataType != TTiffDataType::tdSRational)) {
        return defaultValue;
    }
    const auto at = static_cast<std::size_t>(index) * 2;
    return {LoadElement<std::uint32_t>(GetBytes(), at),
            LoadElement<std::uint32_t>(GetBytes(), at + 1)};
}

bool TExifTag::HasWindowsStringData() const {
    return FSection != nullptr && FSection->FKind == TExifSectionKind::esGeneral &&
           FDataType == TTiffDataType::tdByte && FID >= TagIDs::ttWindowsTitle &&
           FID <= TagIDs::ttWindowsSubject;
}

bool TExifTag::IsPadding() const {
    return FID == TagIDs::ttPadding && FDataType == TTiffDataType::tdUndefined &&
           FElementCount > 1 && GetBytes()[0] == PaddingMarker[0] &&
           GetBytes()[1] == PaddingMarker[1];
}

void TExifTag::SetAsPadding(TExifPaddingTagSize size) {
    if (size < MinExifPaddingTagSize) {
        throw ERangeError();
    }
    // Both checks before either change, so a refusal leaves the tag as it was.
    CheckChange(TagIDs::ttPadding, size);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size), 0);
    std::copy(std::begin(PaddingMarker), std::end(PaddingMarker), data.begin());
    SetID(TagIDs::ttPadding);
    UpdateData(TTiffDataType::tdUndefined, size, data.data());
}

bool TExifTag::EnforcesASCII() const {
    return FSection != nullptr && FSection->FOwner != nullptr &&
           FSection->FOwner->GetEnforceASCII();
}

bool TExifTag::IsExifBlock(bool) {
    return false;
}

bool TExifTag::IsXMPBlock(bool) {
    return false;
}

bool TExifTag::IsIPTCBlock(bool checkID) {
    if (checkID && FID != TagIDs::ttIPTC) {
        return false;
    }
    FData.SetPosition(0);
    TIPTCTagInfo info;
    const bool result = TryReadIIMHeader(FData, info, true);
    FData.SetPosition(0);
    return result;
}

std::shared_ptr<ITiffDirectory> TExifTag::GetParent() const {
    // A borrowed view: sections are not reference counted.
    return std::shared_ptr<ITiffDirectory>(std::shared_ptr<ITiffDirectory>(), FSection);
}

} // namespace Kestrix::Exif
