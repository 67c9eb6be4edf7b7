#include "kestrix/IPTC.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Kestrix::Exif {

bool IsNumericIPTCTag(TIPTCSectionID sectionID, TIPTCTagID tagID) {
    switch (sectionID) {
    case 1:
        return tagID == 0 || tagID == 20 || tagID == 22 || tagID == 120 || tagID == 122;
    case 2:
        return tagID == 0;
    default:
        return false;
    }
}

TIPTCTagIDs::TIPTCTagIDs(std::initializer_list<TIPTCTagID> ids) {
    for (const TIPTCTagID id : ids) {
        Include(id);
    }
}

void TIPTCTag::Delete() {
    if (FSection) {
        FSection->Delete(GetIndex());
    }
}

void TIPTCTag::Assign(const TIPTCTag* source) {
    if (!source) {
        SetDataSize(0);
        return;
    }
    if (source == this) {
        return;
    }
    SetID(source->FID);
    UpdateData(source->GetBytes());
}

void TIPTCTag::Changed(TChangeType type) {
    if (!FSection) {
        return;
    }
    FSection->FModified = true;
    if (type == TChangeType::ctID) {
        FSection->FDefinitelySorted = false;
    }
}

void TIPTCTag::SetID(TIPTCTagID id) {
    if (id != FID) {
        FID = id;
        Changed(TChangeType::ctID);
    }
}

void TIPTCTag::Resize(std::int32_t newDataSize) {
    if (newDataSize < 0) {
        throw ERangeError();
    }
    FData.resize(static_cast<std::size_t>(newDataSize));
}

void TIPTCTag::SetDataSize(std::int32_t newDataSize) {
    if (newDataSize != GetDataSize()) {
        Resize(newDataSize);
        Changed(TChangeType::ctData);
    }
}

int TIPTCTag::GetIndex() const {
    return FSection ? FSection->IndexOf(*this) : -1;
}

void TIPTCTag::SetIndex(int newIndex) {
    if (FSection) {
        FSection->Move(GetIndex(), newIndex);
    }
}

bool TIPTCTag::IsNumeric() const {
    return FSection && IsNumericIPTCTag(FSection->GetID(), FID);
}

void TIPTCTag::UpdateDataInPlace(const void* buffer) {
    if (!FData.empty()) {
        std::memcpy(FData.data(), buffer, FData.size());
    }
    Changed(TChangeType::ctData);
}

void TIPTCTag::UpdateData(std::int32_t newDataSize, const void* buffer) {
    Resize(newDataSize);
    UpdateDataInPlace(buffer);
}

void TIPTCTag::UpdateData(std::span<const std::uint8_t> bytes) {
    FData.assign(bytes.begin(), bytes.end());
    Changed(TChangeType::ctData);
}

void TIPTCTag::UpdateData(std::int32_t newDataSize, TStream& source) {
    // Checked before allocating, so a hostile length cannot inflate memory.
    if (newDataSize < 0 || newDataSize > source.BytesLeft()) {
        throw EReadError();
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(newDataSize));
    source.ReadBuffer(bytes.data(), bytes.size());
    FData = std::move(bytes);
    Changed(TChangeType::ctData);
}

namespace {

bool OwnerWantsUTF8(const TIPTCSection* section) {
    return section && section->GetOwner() && section->GetOwner()->GetUTF8Encoded();
}

} // namespace

std::string TIPTCTag::ReadString() const {
    if (OwnerWantsUTF8(FSection)) {
        return UTF8BytesToText(FData.data(), FData.size());
    }
    return AnsiToUTF8({reinterpret_cast<const char*>(FData.data()), FData.size()});
}

void TIPTCTag::WriteRawString(std::string_view bytes) {
    FData.assign(bytes.begin(), bytes.end());
    Changed(TChangeType::ctData);
}

void TIPTCTag::WriteString(std::string_view text) {
    if (OwnerWantsUTF8(FSection)) {
        WriteRawString(text);
    } else {
        WriteRawString(UTF8ToAnsi(text));
    }
}

std::string TIPTCTag::GetAsString() const {
    if (IsNumeric()) {
        switch (FData.size()) {
        case 1:
            return std::to_string(FData[0]);
        case 2:
            return std::to_string((FData[0] << 8) | FData[1]);
        case 4: {
            const std::uint32_t value = (std::uint32_t{FData[0]} << 24) |
                                        (std::uint32_t{FData[1]} << 16) |
                                        (std::uint32_t{FData[2]} << 8) | FData[3];
            return std::to_string(static_cast<std::int32_t>(value));
        }
        default:
            break;
        }
    }
    return ReadString();
}

void TIPTCTag::SetAsString(const std::string& value) {
    if (!IsNumeric()) {
        WriteString(value);
        return;
    }
    const auto number = static_cast<std::uint16_t>(StrToInt(value));
    const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(number >> 8),
                                               static_cast<std::uint8_t>(number)};
    UpdateData(bytes);
}

} // namespace Kestrix::Exif
