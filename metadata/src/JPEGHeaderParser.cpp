#include "kestrix/BaseUtils.h"

#include <cstring>
#include <vector>

namespace Kestrix::Exif {

namespace {

// Finds FF D9 in entropy-coded data. A FF and the byte after it form a pair
// (FF 00 stuffing, RSTn), but a FF followed by another FF is a fill byte, so the
// second FF may still start FF D9. `pendingFF` carries a FF that ended the
// previous chunk. Returns the index of the byte after D9, or npos.
class TEndOfImageSearch {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t Find(std::span<const std::uint8_t> bytes) {
        std::size_t i = 0;
        while (i < bytes.size()) {
            if (FPendingFF) {
                const std::uint8_t byte = bytes[i++];
                if (byte == jmEOI) {
                    return i;
                }
                FPendingFF = byte == 0xFF;
                continue;
            }
            const void* next = std::memchr(bytes.data() + i, 0xFF, bytes.size() - i);
            if (next == nullptr) {
                return npos;
            }
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - bytes.data()) + 1;
            FPendingFF = true;
        }
        return npos;
    }

private:
    bool FPendingFF = false;
};

} // namespace

TJPEGSegmentIterator::TJPEGSegmentIterator(IJPEGHeaderParser& parser) : FParser(&parser) {
    ++*this;
}

TJPEGSegmentIterator& TJPEGSegmentIterator::operator++() {
    FCurrent = FParser != nullptr && FParser->MoveNext() ? FParser->GetCurrent() : nullptr;
    return *this;
}

// ---------------------------------------------------------------------------

TJPEGHeaderParser::TJPEGHeaderParser(TStream& stream, const TJPEGMarkers& markersToLookFor)
    : FMarkersToLookFor(markersToLookFor), FStream(&stream),
      FStreamOwnership(TStreamOwnership::soReference) {
    ReadStart();
}

TJPEGHeaderParser::TJPEGHeaderParser(std::shared_ptr<TStream> ownedStream,
                                     const TJPEGMarkers& markersToLookFor)
    : FMarkersToLookFor(markersToLookFor), FStream(ownedStream.get()),
      FOwnedStream(std::move(ownedStream)), FStreamOwnership(TStreamOwnership::soOwned) {
    ReadStart();
}

void TJPEGHeaderParser::ReadStart() {
    FStartPos = FStream->GetPosition();
    std::uint8_t start[2];
    FStream->ReadBuffer(start, sizeof start);
    if (start[0] != 0xFF || start[1] != jmSOI) {
        throw EInvalidJPEGHeader();
    }
    FSavedPos = FStartPos + 2;
}

void TJPEGHeaderParser::ReleaseStream() {
    FStream = nullptr;
    if (FStreamOwnership == TStreamOwnership::soOwned) {
        FOwnedStream.reset();
    }
}

bool TJPEGHeaderParser::MoveNext() {
    FCurrent.reset();
    if (FStream == nullptr || FLastMarker == jmEOI) {
        return false;
    }
    TStream& stream = *FStream;
    stream.SetPosition(FSavedPos);
    while (ReadByte(stream) == 0xFF) {
        std::uint8_t marker = ReadByte(stream);
        while (marker == 0xFF) {
            marker = ReadByte(stream);
        }
        FLastMarker = marker;
        std::int32_t dataSize = 0;
        if (!IsStandAloneJPEGMarker(marker)) {
            std::uint16_t length = 0;
            // A length below 2 would point back into the segment's own header.
            if (!TryReadWord(stream, TEndianness::BigEndian, length) || length < 2) {
                throw EReadError();
            }
            dataSize = length - 2;
        }
        if (FMarkersToLookFor.Contains(marker)) {
            FCurrent = std::make_shared<TFoundJPEGSegment>(marker, stream, dataSize);
            FSavedPos = stream.GetPosition();
            return true;
        }
        if (marker == jmEOI) {
            break;
        }
        stream.Seek(dataSize, TSeekOrigin::soCurrent);
    }
    if (FLastMarker == jmSOS && FMarkersToLookFor.Contains(jmEOI) && FindEndOfImage()) {
        return true;
    }
    // The run of segments is over: the scanner has nothing more to give.
    ReleaseStream();
    return false;
}

bool TJPEGHeaderParser::FindEndOfImage() {
    TStream& stream = *FStream;
    FSavedPos = stream.GetPosition();
    TEndOfImageSearch search;
    std::int64_t endOfImage = -1;
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream)) {
        const auto bytes = memory->GetBytes();
        if (static_cast<std::uint64_t>(FSavedPos) < bytes.size()) {
            const std::size_t found =
                search.Find(bytes.subspan(static_cast<std::size_t>(FSavedPos)));
            if (found != TEndOfImageSearch::npos) {
                endOfImage = FSavedPos + static_cast<std::int64_t>(found);
            }
        }
    } else {
        // Read in chunks rather than copying the rest of the file at once.
        std::vector<std::uint8_t> chunk(1 << 16);
        std::int64_t chunkStart = FSavedPos;
        while (endOfImage < 0) {
            const std::size_t count = stream.Read(chunk.data(), chunk.size());
            if (count == 0) {
                break;
            }
            const std::size_t found = search.Find(std::span(chunk.data(), count));
            if (found != TEndOfImageSearch::npos) {
                endOfImage = chunkStart + static_cast<std::int64_t>(found);
            }
            chunkStart += static_cast<std::int64_t>(count);
        }
    }
    if (endOfImage < 0) {
        stream.Seek(0, TSeekOrigin::soEnd);
        return false;
    }
    stream.SetPosition(endOfImage);
    FCurrent = std::make_shared<TFoundJPEGSegment>(jmEOI, stream, 0);
    FLastMarker = jmEOI;
    return true;
}

// ---------------------------------------------------------------------------

std::shared_ptr<IJPEGHeaderParser> ParseJPEGSegments(TStream& stream,
                                                     const TJPEGMarkers& markersToLookFor) {
    return std::make_shared<TJPEGHeaderParser>(stream, markersToLookFor);
}

std::shared_ptr<IJPEGHeaderParser> ParseJPEGSegments(std::shared_ptr<TStream> ownedStream,
                                                     const TJPEGMarkers& markersToLookFor) {
    return std::make_shared<TJPEGHeaderParser>(std::move(ownedStream), markersToLookFor);
}

bool IsJPEGStream(TStream& stream) {
    return MatchHeader(stream, JPEGFileHeader, true);
}

std::int64_t GetJPEGImageSize(TStream& stream) {
    const std::int64_t start = stream.GetPosition();
    struct TRestorePosition {
        TStream& FStream;
        std::int64_t FPosition;
        ~TRestorePosition() { FStream.SetPosition(FPosition); }
    } restore{stream, start};
    std::int64_t result = -1;
    for (const auto& segment : TJPEGHeaderParser(stream, {jmEOI})) {
        result = segment->GetOffset() + segment->GetTotalSize() - start;
    }
    return result >= 0 ? result : stream.GetSize() - start;
}

} // namespace Kestrix::Exif
