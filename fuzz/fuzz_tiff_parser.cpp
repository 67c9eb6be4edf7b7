// Parses arbitrary bytes as a TIFF structure: walks the main chain, follows every
// sub-directory pointer, reads every tag's data and tries the thumbnail. Also
// reads the bytes as a header-less directory, the way maker notes are read.
#include "kestrix/TiffUtils.h"

#include <cstdint>

using namespace Kestrix::Exif;

namespace {

// Takes the thumbnail in and throws it away.
class TDiscardingPersist final : public IStreamPersist {
public:
    void LoadFromStream(TStream& stream) override {
        std::uint8_t byte = 0;
        while (stream.Read(&byte, 1) == 1) {
        }
    }
    void SaveToStream(TStream&) override {}
};

constexpr int MaxDepth = 8;
// Many pointers to one chain of directories would make a full walk exponential;
// the budget keeps every input quick while still reaching deep structures.
constexpr int MaxSubDirectories = 64;

void Walk(ITiffParser& parser, const std::shared_ptr<IFoundTiffDirectory>& directory, int depth,
          int& budget) {
    directory->IsThumbnailDirectory();
    TDiscardingPersist thumbnail;
    directory->TryLoadThumbnail(thumbnail);
    for (const std::shared_ptr<ITiffTag>& tag : *directory) {
        tag->IsIPTCBlock(true);
        tag->IsXMPBlock(true);
        if (depth < MaxDepth && budget > 0) {
            if (auto sub = parser.ParseSubDirectory(*tag)) {
                --budget;
                Walk(parser, sub, depth + 1, budget);
            }
        }
    }
    for (const TTiffTagInfo& info : directory->GetTagInfo()) {
        directory->FindTag(info.ID);
        directory->TagExists(info.ID, TTiffDataTypes::All(), 0, INT32_MAX);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TUserMemoryStream stream(data, size);
    try {
        auto parser = CreateTiffParser(stream);
        int budget = MaxSubDirectories;
        for (const auto& directory : *parser) {
            Walk(*parser, directory, 0, budget);
        }
    } catch (const Exception&) {
        // Bad headers and reads the checks allowed but the stream refused are
        // documented outcomes.
    }
    if (size >= 2) {
        try {
            const TEndianness endianness =
                data[0] & 1 ? TEndianness::BigEndian : TEndianness::SmallEndian;
            auto directory = ParseDirectoryAt(stream, endianness, 0, 2, data[1]);
            for (const auto& tag : *directory) {
                tag->GetData();
            }
        } catch (const Exception&) {
        }
    }
    return 0;
}
