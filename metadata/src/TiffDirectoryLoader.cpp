#include "kestrix/TiffUtils.h"

namespace Kestrix::Exif {

namespace {

constexpr std::int64_t EntrySize = 12;

template <typename T> T ReadRequired(TStream& stream, TEndianness endianness) {
    T value{};
    bool ok = false;
    if constexpr (sizeof(T) == 2) {
        ok = TryReadWord(stream, endianness, value);
    } else if constexpr (std::is_signed_v<T>) {
        ok = TryReadLongInt(stream, endianness, value);
    } else {
        ok = TryReadLongWord(stream, endianness, value);
    }
    if (!ok) {
        throw EReadError();
    }
    return value;
}

// Reads one 12-byte entry at the stream's position. Out-of-line data must lie
// at or after the header (offset 8) and wholly inside the stream, else the
// entry is marked malformed by a count of -1.
TTiffTagInfo ReadEntry(TStream& stream, TEndianness endianness, std::int64_t basePosition,
                       std::int64_t internalOffset, std::int64_t streamSize) {
    TTiffTagInfo info;
    info.HeaderOffset = static_cast<std::uint32_t>(stream.GetPosition() - basePosition);
    info.ID = ReadRequired<std::uint16_t>(stream, endianness);
    info.DataType = static_cast<TTiffDataType>(ReadRequired<std::uint16_t>(stream, endianness));
    info.ElementCount = ReadRequired<std::int32_t>(stream, endianness);
    const std::int64_t dataSize = info.DataSize();
    if (dataSize <= 4) {
        info.DataOffset = info.HeaderOffset + 8;
        stream.Seek(4, TSeekOrigin::soCurrent);
        return info;
    }
    const std::int64_t offset =
        static_cast<std::int64_t>(ReadRequired<std::uint32_t>(stream, endianness)) + internalOffset;
    const bool bad =
        offset < 8 || offset + basePosition < 0 || offset + basePosition > streamSize - dataSize;
    if (bad) {
        info.ElementCount = -1;
    } else {
        info.DataOffset = static_cast<std::uint32_t>(offset);
    }
    return info;
}

} // namespace

TTiffTagInfoDynArray LoadDirectoryEntries(TStream& stream, TEndianness endianness,
                                          TMetadataLoadErrors& loadErrors,
                                          std::int64_t basePosition, std::int64_t offset,
                                          std::int64_t internalOffset) {
    loadErrors = {};
    TTiffTagInfoDynArray entries;
    const std::int64_t start = basePosition + offset;
    const std::int64_t streamSize = stream.Seek(0, TSeekOrigin::soEnd);
    if (start < 0 || start > streamSize - 2) {
        loadErrors.Include(TMetadataLoadError::leBadOffset);
        return entries;
    }
    // The count is cut to the entries the stream holds, so that neither the
    // array nor the reads below can exceed the stream.
    const std::int64_t maxCount = (streamSize - start - 2) / EntrySize;
    stream.SetPosition(start);
    std::int64_t count = ReadRequired<std::uint16_t>(stream, endianness);
    if (count > maxCount) {
        count = maxCount;
        loadErrors.Include(TMetadataLoadError::leBadTagCount);
    }
    entries.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const TTiffTagInfo info =
            ReadEntry(stream, endianness, basePosition, internalOffset, streamSize);
        if (!info.IsWellFormed()) {
            const bool previousMalformed = i > 0 && !entries.back().IsWellFormed();
            if (previousMalformed) {
                // Two in a row: what follows is taken for garbage.
                loadErrors.Include(TMetadataLoadError::leBadTagCount);
                break;
            }
            loadErrors.Include(TMetadataLoadError::leBadTagHeader);
            if (i == 0 && loadErrors.Contains(TMetadataLoadError::leBadTagCount)) {
                entries.clear();
                break;
            }
        }
        entries.push_back(info);
    }
    return entries;
}

} // namespace Kestrix::Exif
