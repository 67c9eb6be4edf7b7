#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

std::shared_ptr<TUserJPEGSegment> CreateAdobeApp13Segment(TAdobeResBlockArray blocks) {
    auto segment = std::make_shared<TUserJPEGSegment>(jmApp13);
    auto& data = segment->GetData();
    WriteBytes(data, AdobeApp13Header);
    for (const auto& block : blocks) {
        if (block) {
            block->SaveToStream(data);
        }
    }
    data.SetPosition(0);
    return segment;
}

std::shared_ptr<TUserJPEGSegment> CreateAdobeApp13Segment(const TMetadataBlockList* blocks) {
    TAdobeResBlockList adobeBlocks;
    if (blocks != nullptr) {
        for (const auto& entry : *blocks) {
            if (!entry) {
                continue;
            }
            auto block = std::dynamic_pointer_cast<IAdobeResBlock>(entry);
            if (!block) {
                throw EIntfCastError();
            }
            adobeBlocks.push_back(std::move(block));
        }
    }
    return CreateAdobeApp13Segment(adobeBlocks);
}

} // namespace Kestrix::Exif
