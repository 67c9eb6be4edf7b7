#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

namespace {

bool DataStartsWith(const TMetadataDataStream& data, std::string_view prefix) {
    const auto bytes = data.GetBytes();
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

} // namespace

TUserJPEGSegment::TUserJPEGSegment(std::uint8_t markerNum, IStreamPersist* source)
    : FMarkerNum(markerNum) {
    if (source != nullptr) {
        source->SaveToStream(GetData());
    }
    GetData().SetPosition(0);
}

bool TUserJPEGSegment::IsAdobeApp13() {
    FAdobeHeaderSize = 0;
    if (FMarkerNum != jmApp13 || GetData().GetSize() < 20) {
        return false;
    }
    if (DataStartsWith(GetData(), AdobeApp13Header)) {
        FAdobeHeaderSize = static_cast<std::int32_t>(AdobeApp13Header.size());
    } else if (DataStartsWith(GetData(), AdobeApp13LegacyHeader)) {
        FAdobeHeaderSize = static_cast<std::int32_t>(AdobeApp13LegacyHeader.size());
    }
    return FAdobeHeaderSize != 0;
}

void TUserJPEGSegment::LoadFromStream(TStream& stream) {
    auto& data = GetData();
    data.Clear();
    std::uint8_t marker = ReadByte(stream);
    while (marker == 0xFF) {
        marker = ReadByte(stream);
    }
    FMarkerNum = marker;
    if (IsStandAloneJPEGMarker(marker)) {
        return;
    }
    std::uint16_t length = 0;
    if (!TryReadWord(stream, TEndianness::BigEndian, length) || length < 2) {
        throw EReadError();
    }
    const std::int64_t dataSize = length - 2;
    if (dataSize > stream.BytesLeft()) {
        throw EReadError();
    }
    if (dataSize > 0) {
        data.CopyFrom(stream, dataSize);
    }
    data.SetPosition(0);
}

void TUserJPEGSegment::SaveToStream(TStream& stream) {
    WriteJPEGSegment(stream, *this);
}

bool TUserJPEGSegment::Empty() const {
    return GetData().GetMemorySize() == 0;
}

// ---------------------------------------------------------------------------

TFoundJPEGSegment::TFoundJPEGSegment(std::uint8_t markerNum, TStream& source, std::int32_t dataSize)
    : TUserJPEGSegment(markerNum) {
    const std::int64_t position = source.GetPosition();
    if (IsStandAloneJPEGMarker(markerNum)) {
        FOffset = position - 2;
        return;
    }
    FOffset = position - 4;
    if (dataSize > 0) {
        if (dataSize > source.BytesLeft()) {
            throw EReadError();
        }
        GetData().CopyFrom(source, dataSize);
        GetData().SetPosition(0);
    }
}

std::int64_t TFoundJPEGSegment::GetTotalSize() const {
    return static_cast<std::int64_t>(GetData().GetMemorySize()) +
           (IsStandAloneJPEGMarker(GetMarkerNum()) ? 2 : 4);
}

} // namespace Kestrix::Exif
