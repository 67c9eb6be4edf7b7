#include "kestrix/TiffUtils.h"

namespace Kestrix::Exif {

namespace {

// The least a directory occupies: its entry count and its next-IFD offset.
constexpr std::int64_t MinDirectorySize = 6;

} // namespace

TTiffParserEnumerator::TTiffParserEnumerator(std::shared_ptr<ITiffParser> source,
                                             std::int64_t maxPossibleOffset,
                                             std::int32_t nextOffset)
    : FMaxPossibleOffset(maxPossibleOffset), FNextOffset(nextOffset), FSource(std::move(source)) {}

bool TTiffParserEnumerator::MoveNext() {
    if (FNextOffset == 0) {
        return false;
    }
    auto directory = TFoundTiffDirectory::Create(FSource, nullptr, FNextIndex, FNextOffset, 0);
    FVisitedOffsets.insert(FNextOffset);
    FBytesWalked += MinDirectorySize + 12 * static_cast<std::int64_t>(directory->GetCount());

    std::int32_t next = 0;
    const bool read = TryReadLongInt(FSource->GetStream(), FSource->GetEndianness(), next);
    // Beyond the walk the Part's bound gives, a chain that loops back or holds
    // more directories than the stream has room for ends here.
    const bool loopsBack = FVisitedOffsets.contains(next);
    const bool roomForMore = FBytesWalked + MinDirectorySize <= FMaxPossibleOffset + 4;
    const bool moreToFollow =
        read && next != 0 && next <= FMaxPossibleOffset && !loopsBack && roomForMore;
    directory->SetMoreToFollow(moreToFollow);
    if (moreToFollow) {
        ++FNextIndex;
        FNextOffset = next;
    } else {
        FNextOffset = 0;
    }
    FCurrent = std::move(directory);
    return true;
}

} // namespace Kestrix::Exif
