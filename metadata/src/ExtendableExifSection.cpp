// Sections that may gain tags: adding from a persistent source, copying.
#include "kestrix/Exif.h"

#include <vector>

namespace Kestrix::Exif {

TExifTag& TExtendableExifSection::AddOrUpdate(TTiffTagID id, TTiffDataType dataType,
                                              IStreamPersist& source) {
    TMemoryStream stream;
    source.SaveToStream(stream);
    const std::int64_t elementSize = TiffElementSize(dataType);
    if (elementSize == 0) {
        throw ERangeError();
    }
    const std::int64_t elementCount = (stream.GetSize() + elementSize - 1) / elementSize;
    if (elementCount > INT32_MAX) {
        throw ERangeError();
    }
    // The last element is padded with zero bytes.
    std::vector<std::uint8_t> data = stream.TakeBytes();
    data.resize(static_cast<std::size_t>(elementCount * elementSize), 0);
    return AddOrUpdate(id, dataType, static_cast<std::int32_t>(elementCount), data.data());
}

void TExtendableExifSection::Assign(const TExifSection* source) {
    if (source == this) {
        return;
    }
    InUpdateBracket([&] {
        Clear();
        if (source != nullptr) {
            CopyTags(*source);
        }
    });
}

void TExtendableExifSection::CopyTags(const TExifSection& section) {
    if (&section == this) {
        return;
    }
    for (const TExifTag& tag : section) {
        AddOrUpdate(tag.GetID(), tag.GetDataType(), tag.GetElementCount(), tag.GetBytes().data());
    }
}

} // namespace Kestrix::Exif
