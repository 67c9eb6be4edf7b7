#include "kestrix/BaseUtils.h"

#include <vector>

namespace Kestrix::Exif {

namespace {

void CheckSegmentDataSize(std::int64_t size) {
    if (size < 0 || size > MaxJPEGSegmentDataSize) {
        throw EJPEGSegmentTooLarge();
    }
}

// FF, the marker, then the big-endian length word that counts itself.
void WriteSegmentHeader(TStream& stream, std::uint8_t marker, std::int64_t dataSize) {
    const auto length = static_cast<std::uint16_t>(dataSize + 2);
    const std::uint8_t header[4] = {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length & 0xFF)};
    stream.WriteBuffer(header, sizeof header);
}

} // namespace

void WriteJPEGStart(TStream& stream) {
    WriteBytes(stream, JPEGFileHeader);
}

void WriteJPEGSegment(TStream& stream, std::uint8_t marker, std::span<const std::uint8_t> data) {
    CheckSegmentDataSize(static_cast<std::int64_t>(data.size()));
    WriteSegmentHeader(stream, marker, static_cast<std::int64_t>(data.size()));
    if (!data.empty()) {
        stream.WriteBuffer(data);
    }
}

void WriteJPEGSegment(TStream& stream, std::uint8_t marker, TStream& data, std::int64_t count) {
    if (count == 0) {
        data.SetPosition(0);
        count = data.GetSize();
        if (count == 0) {
            WriteSegmentHeader(stream, marker, 0);
            return;
        }
    }
    CheckSegmentDataSize(count);
    if (count > data.BytesLeft()) {
        throw EReadError();
    }
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&data)) {
        const auto position = static_cast<std::size_t>(memory->GetPosition());
        WriteJPEGSegment(stream, marker,
                         memory->GetBytes().subspan(position, static_cast<std::size_t>(count)));
        memory->Seek(count, TSeekOrigin::soCurrent);
        return;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count));
    data.ReadBuffer(buffer.data(), buffer.size());
    WriteJPEGSegment(stream, marker, buffer);
}

void WriteJPEGSegment(TStream& stream, IJPEGSegment& segment) {
    WriteJPEGSegment(stream, segment.GetMarkerNum(), segment.GetData(), 0);
}

} // namespace Kestrix::Exif
