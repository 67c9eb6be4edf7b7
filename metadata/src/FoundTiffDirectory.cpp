#include "kestrix/TiffUtils.h"

#include <array>
#include <cstring>

namespace Kestrix::Exif {

namespace {

// Walks a loaded directory's entries, making a tag object for each on demand.
class TFoundTiffDirectoryEnumerator final : public ITiffDirectoryEnumerator {
public:
    explicit TFoundTiffDirectoryEnumerator(std::shared_ptr<TFoundTiffDirectory> source)
        : FSource(std::move(source)) {}

    std::shared_ptr<ITiffTag> Current() override {
        return std::make_shared<TFoundTiffTag>(FSource, FCurrentIndex);
    }
    bool MoveNext() override {
        if (FCurrentIndex >= FSource->GetCount() - 1) {
            return false;
        }
        ++FCurrentIndex;
        return true;
    }

private:
    std::int32_t FCurrentIndex = -1;
    std::shared_ptr<TFoundTiffDirectory> FSource;
};

const TTiffDataTypes ThumbnailOffsetTypes = {TTiffDataType::tdShort, TTiffDataType::tdLong,
                                             TTiffDataType::tdIFD};
// Every code a set can hold, so that "any type" includes malformed codes too.
const TTiffDataTypes AnyTypeCode = TTiffDataTypes::FromBits(0xFFFF);

} // namespace

TFoundTiffDirectory::TFoundTiffDirectory(TPrivate, std::shared_ptr<ITiffParser> parser,
                                         std::shared_ptr<ITiffDirectory> parent, std::int32_t index,
                                         std::int64_t offset, std::int64_t internalOffset)
    : FIndex(index), FParent(std::move(parent)), FParser(std::move(parser)), FOffset(offset) {
    FTags = LoadDirectoryEntries(FParser->GetStream(), FParser->GetEndianness(), FLoadErrors,
                                 FParser->GetBasePosition(), offset, internalOffset);
}

std::shared_ptr<TFoundTiffDirectory>
TFoundTiffDirectory::Create(std::shared_ptr<ITiffParser> parser,
                            std::shared_ptr<ITiffDirectory> parent, std::int32_t index,
                            std::int64_t offset, std::int64_t internalOffset) {
    return std::make_shared<TFoundTiffDirectory>(TPrivate{}, std::move(parser), std::move(parent),
                                                 index, offset, internalOffset);
}

std::shared_ptr<TFoundTiffDirectory>
TFoundTiffDirectory::TryCreate(std::shared_ptr<ITiffParser> parser,
                               std::shared_ptr<ITiffDirectory> parent, std::int32_t index,
                               std::int64_t offset) {
    auto directory = Create(std::move(parser), std::move(parent), index, offset, 0);
    if (directory->FLoadErrors.Empty() || directory->FTags.size() > 2) {
        return directory;
    }
    return nullptr;
}

std::unique_ptr<ITiffDirectoryEnumerator> TFoundTiffDirectory::GetEnumerator() {
    return std::make_unique<TFoundTiffDirectoryEnumerator>(shared_from_this());
}

int TFoundTiffDirectory::FindIndex(TTiffTagID id) const {
    for (std::size_t i = 0; i < FTags.size(); ++i) {
        if (FTags[i].ID >= id) {
            return FTags[i].ID == id ? static_cast<int>(i) : -1;
        }
    }
    return -1;
}

std::shared_ptr<ITiffTag> TFoundTiffDirectory::FindTag(TTiffTagID id) {
    const int index = FindIndex(id);
    if (index < 0) {
        return nullptr;
    }
    return std::make_shared<TFoundTiffTag>(shared_from_this(), index);
}

bool TFoundTiffDirectory::TagExists(TTiffTagID id, TTiffDataTypes validDataTypes,
                                    std::int32_t minElementCount, std::int32_t maxElementCount) {
    const int index = FindIndex(id);
    if (index < 0) {
        return false;
    }
    const TTiffTagInfo& info = FTags[static_cast<std::size_t>(index)];
    return validDataTypes.Contains(info.DataType) && info.ElementCount >= minElementCount &&
           info.ElementCount <= maxElementCount;
}

bool TFoundTiffDirectory::IsThumbnailDirectory() {
    using namespace TagIDs;
    return FIndex == 1 && IsLastDirectory() &&
           TagExists(ttJPEGInterchangeFormat, ThumbnailOffsetTypes, 1, 1) &&
           !TagExists(ttStripOffsets, AnyTypeCode, 1, INT32_MAX) &&
           !TagExists(ttTileOffsets, AnyTypeCode, 1, INT32_MAX);
}

bool TFoundTiffDirectory::TryLoadThumbnail(IStreamPersist& dest) {
    try {
        const int index = FindIndex(TagIDs::ttJPEGInterchangeFormat);
        if (index < 0) {
            return false;
        }
        const TTiffTagInfo& info = FTags[static_cast<std::size_t>(index)];
        if (!ThumbnailOffsetTypes.Contains(info.DataType) || info.ElementCount != 1) {
            return false;
        }
        std::array<std::uint8_t, 4> bytes{};
        FParser->LoadTagData(info, bytes);
        std::uint32_t offset = 0;
        if (info.DataType == TTiffDataType::tdShort) {
            std::uint16_t value = 0;
            std::memcpy(&value, bytes.data(), sizeof(value));
            offset = value;
        } else {
            std::memcpy(&offset, bytes.data(), sizeof(offset));
        }
        TStream& stream = FParser->GetStream();
        stream.SetPosition(FParser->GetBasePosition() + offset);
        if (!IsJPEGStream(stream)) {
            return false;
        }
        const std::int64_t size = GetJPEGImageSize(stream);
        if (size <= 0) {
            return false;
        }
        if (size == stream.BytesLeft()) {
            dest.LoadFromStream(stream);
        } else {
            TMemoryStream thumbnail;
            thumbnail.CopyFrom(stream, size);
            thumbnail.SetPosition(0);
            dest.LoadFromStream(thumbnail);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace Kestrix::Exif
