#include "TiffRewriteSupport.h"

#include <algorithm>
#include <vector>

namespace Kestrix::Exif {

namespace {

// A value field holds 4 bytes whatever the value's size.
constexpr std::int64_t ValueFieldSize = 4;

std::int64_t WrittenSize(std::int32_t dataSize) {
    return std::max<std::int64_t>(dataSize, ValueFieldSize);
}

} // namespace

void TInternaTiffTagToWrite::SetKind(TKind kind) {
    FKind = kind;
    if (kind != TKind::itNormal && FInfo.DataType == TTiffDataType::tdShort) {
        FInfo.DataType = TTiffDataType::tdLong;
    }
}

void TInternaTiffTagToWrite::WriteData(TStream& stream, TEndianness endianness) {
    if (FKind == TKind::itNormal) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(FSourceInfo.DataSize()));
        FParser->LoadTagData(FSourceInfo, data);
        WriteTiffElements(stream, endianness, FSourceInfo.DataType, data);
        WriteTiffPadding(stream, static_cast<std::int64_t>(data.size()), ValueFieldSize);
        return;
    }
    const TTiffDirectoryRewriter::TImageInfo& blocks = GetParent().GetImageInfo();
    for (const TTiffDirectoryRewriter::TImageItem& block : blocks) {
        WriteLongWord(stream, FKind == TKind::itImageOffsets ? block.NewOffset : block.ByteCount,
                      endianness);
    }
    WriteTiffPadding(stream, 4 * static_cast<std::int64_t>(blocks.size()), WrittenSize(DataSize()));
}

TExternalTiffTagToWrite::TExternalTiffTagToWrite(TTiffDirectoryRewriter& parent,
                                                 std::shared_ptr<ITiffTag> source)
    : TTagToWrite(parent, TTiffTagInfo{.HeaderOffset = 0,
                                       .DataOffset = source->GetOriginalDataOffset(),
                                       .ID = source->GetID(),
                                       .DataType = source->GetDataType(),
                                       .ElementCount = source->GetElementCount()}),
      FTag(std::move(source)) {}

void TExternalTiffTagToWrite::WriteData(TStream& stream, TEndianness endianness) {
    const std::span<const std::uint8_t> data = FTag->GetData().GetBytes();
    const int elementSize = TiffElementSize(FInfo.DataType);
    std::size_t written = 0;
    if (elementSize != 0 && FInfo.ElementCount > 0) {
        const std::size_t elements = std::min<std::size_t>(
            static_cast<std::size_t>(FInfo.ElementCount), data.size() / elementSize);
        written = elements * static_cast<std::size_t>(elementSize);
        WriteTiffElements(stream, endianness, FInfo.DataType, data.first(written));
    }
    WriteTiffPadding(stream, static_cast<std::int64_t>(written), WrittenSize(DataSize()));
}

TTiffSubDirToWrite::TTiffSubDirToWrite(TTiffDirectoryRewriter& parent, TTiffTagID id,
                                       std::uint32_t oldDataOffset,
                                       std::unique_ptr<TTiffDirectoryRewriter> directory)
    : TTagToWrite(parent, TTiffTagInfo{.HeaderOffset = 0,
                                       .DataOffset = oldDataOffset,
                                       .ID = id,
                                       .DataType = TTiffDataType::tdLong,
                                       .ElementCount = 1}),
      FDirectory(std::move(directory)) {}

void TTiffSubDirToWrite::WriteData(TStream& stream, TEndianness endianness) {
    WriteLongWord(stream, FDirectory->GetNewIFDOffset(), endianness);
}

} // namespace Kestrix::Exif
