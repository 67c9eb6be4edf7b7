#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

// The enumerator reads the segment's own data in place and keeps the segment
// alive while it does, when the segment is shared.
std::shared_ptr<IAdobeResBlockEnumerator> TUserJPEGSegment::GetEnumerator() {
    if (!IsAdobeApp13()) {
        return CreateEmptyAdobeResBlockEnumerator();
    }
    GetData().SetPosition(GetAdobeHeaderSize());
    return std::make_shared<TAdobeResBlockEnumerator>(GetData(), weak_from_this().lock());
}

bool TUserJPEGSegment::IsIPTCBlock(bool checkID) {
    for (const auto& block : GetEnumerator()) {
        if (block->IsIPTCBlock(checkID)) {
            return true;
        }
    }
    return false;
}

} // namespace Kestrix::Exif
