// ReplaceJPEGApp1Blocks over arbitrary bytes into a memory stream, with the
// segments kept, replaced and removed. The first input byte picks the sources.
#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <vector>

using namespace Kestrix::Exif;

namespace {

class TBytesSource : public IStreamPersistEx {
public:
    explicit TBytesSource(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(FBytes); }
    bool Empty() const override { return FBytes.empty(); }

private:
    std::vector<std::uint8_t> FBytes;
};

IStreamPersistEx* PickSource(unsigned choice, TBytesSource& filled, TBytesSource& empty) {
    switch (choice & 3) {
    case 1:
        return &filled;
    case 2:
        return &empty;
    default:
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned choice = data[0];
    TBytesSource exif({'M', 'M', 0, 0x2A, 0, 0, 0, 8, 0, 0});
    TBytesSource xmp({'<', '?', 'x', 'p', 'a', 'c', 'k', 'e', 't', ' ', '?', '>'});
    TBytesSource empty({});
    TUserMemoryStream input(data + 1, size - 1);
    TMemoryStream output;
    try {
        ReplaceJPEGApp1Blocks(input, output, PickSource(choice, exif, empty),
                              PickSource(choice >> 2, xmp, empty));
    } catch (const Exception&) {
        return 0;
    }
    // The output never grows beyond the input plus the two new segments.
    const std::int64_t bound = static_cast<std::int64_t>(size) + 2 * (4 + 29 + 12);
    if (output.GetSize() > bound) {
        __builtin_trap();
    }
    // And what it writes is a JPEG the scanner walks again.
    try {
        output.SetPosition(0);
        for (const auto& segment : ParseJPEGSegments(output, {jmApp0, jmApp1})) {
            (void)segment;
        }
    } catch (const Exception&) {
    }
    return 0;
}
