// IPTC IIM datasets and records.
#pragma once

#include "kestrix/BaseUtils.h"

#include <cstdint>

namespace Kestrix::Exif {

// The header of one IIM dataset.
struct TIPTCTagInfo {
    std::uint8_t SectionID = 0; // the record number, 1..9
    std::uint8_t TagID = 0;     // the dataset number
    std::int32_t DataSize = 0;
};

// Reads a dataset header: 0x1C, record 1..9, dataset, then the length word L
// (0..0x7FFF, or 0xFFFC/0xFFFE/0xFFFF followed by a 4-, 2- or 1-byte length;
// every other L with the top bit set is refused). On success the stream is left
// at the first data byte unless `alwaysResetPosition`; on failure it is put back.
bool TryReadIIMHeader(TStream& stream, TIPTCTagInfo& info, bool alwaysResetPosition);

} // namespace Kestrix::Exif
