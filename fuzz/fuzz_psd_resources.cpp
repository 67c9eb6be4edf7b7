// Parses a PSD's header and image resources, enumerates every block, and checks
// that a rebuild of the resources reads back to the same blocks.
#include "kestrix/BaseUtils.h"

#include <cstdint>
#include <vector>

using namespace Kestrix::Exif;

namespace {

struct TBlockSummary {
    std::uint16_t TypeID;
    std::int64_t TotalSize;
    bool LoadedCleanly;
};

std::vector<TBlockSummary> Enumerate(TStream& stream, TPSDInfo& info) {
    std::vector<TBlockSummary> result;
    for (const auto& block : ParsePSDResources(stream, info)) {
        block->IsExifBlock(true);
        block->IsIPTCBlock(false);
        block->IsXMPBlock(true);
        result.push_back({block->GetTypeID(), block->GetTotalSize(), block->GetLoadedCleanly()});
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TUserMemoryStream input(data, size);
    std::vector<TBlockSummary> blocks;
    TPSDInfo info;
    try {
        IsPSDStream(input);
        blocks = Enumerate(input, info);
    } catch (const Exception&) {
        return 0;
    }

    // Everything a rebuild writes must parse again, and blocks that were whole
    // come back unchanged.
    TMemoryStream output;
    input.SetPosition(0);
    RewritePSDResources(input, output, {}, {});
    output.SetPosition(0);
    TPSDInfo rebuiltInfo;
    const auto rebuilt = Enumerate(output, rebuiltInfo);
    if (rebuiltInfo.Header.PaletteData != info.Header.PaletteData ||
        rebuiltInfo.Header.ColorMode != info.Header.ColorMode ||
        rebuiltInfo.LayersSectionSize != info.LayersSectionSize ||
        rebuilt.size() != blocks.size()) {
        __builtin_trap();
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].LoadedCleanly &&
            (rebuilt[i].TypeID != blocks[i].TypeID || rebuilt[i].TotalSize != blocks[i].TotalSize ||
             !rebuilt[i].LoadedCleanly)) {
            __builtin_trap();
        }
    }
    return 0;
}
