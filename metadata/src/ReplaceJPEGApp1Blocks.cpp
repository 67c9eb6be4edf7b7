#include "kestrix/BaseUtils.h"

#include <vector>

namespace Kestrix::Exif {

namespace {

// A found segment stands in as the source when the caller gives none.
IStreamPersistEx* AsSource(const std::shared_ptr<IFoundJPEGSegment>& segment) {
    return dynamic_cast<IStreamPersistEx*>(segment.get());
}

// A JPEG segment is written as it is; anything else becomes an APP1 segment
// of the prefix followed by what the source saves.
void WriteApp1Source(TStream& output, IStreamPersistEx* source, std::string_view prefix) {
    if (source == nullptr || source->Empty()) {
        return;
    }
    if (auto* segment = dynamic_cast<IJPEGSegment*>(source)) {
        WriteJPEGSegment(output, *segment);
        return;
    }
    TMemoryStream data;
    WriteBytes(data, prefix);
    source->SaveToStream(data);
    WriteJPEGSegment(output, jmApp1, data, 0);
}

// Copies `count` bytes from the input's position; nothing for 0 or less.
void CopyBytes(TStream& output, TStream& input, std::int64_t count) {
    if (count > 0) {
        output.CopyFrom(input, count);
    }
}

} // namespace

void ReplaceJPEGApp1Blocks(TStream& input, TStream& output, IStreamPersistEx* exifSource,
                           IStreamPersistEx* xmpSource) {
    if (!IsJPEGStream(input)) {
        throw EInvalidJPEGHeader();
    }
    const std::int64_t start = input.GetPosition();
    std::vector<std::shared_ptr<IFoundJPEGSegment>> segmentsToDrop;
    std::shared_ptr<IFoundJPEGSegment> exifSegment;
    std::shared_ptr<IFoundJPEGSegment> xmpSegment;
    WriteJPEGStart(output);
    for (const auto& segment : TJPEGHeaderParser(input, {jmApp0, jmApp1})) {
        if (segment->GetMarkerNum() == jmApp0) {
            WriteJPEGSegment(output, *segment);
            segmentsToDrop.push_back(segment);
        } else if (!exifSegment && segment->IsExifBlock(true)) {
            exifSegment = segment;
            segmentsToDrop.push_back(segment);
            if (exifSource == nullptr) {
                exifSource = AsSource(segment);
            }
        } else if (!xmpSegment && segment->IsXMPBlock(true)) {
            xmpSegment = segment;
            segmentsToDrop.push_back(segment);
            if (xmpSource == nullptr) {
                xmpSource = AsSource(segment);
            }
        }
    }
    WriteApp1Source(output, exifSource, ExifHeader);
    WriteApp1Source(output, xmpSource, XMPHeader);

    // The rest of the input, with the segments already written cut out.
    input.SetPosition(start + 2);
    for (const auto& segment : segmentsToDrop) {
        CopyBytes(output, input, segment->GetOffset() - input.GetPosition());
        input.SetPosition(
            std::max(input.GetPosition(), segment->GetOffset() + segment->GetTotalSize()));
    }
    CopyBytes(output, input, input.BytesLeft());
    output.SetSize(output.GetPosition());
}

} // namespace Kestrix::Exif
