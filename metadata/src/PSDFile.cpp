#include "kestrix/BaseUtils.h"

#include <limits>
#include <numeric>

namespace Kestrix::Exif {

namespace {

std::uint16_t ReadPSDWord(TStream& stream) {
    std::uint16_t value = 0;
    if (!TryReadWord(stream, TEndianness::BigEndian, value)) {
        throw EReadError();
    }
    return value;
}

std::int32_t ReadPSDLongInt(TStream& stream) {
    std::int32_t value = 0;
    if (!TryReadLongInt(stream, TEndianness::BigEndian, value)) {
        throw EReadError();
    }
    return value;
}

// A section length: missing or negative means the header is broken.
std::int32_t ReadPSDLength(TStream& stream) {
    std::int32_t value = 0;
    if (!TryReadLongInt(stream, TEndianness::BigEndian, value) || value < 0) {
        throw EInvalidPSDHeader();
    }
    return value;
}

std::int32_t CheckedLength(std::int64_t length) {
    if (length < 0 || length > std::numeric_limits<std::int32_t>::max()) {
        throw ERangeError();
    }
    return static_cast<std::int32_t>(length);
}

} // namespace

TAdobeResBlockParser::TAdobeResBlockParser(TStream& stream, TPSDInfo& info)
    : TAdobeResBlockEnumerator(stream) {
    ReadHeader(info);
}

TAdobeResBlockParser::TAdobeResBlockParser(std::shared_ptr<TStream> ownedStream, TPSDInfo& info)
    : TAdobeResBlockEnumerator(std::move(ownedStream)) {
    ReadHeader(info);
}

void TAdobeResBlockParser::ReadHeader(TPSDInfo& info) {
    TStream& stream = *GetStream();
    info = TPSDInfo{};
    if (!MatchHeader(stream, PSDHeaderPrefix, false)) {
        throw EInvalidPSDHeader();
    }
    auto& header = info.Header;
    header.Channels = ReadPSDWord(stream);
    header.Height = ReadPSDLongInt(stream);
    header.Width = ReadPSDLongInt(stream);
    header.Depth = ReadPSDWord(stream);
    header.ColorMode = static_cast<TAdobeColorMode>(ReadPSDWord(stream));

    const std::int32_t paletteSize = ReadPSDLength(stream);
    // Checked before allocating: the palette cannot claim more than the file holds.
    if (paletteSize > stream.BytesLeft()) {
        throw EReadError();
    }
    header.PaletteData.resize(static_cast<std::size_t>(paletteSize));
    stream.ReadBuffer(header.PaletteData.data(), header.PaletteData.size());

    const std::int32_t resourcesSize = ReadPSDLength(stream);
    info.ResourceSectionSize = std::int64_t{resourcesSize} + 4;
    const std::int64_t resourcesStart = stream.GetPosition();
    const std::int64_t resourcesEnd = resourcesStart + resourcesSize;
    SetRun(resourcesStart, std::min(resourcesEnd, stream.GetSize()));

    stream.SetPosition(resourcesEnd);
    info.LayersSectionSize = std::int64_t{ReadPSDLength(stream)} + 4;
}

bool IsPSDStream(TStream& stream) {
    return MatchHeader(stream, PSDHeaderPrefix, true);
}

std::shared_ptr<IAdobeResBlockParser> ParsePSDResources(TStream& stream, TPSDInfo& info) {
    return std::make_shared<TAdobeResBlockParser>(stream, info);
}

std::shared_ptr<IAdobeResBlockParser> ParsePSDResources(std::shared_ptr<TStream> ownedStream,
                                                        TPSDInfo& info) {
    return std::make_shared<TAdobeResBlockParser>(std::move(ownedStream), info);
}

void WritePSDHeader(TStream& stream, const TPSDInfo& info) {
    const auto& header = info.Header;
    const std::int32_t paletteSize =
        CheckedLength(static_cast<std::int64_t>(header.PaletteData.size()));
    WriteBytes(stream, PSDHeaderPrefix);
    WriteWord(stream, header.Channels, TEndianness::BigEndian);
    WriteLongInt(stream, header.Height, TEndianness::BigEndian);
    WriteLongInt(stream, header.Width, TEndianness::BigEndian);
    WriteWord(stream, header.Depth, TEndianness::BigEndian);
    WriteWord(stream, static_cast<std::uint16_t>(header.ColorMode), TEndianness::BigEndian);
    WriteLongInt(stream, paletteSize, TEndianness::BigEndian);
    stream.WriteBuffer(header.PaletteData);
}

void WritePSDResourceSection(TStream& stream, TAdobeResBlockArray blocks) {
    const std::int64_t total =
        std::accumulate(blocks.begin(), blocks.end(), std::int64_t{0},
                        [](std::int64_t sum, const std::shared_ptr<IAdobeResBlock>& block) {
                            return block ? sum + block->GetTotalSize() : sum;
                        });
    WriteLongInt(stream, CheckedLength(total), TEndianness::BigEndian);
    for (const auto& block : blocks) {
        if (block) {
            block->SaveToStream(stream);
        }
    }
}

void WritePSDResourceSection(TStream& stream, const TMetadataBlockList* blocks) {
    TAdobeResBlockList adobeBlocks;
    if (blocks != nullptr) {
        for (const auto& entry : *blocks) {
            if (auto block = std::dynamic_pointer_cast<IAdobeResBlock>(entry)) {
                adobeBlocks.push_back(std::move(block));
            }
        }
    }
    WritePSDResourceSection(stream, adobeBlocks);
}

} // namespace Kestrix::Exif
