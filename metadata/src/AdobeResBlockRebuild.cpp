#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

TAdobeResBlockList RebuildAdobeResBlocks(std::span<const TNewAdobeBlock> newBlocks,
                                         IAdobeResBlockEnumerator* oldBlocks,
                                         const TAdobeBlockReplaced& isReplaced) {
    TAdobeResBlockList blocks;
    for (const auto& [typeID, source] : newBlocks) {
        if (source != nullptr && !source->Empty()) {
            blocks.push_back(CreateAdobeBlock(typeID, source));
        }
    }
    if (oldBlocks != nullptr) {
        for (const auto& block : *oldBlocks) {
            if (!isReplaced || !isReplaced(*block)) {
                blocks.push_back(block);
            }
        }
    }
    return blocks;
}

void RewritePSDResources(TStream& input, TStream& output, std::span<const TNewAdobeBlock> newBlocks,
                         const TAdobeBlockReplaced& isReplaced) {
    const std::int64_t start = input.GetPosition();
    TPSDInfo info;
    const auto parser = ParsePSDResources(input, info);
    const auto blocks = RebuildAdobeResBlocks(newBlocks, &parser->GetEnumerator(), isReplaced);
    WritePSDHeader(output, info);
    WritePSDResourceSection(output, blocks);
    // The parser has read the layer section's length field, so the rest is
    // never empty.
    input.SetPosition(start + info.GetLayersSectionOffset());
    output.CopyFrom(input, input.BytesLeft());
}

std::shared_ptr<TUserJPEGSegment>
RebuildAdobeApp13Segment(IJPEGSegment* oldSegment, std::span<const TNewAdobeBlock> newBlocks,
                         const TAdobeBlockReplaced& isReplaced) {
    const auto oldBlocks = oldSegment != nullptr ? oldSegment->GetEnumerator() : nullptr;
    return CreateAdobeApp13Segment(RebuildAdobeResBlocks(newBlocks, oldBlocks.get(), isReplaced));
}

} // namespace Kestrix::Exif
