#include "TiffRewriteSupport.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace Kestrix::Exif {

namespace {

using TTagToWrite = TTiffDirectoryRewriter::TTagToWrite;

// The largest offset a TIFF can hold.
constexpr std::uint64_t MaxTiffOffset = 0xFFFFFFFF;
// Restoring a moved maker note never puts it at or beyond this offset.
constexpr std::int64_t MakerNoteRestoreLimit = 0xFFFFFFF1;

// The single SLONG value of a tag to write, as stored in the source.
std::optional<std::int32_t> ReadSingleSLong(const TTagToWrite& tag) {
    std::array<std::uint8_t, 4> bytes{};
    if (const auto* internal = dynamic_cast<const TInternaTiffTagToWrite*>(&tag)) {
        internal->GetParser()->LoadTagData(internal->GetInfo(), bytes);
    } else if (const auto* external = dynamic_cast<const TExternalTiffTagToWrite*>(&tag)) {
        const auto data = external->GetSource()->GetData().GetBytes();
        if (data.size() < bytes.size()) {
            return std::nullopt;
        }
        std::copy_n(data.begin(), bytes.size(), bytes.begin());
    } else {
        return std::nullopt;
    }
    std::int32_t value = 0;
    std::memcpy(&value, bytes.data(), sizeof(value));
    return value;
}

} // namespace

// Assigns the new offsets, all relative to the output header. Allocation moves
// forward only and is never aligned; it jumps over the area of a maker note
// that keeps its place.
class TTiffRewriteLayout {
public:
    // Keeps the EXIF maker note of the first directory at its old offset, or
    // where it was before an earlier writer moved it by the amount tag 0xEA1D
    // records (new position minus old). The area must lie within the input, so
    // a value from elsewhere cannot stretch the output.
    void FixMakerNote(TTiffDirectoryRewriter& first, std::int64_t inputLength) {
        auto* exif = dynamic_cast<TTiffSubDirToWrite*>(first.FindTag(TagIDs::ttExifOffset));
        if (exif == nullptr) {
            return;
        }
        TTiffDirectoryRewriter& details = exif->GetDirectory();
        TTagToWrite* makerNote = details.FindTag(TagIDs::ttMakerNote);
        if (makerNote == nullptr || makerNote->GetDataType() != TTiffDataType::tdUndefined ||
            makerNote->GetElementCount() <= 4 || makerNote->GetOldDataOffset() < 8) {
            return;
        }
        const std::int64_t size = makerNote->DataSize();
        std::int64_t position = makerNote->GetOldDataOffset();
        bool restored = false;
        const TTagToWrite* schema = details.FindTag(TagIDs::ttOffsetSchema);
        if (schema != nullptr && schema->GetDataType() == TTiffDataType::tdSLong &&
            schema->GetElementCount() == 1) {
            if (const auto moved = ReadSingleSLong(*schema)) {
                const std::int64_t original = position - *moved;
                if (original >= 8 && original < MakerNoteRestoreLimit &&
                    size <= inputLength - original) {
                    position = original;
                    restored = true;
                }
            }
        }
        if (size > inputLength - position) {
            return;
        }
        makerNote->SetNewDataOffset(static_cast<std::uint32_t>(position));
        FFixedTag = makerNote;
        FFixedStart = static_cast<std::uint64_t>(position);
        FFixedEnd = FFixedStart + static_cast<std::uint64_t>(size);
        if (restored) {
            details.RemoveTag(TagIDs::ttOffsetSchema);
        }
    }

    // The entry table, then the out-of-line data in ID order with each
    // sub-directory laid out where its pointer comes, then the image blocks.
    void LayOut(TTiffDirectoryRewriter& rewriter) {
        const std::size_t count = rewriter.FTagsToWrite.size();
        if (count > 0xFFFF) {
            throw EInvalidTiffData();
        }
        rewriter.FNewIFDOffset = Allocate(12 * count + 6);
        for (std::size_t i = 0; i < count; ++i) {
            TTagToWrite& tag = *rewriter.FTagsToWrite[i];
            if (&tag == FFixedTag) {
                continue;
            }
            if (tag.DataSize() > 4) {
                tag.SetNewDataOffset(Allocate(static_cast<std::uint64_t>(tag.DataSize())));
                continue;
            }
            tag.SetNewDataOffset(rewriter.FNewIFDOffset + static_cast<std::uint32_t>(12 * i + 10));
            if (auto* subDirectory = dynamic_cast<TTiffSubDirToWrite*>(&tag)) {
                LayOut(subDirectory->GetDirectory());
            }
        }
        for (TTiffDirectoryRewriter::TImageItem& block : rewriter.FImageInfo) {
            block.NewOffset = Allocate(block.ByteCount);
        }
    }

    // Where the structure ends: the maker note may lie beyond everything else.
    std::uint64_t GetEnd() const { return std::max(FNextFree, FFixedEnd); }

private:
    std::uint32_t Allocate(std::uint64_t size) {
        if (FFixedTag != nullptr && FNextFree < FFixedEnd && FNextFree + size >= FFixedStart) {
            FNextFree = FFixedEnd;
        }
        const std::uint64_t start = FNextFree;
        FNextFree += size;
        if (FNextFree > MaxTiffOffset) {
            throw EInvalidTiffData();
        }
        return static_cast<std::uint32_t>(start);
    }

    std::uint64_t FNextFree = 8;
    const TTagToWrite* FFixedTag = nullptr;
    std::uint64_t FFixedStart = 0;
    std::uint64_t FFixedEnd = 0;
};

void WriteTiffFileHeader(TStream& stream, TEndianness endianness, std::uint32_t firstIFDOffset) {
    WriteBytes(stream, endianness == TEndianness::BigEndian ? "MM" : "II");
    WriteWord(stream, 42, endianness);
    WriteLongWord(stream, firstIFDOffset, endianness);
}

void RewriteTiffStream(TStream& input, TStream& output, ITiffRewriteCallback* callback) {
    const std::int64_t outputBase = output.GetPosition();
    const std::shared_ptr<ITiffParser> parser = CreateTiffParser(input);
    const TEndianness endianness = parser->GetEndianness();
    const auto context = std::make_shared<TTiffRewriteContext>();

    // The whole chain is known before any pointer is followed, so no value can
    // pass for a pointer to one of its directories.
    std::vector<std::shared_ptr<IFoundTiffDirectory>> chain;
    for (const std::shared_ptr<IFoundTiffDirectory>& directory : *parser) {
        context->ClaimMainDirectory(*directory);
        chain.push_back(directory);
    }
    std::vector<std::unique_ptr<TTiffDirectoryRewriter>> retained;
    for (const std::shared_ptr<IFoundTiffDirectory>& directory : chain) {
        std::unique_ptr<TTiffDirectoryRewriter> rewriter(
            new TTiffDirectoryRewriter(directory, callback, context));
        if (rewriter->FRewriteSource) {
            retained.push_back(std::move(rewriter));
        }
    }
    output.SetPosition(outputBase);
    if (retained.empty()) {
        WriteTiffFileHeader(output, endianness, 0);
        return;
    }

    TTiffRewriteLayout layout;
    layout.FixMakerNote(*retained.front(), TiffInputLength(*parser));
    for (const auto& rewriter : retained) {
        layout.LayOut(*rewriter);
    }
    const auto end = static_cast<std::int64_t>(layout.GetEnd());

    WriteTiffFileHeader(output, endianness, retained.front()->FNewIFDOffset);
    if (output.GetSize() < outputBase + end) {
        output.SetSize(outputBase + end);
    }
    std::vector<std::uint8_t> copyBuffer;
    for (std::size_t i = 0; i < retained.size(); ++i) {
        const std::uint32_t next =
            i + 1 < retained.size() ? retained[i + 1]->FNewIFDOffset : std::uint32_t{0};
        retained[i]->Write(output, outputBase, endianness, next, copyBuffer);
    }
    output.SetPosition(outputBase + end);
}

} // namespace Kestrix::Exif
