// The JPEG scanner over arbitrary bytes: every segment, then the end-of-image
// search, in both a memory stream and a stream without an in-place buffer.
#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <cstring>

using namespace Kestrix::Exif;

namespace {

// Hides the buffer, so the scanner takes its copying paths.
class TOpaqueStream : public TStream {
public:
    TOpaqueStream(const std::uint8_t* data, std::size_t size) : FMemory(data, size) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        return FMemory.Read(buffer, count);
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        return FMemory.Write(buffer, count);
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        return FMemory.Seek(offset, origin);
    }
    void SetSize(std::int64_t newSize) override { FMemory.SetSize(newSize); }

private:
    TUserMemoryStream FMemory;
};

void WalkSegments(TStream& stream, std::int64_t size) {
    try {
        for (const auto& segment : ParseJPEGSegments(stream, TJPEGMarkers::All())) {
            if (segment->GetOffset() < 0 || segment->GetOffset() + segment->GetTotalSize() > size) {
                __builtin_trap();
            }
            segment->IsExifBlock(false);
            segment->IsXMPBlock(false);
            segment->IsIPTCBlock(false);
            segment->IsAdobeApp13();
        }
    } catch (const Exception&) {
    }
    try {
        stream.SetPosition(0);
        const std::int64_t imageSize = GetJPEGImageSize(stream);
        if (imageSize < 0 || imageSize > size) {
            __builtin_trap();
        }
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TUserMemoryStream memory(data, size);
    WalkSegments(memory, static_cast<std::int64_t>(size));
    TOpaqueStream opaque(data, size);
    WalkSegments(opaque, static_cast<std::int64_t>(size));
    return 0;
}
