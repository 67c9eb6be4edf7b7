// Enumerates the Adobe resource blocks of an APP13 segment and rebuilds the
// segment without its IPTC blocks. The first byte picks whether the Adobe
// prefix is put in front of the rest, so the fuzzer need not find it.
#include "kestrix/BaseUtils.h"

#include <cstdint>

using namespace Kestrix::Exif;

namespace {

std::size_t CountBlocks(TUserJPEGSegment& segment, bool& allClean, std::size_t& iptcBlocks) {
    std::size_t count = 0;
    allClean = true;
    iptcBlocks = 0;
    for (const auto& block : segment.GetEnumerator()) {
        ++count;
        allClean = allClean && block->GetLoadedCleanly();
        if (block->IsIPTCBlock(true)) {
            ++iptcBlocks;
        }
        block->IsExifBlock(true);
        block->IsXMPBlock(true);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto segment = std::make_shared<TUserJPEGSegment>(jmApp13);
    if (data[0] & 1) {
        WriteBytes(segment->GetData(), AdobeApp13Header);
    }
    segment->GetData().WriteBuffer(data + 1, size - 1);

    bool allClean = false;
    std::size_t iptcBlocks = 0;
    const std::size_t count = CountBlocks(*segment, allClean, iptcBlocks);
    if (segment->IsIPTCBlock(true) != (iptcBlocks != 0)) {
        __builtin_trap();
    }

    const auto rebuilt = RebuildAdobeApp13Segment(
        segment.get(), {}, [](IAdobeResBlock& block) { return block.IsIPTCBlock(true); });
    bool rebuiltClean = false;
    std::size_t rebuiltIPTC = 0;
    const std::size_t rebuiltCount = CountBlocks(*rebuilt, rebuiltClean, rebuiltIPTC);
    if (rebuiltIPTC != 0 || !rebuiltClean || (allClean && rebuiltCount != count - iptcBlocks)) {
        __builtin_trap();
    }
    return 0;
}
