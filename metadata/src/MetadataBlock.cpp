#include "kestrix/BaseUtils.h"
#include "kestrix/IPTC.h"

namespace Kestrix::Exif {

namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// "II" or "MM", then 42 in either byte order.
bool StartsWithTiffHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) {
        return false;
    }
    const bool mark = (bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M');
    const bool magic =
        (bytes[2] == 0x2A && bytes[3] == 0x00) || (bytes[2] == 0x00 && bytes[3] == 0x2A);
    return mark && magic;
}

} // namespace

// ---------------------------------------------------------------------------

void TMetadataDataStream::CheckChangesAllowed() const {
    if (FDisableChanges) {
        throw EStreamError(Consts::SStreamReadOnly);
    }
}

std::size_t TMetadataDataStream::Write(const void* buffer, std::size_t count) {
    CheckChangesAllowed();
    return TMemoryStream::Write(buffer, count);
}

void TMetadataDataStream::SetSize(std::int64_t newSize) {
    CheckChangesAllowed();
    TMemoryStream::SetSize(newSize);
}

void TMetadataDataStream::Clear() {
    CheckChangesAllowed();
    TMemoryStream::Clear();
}

void TMetadataDataStream::LoadFromStream(TStream& source) {
    CheckChangesAllowed();
    TMemoryStream::LoadFromStream(source);
}

// ---------------------------------------------------------------------------

TMetadataBlock::TMetadataBlock(IStreamPersist* dataSource) {
    if (dataSource != nullptr) {
        dataSource->SaveToStream(FData);
    }
}

TMetadataBlock::TMetadataBlock(TStream& dataSource, std::int64_t bytesToRead) {
    if (bytesToRead <= 0) {
        return;
    }
    // Checked first, so that a claimed size never allocates beyond the source.
    if (bytesToRead > dataSource.BytesLeft()) {
        throw EReadError();
    }
    FData.CopyFrom(dataSource, bytesToRead);
    FData.SetPosition(0);
}

TMetadataBlock::~TMetadataBlock() {
    FData.SetDisableChanges(false);
}

bool TMetadataBlock::IsExifBlock(bool checkID) {
    if (checkID && !HasExifBlockID()) {
        return false;
    }
    auto bytes = FData.GetBytes();
    if (bytes.size() < 8) {
        return false;
    }
    if (StartsWith(bytes, ExifHeader)) {
        bytes = bytes.subspan(ExifHeader.size());
    }
    return StartsWithTiffHeader(bytes);
}

bool TMetadataBlock::IsIPTCBlock(bool checkID) {
    FData.SetPosition(0);
    if (checkID && !HasIPTCBlockID()) {
        return false;
    }
    TIPTCTagInfo info;
    const bool result = TryReadIIMHeader(FData, info, true);
    FData.SetPosition(0);
    return result;
}

bool TMetadataBlock::IsXMPBlock(bool checkID) {
    if (checkID && !HasXMPBlockID()) {
        return false;
    }
    auto bytes = FData.GetBytes();
    if (bytes.size() < 20) {
        return false;
    }
    if (StartsWith(bytes, XMPHeader)) {
        bytes = bytes.subspan(XMPHeader.size());
    }
    return StartsWith(bytes, XMPPacketStart);
}

} // namespace Kestrix::Exif
