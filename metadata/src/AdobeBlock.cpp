#include "kestrix/BaseUtils.h"

#include <limits>

namespace Kestrix::Exif {

namespace {

constexpr std::size_t MaxNameLength = 255;

// Reads `count` bytes only when they all lie before `endPos`; otherwise reads
// nothing and reports false, like the other Try readers.
bool TryReadBefore(TStream& stream, std::int64_t endPos, void* buffer, std::size_t count) {
    const std::int64_t position = stream.GetPosition();
    if (position > endPos ||
        static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(endPos - position)) {
        return false;
    }
    return TryReadBuffer(stream, buffer, count);
}

// Length byte and name together take an even number of bytes.
std::size_t NamePadSize(std::size_t nameLength) {
    return nameLength % 2 == 0 ? 1 : 0;
}

// The data is padded to an even size.
std::size_t DataPadSize(std::size_t dataSize) {
    return dataSize % 2;
}

} // namespace

TAdobeBlock::TAdobeBlock() {
    Reset();
}

TAdobeBlock::TAdobeBlock(TStream& stream) : TAdobeBlock() {
    LoadFromStream(stream);
}

TAdobeBlock::TAdobeBlock(std::string_view signature, std::uint16_t typeID, std::string_view name,
                         IStreamPersist* dataSource)
    : TMetadataBlock(dataSource), FLoadedCleanly(true), FTypeID(typeID), FName(name) {
    SetSignature(signature);
    GetData().SetPosition(0);
}

void TAdobeBlock::Reset() {
    GetData().Clear();
    FSignature.assign("\0   ", 4);
    FTypeID = 0;
    FName.clear();
    FLoadedCleanly = false;
}

void TAdobeBlock::SetSignature(std::string_view value) {
    if (value.size() >= 4) {
        FSignature.assign(value.substr(0, 4));
        return;
    }
    FSignature.assign(value);
    FSignature.push_back('\0');
    FSignature.resize(4, ' ');
}

std::int64_t TAdobeBlock::GetTotalSize() const {
    const std::size_t nameLength = std::min(FName.size(), MaxNameLength);
    const std::size_t dataSize = GetData().GetMemorySize();
    return static_cast<std::int64_t>(4 + 2 + 1 + nameLength + NamePadSize(nameLength) + 4 +
                                     dataSize + DataPadSize(dataSize));
}

void TAdobeBlock::LoadFromStream(TStream& stream) {
    LoadFromStream(stream, stream.GetSize());
}

void TAdobeBlock::LoadFromStream(TStream& stream, std::int64_t endPos) {
    Reset();
    endPos = std::min(endPos, stream.GetSize());

    // Signature, type ID, name length.
    std::array<std::uint8_t, 7> head{};
    if (!TryReadBefore(stream, endPos, head.data(), head.size())) {
        return;
    }
    FSignature.assign(reinterpret_cast<const char*>(head.data()), 4);
    FTypeID = static_cast<std::uint16_t>((head[4] << 8) | head[5]);
    const std::size_t nameLength = head[6];

    std::string name(nameLength, '\0');
    if (!TryReadBefore(stream, endPos, name.data(), nameLength)) {
        return;
    }
    FName = std::move(name);
    std::uint8_t pad = 0;
    if (NamePadSize(nameLength) != 0 && !TryReadBefore(stream, endPos, &pad, 1)) {
        return;
    }

    std::array<std::uint8_t, 4> sizeBytes{};
    if (!TryReadBefore(stream, endPos, sizeBytes.data(), sizeBytes.size())) {
        return;
    }
    const auto dataSize = static_cast<std::int32_t>(
        (std::uint32_t{sizeBytes[0]} << 24) | (std::uint32_t{sizeBytes[1]} << 16) |
        (std::uint32_t{sizeBytes[2]} << 8) | std::uint32_t{sizeBytes[3]});
    if (dataSize < 0) {
        return;
    }
    if (dataSize > 0) {
        // Checked before anything is allocated, so a claimed size never
        // reserves more than the run holds.
        const std::int64_t position = stream.GetPosition();
        if (position > endPos || dataSize > endPos - position) {
            return;
        }
        GetData().CopyFrom(stream, dataSize);
        GetData().SetPosition(0);
        if (DataPadSize(static_cast<std::size_t>(dataSize)) != 0 &&
            !TryReadBefore(stream, endPos, &pad, 1)) {
            return;
        }
    }
    FLoadedCleanly = true;
}

void TAdobeBlock::SaveToStream(TStream& stream) {
    const std::size_t nameLength = std::min(FName.size(), MaxNameLength);
    const std::size_t dataSize = GetData().GetMemorySize();
    if (dataSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ERangeError();
    }
    constexpr std::uint8_t zero = 0;
    WriteBytes(stream, FSignature);
    WriteWord(stream, FTypeID, TEndianness::BigEndian);
    const auto lengthByte = static_cast<std::uint8_t>(nameLength);
    stream.WriteBuffer(&lengthByte, 1);
    stream.WriteBuffer(FName.data(), nameLength);
    if (NamePadSize(nameLength) != 0) {
        stream.WriteBuffer(&zero, 1);
    }
    WriteLongInt(stream, static_cast<std::int32_t>(dataSize), TEndianness::BigEndian);
    stream.WriteBuffer(GetData().GetMemory(), dataSize);
    if (DataPadSize(dataSize) != 0) {
        stream.WriteBuffer(&zero, 1);
    }
}

std::shared_ptr<IAdobeResBlock> CreateAdobeBlock(std::uint16_t typeID, IStreamPersist* dataSource) {
    return std::make_shared<TAdobeBlock>(AdobeResBlockSignature, typeID, std::string_view{},
                                         dataSource);
}

} // namespace Kestrix::Exif
