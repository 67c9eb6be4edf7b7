#include "kestrix/TiffUtils.h"

namespace Kestrix::Exif {

void TSimpleTiffRewriteCallbackImpl::AddTagsToWrite(TTiffDirectoryRewriter& rewriter) {
    const std::shared_ptr<ITiffDirectory>& source = rewriter.GetSource();
    const bool isMainImage = source && !source->GetParent() && source->GetIndex() == 0;
    if (isMainImage && !FOwner.Empty()) {
        rewriter.AddTag(FMetadataTagID, FOwner, TTiffDataType::tdUndefined);
    }
}

void TSimpleTiffRewriteCallbackImpl::FilterOldTag(const ITiffDirectory& source, TTiffTagID tagID,
                                                  bool& rewrite, TTiffDataType /*dataType*/) {
    if (tagID == FMetadataTagID && !source.GetParent()) {
        rewrite = false;
    }
}

} // namespace Kestrix::Exif
