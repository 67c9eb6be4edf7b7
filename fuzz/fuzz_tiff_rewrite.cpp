// Rewrites arbitrary bytes as a TIFF structure into memory, with no callback and
// with the metadata callback, then parses the output again: a rewrite that
// succeeds must yield as many main-chain directories as the input has, each
// loading cleanly.
#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <cstdlib>

using namespace Kestrix::Exif;

namespace {

class TFixedBlock final : public IStreamPersistEx {
public:
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override {
        static constexpr std::uint8_t Block[] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04};
        stream.WriteBuffer(Block, sizeof(Block));
    }
    bool Empty() const override { return false; }
};

constexpr int MaxDepth = 8;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Plain numbers copied from the input may look like pointers in the output too,
// so only the main chain is required to load cleanly; the rest is just read.
void Walk(ITiffParser& parser, const std::shared_ptr<IFoundTiffDirectory>& directory, int depth) {
    for (const std::shared_ptr<ITiffTag>& tag : *directory) {
        if (depth < MaxDepth) {
            if (auto sub = parser.ParseSubDirectory(*tag)) {
                Walk(parser, sub, depth + 1);
            }
        }
    }
}

std::size_t ChainLength(TStream& stream) {
    stream.SetPosition(0);
    auto parser = CreateTiffParser(stream);
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& directory : *parser) {
        ++count;
    }
    return count;
}

void RewriteAndReparse(const std::uint8_t* data, std::size_t size, ITiffRewriteCallback* callback) {
    TUserMemoryStream input(data, size);
    TMemoryStream output;
    try {
        RewriteTiffStream(input, output, callback);
    } catch (const Exception&) {
        // Not a TIFF, image data cut short, or a structure that refers to far
        // more data than it holds: documented refusals.
        return;
    }
    Require(output.GetPosition() == output.GetSize());
    const std::size_t directories = ChainLength(input);
    output.SetPosition(0);
    auto parser = CreateTiffParser(output);
    std::size_t count = 0;
    for (const auto& directory : *parser) {
        Require(directory->GetLoadErrors().Empty());
        Walk(*parser, directory, 0);
        ++count;
    }
    Require(count == directories);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RewriteAndReparse(data, size, nullptr);
    TFixedBlock block;
    TSimpleTiffRewriteCallbackImpl callback(block, TagIDs::ttIPTC);
    RewriteAndReparse(data, size, &callback);
    return 0;
}
