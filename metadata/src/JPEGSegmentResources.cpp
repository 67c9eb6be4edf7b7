#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

// The Adobe resource blocks of an APP13 segment. Until their reader is linked
// in, a segment yields none, so none is an IPTC block.
std::shared_ptr<IAdobeResBlockEnumerator> TUserJPEGSegment::GetEnumerator() {
    return nullptr;
}

bool TUserJPEGSegment::IsIPTCBlock(bool /*checkID*/) {
    return false;
}

} // namespace Kestrix::Exif
