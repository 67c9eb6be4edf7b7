#include "kestrix/TiffUtils.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Kestrix::Exif {

namespace {

constexpr bool HostIsBigEndian = std::endian::native == std::endian::big;

// Reverses every group of `width` bytes.
void SwapElements(std::span<std::uint8_t> bytes, std::size_t width) {
    for (std::size_t i = 0; i + width <= bytes.size(); i += width) {
        std::reverse(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                     bytes.begin() + static_cast<std::ptrdiff_t>(i + width));
    }
}

// Sub-directory nesting deeper than any real file uses is refused, so a walk
// that follows every pointer stays shallow.
constexpr int MaxSubDirectoryDepth = 32;

} // namespace

TTiffParser::TTiffParser(TStream& stream) : FStream(&stream) {
    ReadHeader();
}

TTiffParser::TTiffParser(std::unique_ptr<TStream> stream)
    : FOwnedStream(std::move(stream)), FStream(FOwnedStream.get()) {
    ReadHeader();
}

TTiffParser::TTiffParser(TStream& stream, std::int64_t basePosition, TEndianness endianness)
    : FBasePosition(basePosition), FEndianness(endianness), FStream(&stream) {
    FMaxOffsetValue = FStream->GetSize() - FBasePosition - 4;
}

void TTiffParser::ReadHeader() {
    FBasePosition = FStream->GetPosition();
    if (!CheckTiffHeader(*FStream, FEndianness, true) ||
        !TryReadLongInt(*FStream, FEndianness, FFirstDirOffset)) {
        throw EInvalidTiffData();
    }
    FMaxOffsetValue = FStream->GetSize() - FBasePosition - 4;
}

TTiffParserEnumerator TTiffParser::GetEnumerator() {
    return TTiffParserEnumerator(shared_from_this(), FMaxOffsetValue, FFirstDirOffset);
}

void TTiffParser::LoadTagData(const TTiffTagInfo& tagInfo, std::span<std::uint8_t> buffer) {
    const auto dataSize = static_cast<std::size_t>(tagInfo.DataSize());
    if (dataSize == 0) {
        return;
    }
    if (buffer.size() < dataSize) {
        throw ERangeError();
    }
    const std::span<std::uint8_t> data = buffer.first(dataSize);
    FStream->SetPosition(FBasePosition + tagInfo.DataOffset);
    FStream->ReadBuffer(data.data(), data.size());
    if ((FEndianness == TEndianness::BigEndian) != HostIsBigEndian) {
        SwapElements(data, static_cast<std::size_t>(TiffByteOrderUnit(tagInfo.DataType)));
    }
}

std::shared_ptr<IFoundTiffDirectory> TTiffParser::ParseSubDirectory(ITiffTag& offsetTag) {
    if (!IsSubDirectoryPointer(offsetTag.GetID(), offsetTag.GetDataType(),
                               offsetTag.GetElementCount())) {
        return nullptr;
    }
    // The tag's data is in host byte order already.
    const auto bytes = offsetTag.GetData().GetBytes();
    std::uint32_t offset = 0;
    if (TiffElementSize(offsetTag.GetDataType()) == 2 && bytes.size() >= 2) {
        std::uint16_t value = 0;
        std::memcpy(&value, bytes.data(), sizeof(value));
        offset = value;
    } else if (bytes.size() >= 4) {
        std::memcpy(&offset, bytes.data(), sizeof(offset));
    } else {
        return nullptr;
    }
    return ParseSubDirectoryAt(offsetTag.GetParent(), offsetTag.GetID(), offset);
}

std::shared_ptr<IFoundTiffDirectory>
TTiffParser::ParseSubDirectory(std::shared_ptr<ITiffDirectory> parent,
                               const TTiffTagInfo& offsetTag) {
    if (!IsSubDirectoryPointer(offsetTag.ID, offsetTag.DataType, offsetTag.ElementCount)) {
        return nullptr;
    }
    std::array<std::uint8_t, 4> bytes{};
    LoadTagData(offsetTag, bytes);
    std::uint32_t offset = 0;
    if (TiffElementSize(offsetTag.DataType) == 2) {
        std::uint16_t value = 0;
        std::memcpy(&value, bytes.data(), sizeof(value));
        offset = value;
    } else {
        std::memcpy(&offset, bytes.data(), sizeof(offset));
    }
    return ParseSubDirectoryAt(std::move(parent), offsetTag.ID, offset);
}

std::shared_ptr<IFoundTiffDirectory>
TTiffParser::ParseSubDirectoryAt(std::shared_ptr<ITiffDirectory> parent, TTiffTagID id,
                                 std::uint32_t offset) {
    // A pointer into the header, or back to a directory on the path that led
    // here, would make a walk that follows pointers endless.
    if (offset < 8) {
        return nullptr;
    }
    int depth = 0;
    for (const ITiffDirectory* ancestor = parent.get(); ancestor != nullptr;
         ancestor = ancestor->GetParent().get()) {
        if (++depth >= MaxSubDirectoryDepth) {
            return nullptr;
        }
        const auto* found = dynamic_cast<const TFoundTiffDirectory*>(ancestor);
        if (found != nullptr && found->GetParser().get() == this && found->GetOffset() == offset) {
            return nullptr;
        }
    }
    return TFoundTiffDirectory::TryCreate(shared_from_this(), std::move(parent), id, offset);
}

std::shared_ptr<ITiffParser> CreateTiffParser(TStream& stream) {
    return std::make_shared<TTiffParser>(stream);
}

std::shared_ptr<ITiffParser> CreateTiffParser(std::unique_ptr<TStream> stream) {
    return std::make_shared<TTiffParser>(std::move(stream));
}

std::shared_ptr<IFoundTiffDirectory> ParseDirectoryAt(TStream& stream, TEndianness endianness,
                                                      std::int64_t basePosition,
                                                      std::int64_t offset,
                                                      std::int64_t internalOffset) {
    auto parser = std::make_shared<TTiffParser>(stream, basePosition, endianness);
    return TFoundTiffDirectory::Create(std::move(parser), nullptr, -1, offset, internalOffset);
}

} // namespace Kestrix::Exif
