#include "TiffRewriteSupport.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace Kestrix::Exif {

namespace {

using TTagToWrite = TTiffDirectoryRewriter::TTagToWrite;
using TKind = TInternaTiffTagToWrite::TKind;

// Image blocks are copied through one buffer no larger than this, so a large
// strip or tile does not need its whole size in memory at once.
constexpr std::size_t MaxCopyChunk = 1 << 20;

const TTiffDataTypes ImageOffsetTypes = {TTiffDataType::tdShort, TTiffDataType::tdLong,
                                         TTiffDataType::tdIFD};
const TTiffDataTypes ImageByteCountTypes = {TTiffDataType::tdShort, TTiffDataType::tdLong,
                                            TTiffDataType::tdSLong};

struct TImageTagPair {
    TTiffTagID Offsets;
    TTiffTagID ByteCounts;
};
// Tried in this order; the first pair that qualifies supplies the blocks.
constexpr std::array<TImageTagPair, 3> ImageTagPairs = {{
    {TagIDs::ttStripOffsets, TagIDs::ttStripByteCounts},
    {TagIDs::ttTileOffsets, TagIDs::ttTileByteCounts},
    {TagIDs::ttJPEGInterchangeFormat, TagIDs::ttJPEGInterchangeFormatLength},
}};

// The elements of a SHORT, LONG, SLONG or IFD entry as unsigned 32-bit numbers.
std::vector<std::uint32_t> LoadNumbers(ITiffParser& parser, const TTiffTagInfo& info) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(info.DataSize()));
    parser.LoadTagData(info, data);
    const int elementSize = TiffElementSize(info.DataType);
    std::vector<std::uint32_t> numbers(static_cast<std::size_t>(info.ElementCount));
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (elementSize == 2) {
            std::uint16_t value = 0;
            std::memcpy(&value, data.data() + 2 * i, sizeof(value));
            numbers[i] = value;
        } else {
            std::memcpy(&numbers[i], data.data() + 4 * i, sizeof(std::uint32_t));
        }
    }
    return numbers;
}

TTiffTagInfo InfoOf(const ITiffTag& tag) {
    return TTiffTagInfo{.HeaderOffset = 0,
                        .DataOffset = tag.GetOriginalDataOffset(),
                        .ID = tag.GetID(),
                        .DataType = tag.GetDataType(),
                        .ElementCount = tag.GetElementCount()};
}

} // namespace

TTiffDirectoryRewriter::TTiffDirectoryRewriter(std::shared_ptr<ITiffDirectory> source,
                                               ITiffRewriteCallback* callback)
    : TTiffDirectoryRewriter(std::move(source), callback, std::make_shared<TTiffRewriteContext>()) {
}

TTiffDirectoryRewriter::TTiffDirectoryRewriter(std::shared_ptr<ITiffDirectory> source,
                                               ITiffRewriteCallback* callback,
                                               std::shared_ptr<TTiffRewriteContext> context)
    : FSource(std::move(source)), FContext(std::move(context)) {
    if (callback != nullptr) {
        callback->AddTagsToWrite(*this);
    }
    FDoneInitialization = true;
    if (!FRewriteSource || !FSource) {
        return;
    }
    if (auto* parsed = dynamic_cast<IFoundTiffDirectory*>(FSource.get())) {
        TakeOverParsedTags(*parsed, callback);
    } else {
        TakeOverTags(callback);
    }
}

TTiffDirectoryRewriter::~TTiffDirectoryRewriter() = default;

void TTiffDirectoryRewriter::TakeOverParsedTags(IFoundTiffDirectory& source,
                                                ITiffRewriteCallback* callback) {
    FSourceInfo = source.GetTagInfo();
    FSourceParser = source.GetParser();
    FContext->Charge(*FSourceParser, 12 * static_cast<std::int64_t>(FSourceInfo.size()) + 6);
    std::vector<bool> taken = TakenIDs();
    for (const TTiffTagInfo& info : FSourceInfo) {
        if (!RetainOldTag(info, callback, taken)) {
            continue;
        }
        // The parser refuses pointers into the header and back to a directory
        // on the path here, the context those that lead to a directory taken
        // over in another role; such values are copied as plain numbers.
        auto subDirectory = FSourceParser->ParseSubDirectory(FSource, info);
        if (subDirectory && FContext->TryClaimSubDirectory(*subDirectory, info.ID)) {
            std::unique_ptr<TTiffDirectoryRewriter> rewriter(
                new TTiffDirectoryRewriter(std::move(subDirectory), callback, FContext));
            if (rewriter->FRewriteSource) {
                FTagsToWrite.push_back(std::make_unique<TTiffSubDirToWrite>(
                    *this, info.ID, info.DataOffset, std::move(rewriter)));
            }
            continue;
        }
        if (info.DataSize() > 4) {
            FContext->Charge(*FSourceParser, info.DataSize());
        }
        FTagsToWrite.push_back(
            std::make_unique<TInternaTiffTagToWrite>(*this, FSourceParser, info));
    }
    SortTags();
    // Pairing after all entries are in works whatever order the file keeps
    // its entries in.
    FindImageBlocks();
}

void TTiffDirectoryRewriter::TakeOverTags(ITiffRewriteCallback* callback) {
    // Pointer tags of such a source are written as the plain numbers stored.
    std::vector<bool> taken = TakenIDs();
    for (const std::shared_ptr<ITiffTag>& tag : *FSource) {
        if (RetainOldTag(InfoOf(*tag), callback, taken)) {
            FTagsToWrite.push_back(std::make_unique<TExternalTiffTagToWrite>(*this, tag));
        }
    }
    SortTags();
}

std::vector<bool> TTiffDirectoryRewriter::TakenIDs() const {
    std::vector<bool> taken(std::size_t{0xFFFF} + 1);
    for (const auto& tag : FTagsToWrite) {
        taken[tag->GetID()] = true;
    }
    return taken;
}

bool TTiffDirectoryRewriter::RetainOldTag(const TTiffTagInfo& info, ITiffRewriteCallback* callback,
                                          std::vector<bool>& taken) const {
    if (!info.IsWellFormed() || taken[info.ID]) {
        return false;
    }
    bool rewrite = true;
    if (callback != nullptr) {
        callback->FilterOldTag(*FSource, info.ID, rewrite, info.DataType);
    }
    if (rewrite) {
        taken[info.ID] = true;
    }
    return rewrite;
}

void TTiffDirectoryRewriter::FindImageBlocks() {
    for (const TImageTagPair& pair : ImageTagPairs) {
        if (TryTakeImageBlocks(pair.Offsets, pair.ByteCounts)) {
            return;
        }
    }
}

bool TTiffDirectoryRewriter::TryTakeImageBlocks(TTiffTagID offsetsID, TTiffTagID byteCountsID) {
    auto* offsets = dynamic_cast<TInternaTiffTagToWrite*>(FindTag(offsetsID));
    auto* byteCounts = dynamic_cast<TInternaTiffTagToWrite*>(FindTag(byteCountsID));
    if (offsets == nullptr || byteCounts == nullptr ||
        offsets->GetElementCount() != byteCounts->GetElementCount() ||
        !ImageOffsetTypes.Contains(offsets->GetDataType()) ||
        !ImageByteCountTypes.Contains(byteCounts->GetDataType())) {
        return false;
    }
    const std::vector<std::uint32_t> oldOffsets = LoadNumbers(*FSourceParser, offsets->GetInfo());
    const std::int64_t inputLength = TiffInputLength(*FSourceParser);
    if (std::any_of(oldOffsets.begin(), oldOffsets.end(),
                    [&](std::uint32_t offset) { return offset < 8 || offset >= inputLength; })) {
        return false;
    }
    const std::vector<std::uint32_t> counts = LoadNumbers(*FSourceParser, byteCounts->GetInfo());
    std::int64_t total = 0;
    TImageInfo blocks(oldOffsets.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        // Image data cut short cannot be copied; failing here, before anything
        // is written, is what the copy would do later.
        if (counts[i] > inputLength - oldOffsets[i]) {
            throw EReadError();
        }
        blocks[i].ByteCount = counts[i];
        blocks[i].OldOffset = oldOffsets[i];
        total += counts[i];
    }
    FContext->Charge(*FSourceParser, total);
    FImageInfo = std::move(blocks);
    offsets->SetKind(TKind::itImageOffsets);
    byteCounts->SetKind(TKind::itImageByteCounts);
    return true;
}

void TTiffDirectoryRewriter::CheckAddingAllowed() const {
    if (FDoneInitialization) {
        throw EInvalidOperation(Consts::STagsOnlyDuringAddTagsToWrite);
    }
}

void TTiffDirectoryRewriter::AddTag(std::shared_ptr<ITiffTag> source) {
    CheckAddingAllowed();
    if (!source) {
        throw EAssertionFailed();
    }
    if (!InfoOf(*source).IsWellFormed()) {
        throw EInvalidTiffData();
    }
    const TTiffTagID id = source->GetID();
    if (!TryInsert(std::make_unique<TExternalTiffTagToWrite>(*this, std::move(source)))) {
        throw ETagAlreadyExists(id);
    }
}

void TTiffDirectoryRewriter::AddTag(TTiffTagID id, IStreamPersistEx& source,
                                    TTiffDataType dataType) {
    CheckAddingAllowed();
    AddTag(std::make_shared<TFoundTiffTag>(id, dataType, &source));
}

void TTiffDirectoryRewriter::AddSubDirectory(TTiffTagID offsetID,
                                             std::shared_ptr<ITiffDirectory> subDirectory,
                                             ITiffRewriteCallback* callback) {
    CheckAddingAllowed();
    std::unique_ptr<TTiffDirectoryRewriter> rewriter(
        new TTiffDirectoryRewriter(std::move(subDirectory), callback, FContext));
    if (!rewriter->FRewriteSource) {
        return;
    }
    if (!TryInsert(std::make_unique<TTiffSubDirToWrite>(*this, offsetID, 0, std::move(rewriter)))) {
        throw ETagAlreadyExists(offsetID);
    }
}

TTagToWrite* TTiffDirectoryRewriter::FindTag(TTiffTagID id) const {
    const auto found = std::lower_bound(FTagsToWrite.begin(), FTagsToWrite.end(), id,
                                        [](const std::unique_ptr<TTagToWrite>& tag,
                                           TTiffTagID wanted) { return tag->GetID() < wanted; });
    return found != FTagsToWrite.end() && (*found)->GetID() == id ? found->get() : nullptr;
}

bool TTiffDirectoryRewriter::TryInsert(std::unique_ptr<TTagToWrite> tag) {
    const auto place =
        std::lower_bound(FTagsToWrite.begin(), FTagsToWrite.end(), tag->GetID(),
                         [](const std::unique_ptr<TTagToWrite>& existing, TTiffTagID wanted) {
                             return existing->GetID() < wanted;
                         });
    if (place != FTagsToWrite.end() && (*place)->GetID() == tag->GetID()) {
        return false;
    }
    FTagsToWrite.insert(place, std::move(tag));
    return true;
}

void TTiffDirectoryRewriter::SortTags() {
    std::ranges::sort(FTagsToWrite, {}, [](const auto& tag) { return tag->GetID(); });
}

void TTiffDirectoryRewriter::RemoveTag(TTiffTagID id) {
    std::erase_if(FTagsToWrite,
                  [id](const std::unique_ptr<TTagToWrite>& tag) { return tag->GetID() == id; });
}

void TTiffDirectoryRewriter::Write(TStream& output, std::int64_t outputBase, TEndianness endianness,
                                   std::uint32_t nextIFDOffset,
                                   std::vector<std::uint8_t>& copyBuffer) {
    output.SetPosition(outputBase + FNewIFDOffset);
    WriteWord(output, static_cast<std::uint16_t>(FTagsToWrite.size()), endianness);
    for (const auto& tag : FTagsToWrite) {
        WriteWord(output, tag->GetID(), endianness);
        WriteWord(output, static_cast<std::uint16_t>(tag->GetDataType()), endianness);
        WriteLongWord(output, static_cast<std::uint32_t>(tag->GetElementCount()), endianness);
        if (tag->DataSize() > 4) {
            WriteLongWord(output, tag->GetNewDataOffset(), endianness);
        } else {
            tag->WriteData(output, endianness);
        }
    }
    WriteLongWord(output, nextIFDOffset, endianness);
    for (const auto& tag : FTagsToWrite) {
        if (tag->DataSize() > 4) {
            output.SetPosition(outputBase + tag->GetNewDataOffset());
            tag->WriteData(output, endianness);
        }
        if (auto* subDirectory = dynamic_cast<TTiffSubDirToWrite*>(tag.get())) {
            subDirectory->GetDirectory().Write(output, outputBase, endianness, 0, copyBuffer);
        }
    }
    CopyImageBlocks(output, outputBase, copyBuffer);
}

void TTiffDirectoryRewriter::CopyImageBlocks(TStream& output, std::int64_t outputBase,
                                             std::vector<std::uint8_t>& copyBuffer) {
    for (const TImageItem& block : FImageInfo) {
        if (block.ByteCount == 0) {
            continue;
        }
        if (copyBuffer.size() < std::min<std::size_t>(block.ByteCount, MaxCopyChunk)) {
            copyBuffer.resize(std::min<std::size_t>(block.ByteCount, MaxCopyChunk));
        }
        TStream& input = FSourceParser->GetStream();
        std::int64_t done = 0;
        while (done < block.ByteCount) {
            const auto chunk = static_cast<std::size_t>(
                std::min<std::int64_t>(block.ByteCount - done, copyBuffer.size()));
            input.SetPosition(FSourceParser->GetBasePosition() + block.OldOffset + done);
            input.ReadBuffer(copyBuffer.data(), chunk);
            output.SetPosition(outputBase + block.NewOffset + done);
            output.WriteBuffer(copyBuffer.data(), chunk);
            done += static_cast<std::int64_t>(chunk);
        }
    }
}

} // namespace Kestrix::Exif
