// Loading and saving the IPTC container in JPEG, PSD and TIFF files.
#include "kestrix/IPTC.h"
#include "kestrix/StreamHelper.h"

#include <algorithm>

namespace Kestrix::Exif {

namespace {

bool IsTiffStream(TStream& stream) {
    TEndianness endianness;
    return CheckTiffHeader(stream, endianness, false);
}

bool IsIPTCResource(IAdobeResBlock& block) {
    return block.IsIPTCBlock(true);
}

// The bytes [from, to) of the input; nothing for an empty range (CopyFrom
// would take a count of 0 as the whole stream).
void CopyRange(TStream& input, TStream& output, std::int64_t from, std::int64_t to) {
    if (to > from) {
        input.SetPosition(from);
        output.CopyFrom(input, to - from);
    }
}

// The tag's bytes as the file stores them. The parser hands data over in host
// byte order, element by element, so a multi-byte type from a big-endian file
// is turned back.
std::vector<std::uint8_t> RawTagBytes(ITiffTag& tag, TEndianness fileEndianness) {
    TCustomMemoryStream& data = tag.GetData();
    std::vector<std::uint8_t> bytes(data.GetMemory(), data.GetMemory() + data.GetMemorySize());
    const TTiffDataType type = tag.GetDataType();
    const bool pairs = type == TTiffDataType::tdRational || type == TTiffDataType::tdSRational;
    const int unit = pairs ? 4 : TiffElementSize(type);
    if (fileEndianness == TEndianness::BigEndian && unit > 1) {
        const auto step = static_cast<std::size_t>(unit);
        for (std::size_t at = 0; at + step <= bytes.size(); at += step) {
            std::reverse(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + step));
        }
    }
    return bytes;
}

} // namespace

// ---------------------------------------------------------------------------
// Loading

bool TIPTCData::LoadFromGraphic(TStream& stream) {
    if (IsJPEGStream(stream)) {
        for (const auto& segment : ParseJPEGSegments(stream, {jmApp13})) {
            for (const auto& block : segment->GetEnumerator()) {
                if (IsIPTCResource(*block)) {
                    TStream& data = block->GetData();
                    data.SetPosition(0);
                    LoadFromStream(data);
                    return true;
                }
            }
        }
        Clear();
        return true;
    }
    if (IsPSDStream(stream)) {
        TPSDInfo info;
        for (const auto& block : ParsePSDResources(stream, info)) {
            if (IsIPTCResource(*block)) {
                TStream& data = block->GetData();
                data.SetPosition(0);
                LoadFromStream(data);
                return true;
            }
        }
        Clear();
        return true;
    }
    if (IsTiffStream(stream)) {
        const auto parser = CreateTiffParser(stream);
        for (const auto& directory : *parser) {
            if (const auto tag = directory->FindTag(TagIDs::ttIPTC)) {
                const std::vector<std::uint8_t> bytes = RawTagBytes(*tag, parser->GetEndianness());
                TUserMemoryStream data(bytes.data(), bytes.size());
                LoadFromStream(data);
                return true;
            }
            break; // only the first directory carries the IPTC
        }
        Clear();
        return true;
    }
    Clear();
    return false;
}

bool TIPTCData::LoadFromGraphic(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    return LoadFromGraphic(stream);
}

bool TIPTCData::LoadFromGraphic(IStreamPersist& graphic) {
    TMemoryStream stream;
    graphic.SaveToStream(stream);
    stream.SetPosition(0);
    return LoadFromGraphic(stream);
}

// ---------------------------------------------------------------------------
// Saving

namespace {

// The IPTC block a saver puts first (none when the container is empty).
std::array<TNewAdobeBlock, 1> NewIPTCBlock(TIPTCData& data) {
    return {TNewAdobeBlock{AdobeResIPTC, &data}};
}

// The new IPTC goes first into the first Adobe APP13 segment; later Adobe
// segments keep only their other blocks. Without any Adobe APP13 segment a new
// one goes before the first segment that is not APP0 or APP1; a JPEG with no
// such segment is refused.
void WriteJPEG(TIPTCData& data, TStream& input, TStream& output) {
    const auto newBlock = NewIPTCBlock(data);
    bool written = data.Empty();
    std::int64_t copyPos = 0;
    for (const auto& segment : ParseJPEGSegments(input, {jmApp13})) {
        if (!segment->IsAdobeApp13()) {
            continue;
        }
        const std::span<const TNewAdobeBlock> newBlocks =
            written ? std::span<const TNewAdobeBlock>() : std::span<const TNewAdobeBlock>(newBlock);
        const auto rebuilt = RebuildAdobeApp13Segment(segment.get(), newBlocks, IsIPTCResource);
        written = true;
        CopyRange(input, output, copyPos, segment->GetOffset());
        WriteJPEGSegment(output, *rebuilt);
        copyPos = segment->GetOffset() + segment->GetTotalSize();
    }
    if (!written) {
        input.SetPosition(0);
        TJPEGMarkers markers = TJPEGMarkers::All();
        markers.Exclude(jmApp0);
        markers.Exclude(jmApp1);
        for (const auto& segment : ParseJPEGSegments(input, markers)) {
            if (segment->GetOffset() < copyPos) {
                continue;
            }
            const auto app13 = RebuildAdobeApp13Segment(nullptr, newBlock, IsIPTCResource);
            CopyRange(input, output, copyPos, segment->GetOffset());
            WriteJPEGSegment(output, *app13);
            copyPos = segment->GetOffset();
            written = true;
            break;
        }
        // No segment to put the new one before: the data would be lost while
        // the save looked successful.
        if (!written) {
            throw EInvalidJPEGHeader();
        }
    }
    CopyRange(input, output, copyPos, input.GetSize());
}

void WritePSD(TIPTCData& data, TStream& input, TStream& output) {
    RewritePSDResources(input, output, NewIPTCBlock(data), IsIPTCResource);
}

bool HasFirstDirectory(TStream& input) {
    const std::int64_t start = input.GetPosition();
    const auto parser = CreateTiffParser(input);
    const bool found = parser->begin() != parser->end();
    input.SetPosition(start);
    return found;
}

// The tag goes into the first directory; a TIFF without one would lose the
// IPTC while the save looked successful, so it is refused.
void WriteTIFF(TIPTCData& data, TStream& input, TStream& output) {
    if (!data.Empty() && !HasFirstDirectory(input)) {
        throw EInvalidTiffData();
    }
    RewriteTiffStream(input, output, &data.GetTiffRewriteCallback());
}

TGraphicWriterSelector WriterSelector(TIPTCData& data) {
    return [&data](TStream& stream) -> TGraphicWriter {
        if (IsJPEGStream(stream)) {
            return [&data](TStream& input, TStream& output) { WriteJPEG(data, input, output); };
        }
        if (IsPSDStream(stream)) {
            return [&data](TStream& input, TStream& output) { WritePSD(data, input, output); };
        }
        if (IsTiffStream(stream)) {
            return [&data](TStream& input, TStream& output) { WriteTIFF(data, input, output); };
        }
        return {};
    };
}

} // namespace

void TIPTCData::SaveToGraphic(const std::string& fileName) {
    RewriteFileInPlace(fileName, WriterSelector(*this));
}

void TIPTCData::SaveToGraphic(IStreamPersist& graphic) {
    RewritePersistInPlace(graphic, WriterSelector(*this));
}

} // namespace Kestrix::Exif
