#include "kestrix/TiffUtils.h"

namespace Kestrix::Exif {

TFoundTiffTag::TFoundTiffTag(std::shared_ptr<TFoundTiffDirectory> parent, std::int32_t index)
    : FParent(std::move(parent)) {
    if (!FParent || index < 0 || index >= FParent->GetCount()) {
        throw EAssertionFailed();
    }
    // A copy of the entry, so the tag needs nothing of the directory's storage.
    FInfo = FParent->GetTags()[static_cast<std::size_t>(index)];
    TDataStream& data = GetData();
    data.SetSize(FInfo.DataSize());
    FParent->GetParser()->LoadTagData(FInfo, data.GetMutableBytes());
    data.SetDisableChanges(true);
}

TFoundTiffTag::TFoundTiffTag(TTiffTagID id, TTiffDataType dataType, IStreamPersistEx* dataSource)
    : TMetadataBlock(dataSource) {
    FInfo.ID = id;
    FInfo.DataType = dataType;
    const int elementSize = TiffElementSize(dataType);
    TDataStream& data = GetData();
    if (dataSource != nullptr) {
        FInfo.ElementCount =
            elementSize == 0 ? 0 : static_cast<std::int32_t>(data.GetSize() / elementSize);
    } else {
        FInfo.ElementCount = 1;
        data.SetSize(elementSize);
    }
    data.SetPosition(0);
}

} // namespace Kestrix::Exif
