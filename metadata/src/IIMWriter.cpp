#include "kestrix/IPTC.h"

#include <array>
#include <limits>

namespace Kestrix::Exif {

namespace {

constexpr std::uint8_t IIMTagMarker = 0x1C;
constexpr std::size_t LongestShortLength = 0x7FFF;
constexpr std::uint16_t FourByteLengthWord = 0xFFFC;

} // namespace

void WriteIIMDataset(TStream& stream, TIPTCSectionID sectionID, TIPTCTagID tagID,
                     std::span<const std::uint8_t> data) {
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ERangeError();
    }
    const std::array<std::uint8_t, 3> start{IIMTagMarker, sectionID, tagID};
    stream.WriteBuffer(start);
    if (data.size() <= LongestShortLength) {
        WriteWord(stream, static_cast<std::uint16_t>(data.size()), TEndianness::BigEndian);
    } else {
        WriteWord(stream, FourByteLengthWord, TEndianness::BigEndian);
        WriteLongInt(stream, static_cast<std::int32_t>(data.size()), TEndianness::BigEndian);
    }
    stream.WriteBuffer(data);
}

void WriteIIMDatasets(TStream& stream, const TIPTCSection& section) {
    for (const TIPTCTag& tag : section) {
        WriteIIMDataset(stream, section.GetID(), tag.GetID(), tag.GetBytes());
    }
}

} // namespace Kestrix::Exif
