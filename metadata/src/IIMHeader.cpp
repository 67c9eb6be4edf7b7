#include "kestrix/IPTC.h"

#include <array>

namespace Kestrix::Exif {

namespace {

constexpr std::uint8_t IIMTagMarker = 0x1C;

// The data length of an extended length form; false when the form is refused
// or its length bytes are missing.
bool TryReadExtendedLength(TStream& stream, std::uint16_t lengthWord, std::int32_t& length) {
    switch (lengthWord) {
    case 0xFFFC:
        return TryReadLongInt(stream, TEndianness::BigEndian, length);
    case 0xFFFE: {
        std::uint16_t word = 0;
        if (!TryReadWord(stream, TEndianness::BigEndian, word)) {
            return false;
        }
        length = word;
        return true;
    }
    case 0xFFFF: {
        std::uint8_t byte = 0;
        if (!TryReadBuffer(stream, &byte, 1)) {
            return false;
        }
        length = byte;
        return true;
    }
    default:
        return false;
    }
}

} // namespace

bool TryReadIIMHeader(TStream& stream, TIPTCTagInfo& info, bool alwaysResetPosition) {
    const std::int64_t start = stream.GetPosition();
    std::array<std::uint8_t, 5> header{};
    if (!TryReadBuffer(stream, header.data(), header.size())) {
        return false;
    }
    const auto lengthWord = static_cast<std::uint16_t>((header[3] << 8) | header[4]);
    std::int32_t length = lengthWord;
    bool ok = header[0] == IIMTagMarker && header[1] >= 1 && header[1] <= 9;
    if (ok && lengthWord >= 0x8000) {
        ok = TryReadExtendedLength(stream, lengthWord, length);
    }
    if (ok) {
        info = {header[1], header[2], length};
    }
    if (!ok || alwaysResetPosition) {
        stream.SetPosition(start);
    }
    return ok;
}

bool TryReadIIMDatasetHeader(TStream& stream, TIPTCTagInfo& info) {
    const std::int64_t start = stream.GetPosition();
    TIPTCTagInfo read;
    if (!TryReadIIMHeader(stream, read, false)) {
        return false;
    }
    if (read.DataSize < 0 || read.DataSize > stream.BytesLeft()) {
        stream.SetPosition(start);
        return false;
    }
    info = read;
    return true;
}

} // namespace Kestrix::Exif
