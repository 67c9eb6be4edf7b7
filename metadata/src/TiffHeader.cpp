#include "kestrix/TiffUtils.h"

#include <algorithm>
#include <array>

namespace Kestrix::Exif {

bool CheckTiffHeader(TStream& stream, TEndianness& endianness, bool movePastHeader) {
    std::array<std::uint8_t, 4> header{};
    if (!TryReadBuffer(stream, header.data(), header.size())) {
        return false;
    }
    const bool markOK =
        (header[0] == 'I' && header[1] == 'I') || (header[0] == 'M' && header[1] == 'M');
    bool passed = false;
    if (markOK && header[2] == 0x2A && header[3] == 0x00) {
        endianness = TEndianness::SmallEndian;
        passed = true;
    } else if (markOK && header[2] == 0x00 && header[3] == 0x2A) {
        endianness = TEndianness::BigEndian;
        passed = true;
    }
    if (!passed || !movePastHeader) {
        stream.Seek(-static_cast<std::int64_t>(header.size()), TSeekOrigin::soCurrent);
    }
    return passed;
}

bool IsSubDirectoryPointer(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount) {
    // Single LONG values that hold image-data offsets or sizes, never directories.
    using namespace TagIDs;
    static constexpr std::array<TTiffTagID, 10> imageStructureTags = {
        ttImageWidth,     ttImageHeight,    ttStripOffsets,          ttStripByteCounts,
        ttTileOffsets,    ttTileByteCounts, ttJPEGInterchangeFormat, ttJPEGInterchangeFormatLength,
        ttExifImageWidth, ttExifImageHeight};
    if (elementCount != 1) {
        return false;
    }
    if (dataType == TTiffDataType::tdIFD) {
        return true;
    }
    return dataType == TTiffDataType::tdLong &&
           std::find(imageStructureTags.begin(), imageStructureTags.end(), id) ==
               imageStructureTags.end();
}

} // namespace Kestrix::Exif
