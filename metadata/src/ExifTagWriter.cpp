// Writing a tag as a TIFF directory entry and its out-of-line data.
#include "kestrix/Exif.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace Kestrix::Exif {

namespace {

constexpr TEndianness HostEndianness =
    std::endian::native == std::endian::big ? TEndianness::BigEndian : TEndianness::SmallEndian;

std::vector<std::uint8_t> DataInByteOrder(std::span<const std::uint8_t> data, TTiffDataType type,
                                          TEndianness endianness) {
    std::vector<std::uint8_t> result(data.begin(), data.end());
    const auto unit = static_cast<std::size_t>(TiffByteOrderUnit(type));
    if (endianness != HostEndianness && unit > 1) {
        for (std::size_t at = 0; at + unit <= result.size(); at += unit) {
            std::reverse(result.begin() + static_cast<std::ptrdiff_t>(at),
                         result.begin() + static_cast<std::ptrdiff_t>(at + unit));
        }
    }
    return result;
}

} // namespace

void TExifTag::WriteEntry(TStream& stream, TEndianness endianness, std::uint32_t dataOffset) const {
    WriteWord(stream, FID, endianness);
    WriteWord(stream, static_cast<std::uint16_t>(FDataType), endianness);
    WriteLongInt(stream, FElementCount, endianness);
    if (GetDataSize() > 4) {
        WriteLongWord(stream, dataOffset, endianness);
        return;
    }
    std::vector<std::uint8_t> value = DataInByteOrder(GetBytes(), FDataType, endianness);
    value.resize(4, 0);
    stream.WriteBuffer(value);
}

void TExifTag::WriteEntryData(TStream& stream, TEndianness endianness) const {
    if (GetDataSize() <= 4) {
        return;
    }
    stream.WriteBuffer(DataInByteOrder(GetBytes(), FDataType, endianness));
}

} // namespace Kestrix::Exif
