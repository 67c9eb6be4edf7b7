// Sections: loading, the sorted tag list, lookup, removal, change reporting
// and the ITiffDirectory view.
#include "kestrix/Exif.h"

#include <algorithm>
#include <array>

namespace Kestrix::Exif {

namespace {

// IFD0 of a TIFF image file also describes the image; only these tags of it
// belong to the EXIF model.
bool IsMetadataTagOfTiffFile(const TTiffTagInfo& entry) {
    static constexpr std::array<TTiffTagID, 20> anyType = {
        TagIDs::ttImageDescription,
        TagIDs::ttMake,
        TagIDs::ttModel,
        TagIDs::ttOrientation,
        TagIDs::ttXResolution,
        TagIDs::ttYResolution,
        TagIDs::ttResolutionUnit,
        TagIDs::ttSoftware,
        TagIDs::ttDateTime,
        TagIDs::ttArtist,
        TagIDs::ttWhitePoint,
        TagIDs::ttPrimaryChromaticities,
        TagIDs::ttYCbCrCoefficients,
        TagIDs::ttYCbCrPositioning,
        TagIDs::ttReferenceBlackWhite,
        TagIDs::ttCopyright,
        TagIDs::ttIPTC,
        TagIDs::ttExifOffset,
        TagIDs::ttGPSOffset,
        TagIDs::ttPrintIM,
    };
    if (std::find(anyType.begin(), anyType.end(), entry.ID) != anyType.end()) {
        return true;
    }
    const bool byteOnly =
        entry.ID == TagIDs::ttRating || entry.ID == TagIDs::ttPadding ||
        (entry.ID >= TagIDs::ttWindowsTitle && entry.ID <= TagIDs::ttWindowsSubject);
    return byteOnly && entry.DataType == TTiffDataType::tdByte;
}

// Views lend the section's objects out without owning them.
template <typename TInterface, typename T> std::shared_ptr<TInterface> BorrowedView(T* object) {
    return std::shared_ptr<TInterface>(std::shared_ptr<TInterface>(), object);
}

class TSectionEnumeratorView final : public ITiffDirectoryEnumerator {
public:
    explicit TSectionEnumeratorView(TExifSection::TEnumerator enumerator)
        : FEnumerator(enumerator) {}
    std::shared_ptr<ITiffTag> Current() override {
        return BorrowedView<ITiffTag>(&FEnumerator.Current());
    }
    bool MoveNext() override { return FEnumerator.MoveNext(); }

private:
    TExifSection::TEnumerator FEnumerator;
};

} // namespace

bool TExifSection::TEnumerator::MoveNext() {
    // Advance only past a current tag that is still in place: when it was
    // deleted, the next tag has moved into its slot.
    if (FCurrent != nullptr && FIndex < FTags->size() && (*FTags)[FIndex].get() == FCurrent) {
        ++FIndex;
    }
    if (FIndex < FTags->size()) {
        FCurrent = (*FTags)[FIndex].get();
        return true;
    }
    return false;
}

TExifSection::TExifSection(TExifSectionOwner* owner, TExifSectionKindEx kind)
    : TExifSection(owner, kind, false) {}

TExifSection::TExifSection(TExifSectionOwner* owner, TExifSectionKindEx kind, bool extendable)
    : FKind(kind), FOwner(owner), FExtendable(extendable) {}

TExifSection::~TExifSection() = default;

void TExifSection::Load(const IFoundTiffDirectory& directory, bool fromTiffFile) {
    Clear();
    FLoadErrors = directory.GetLoadErrors();
    const TTiffTagInfoDynArray entries = directory.GetTagInfo();
    FFirstTagHeaderOffset = entries.empty() ? 0 : entries.front().HeaderOffset;
    const std::shared_ptr<ITiffParser> parser = directory.GetParser();
    // Entries may share their data; what the tags may hold together is capped
    // by the structure's size, so a small file cannot inflate into a large load.
    std::int64_t dataBudget =
        std::max<std::int64_t>(0, parser->GetStream().GetSize() - parser->GetBasePosition());
    const bool filter = fromTiffFile && FKind == TExifSectionKind::esGeneral;
    for (const TTiffTagInfo& entry : entries) {
        if (filter && !IsMetadataTagOfTiffFile(entry)) {
            continue;
        }
        bool wellFormed = entry.IsWellFormed();
        if (wellFormed && entry.DataSize() > 4) {
            if (entry.DataSize() > dataBudget) {
                wellFormed = false;
                FLoadErrors.Include(TMetadataLoadError::leBadTagHeader);
            } else {
                dataBudget -= entry.DataSize();
            }
        }
        std::unique_ptr<TExifTag> tag(
            new TExifTag(this, entry.ID, wellFormed ? entry.DataType : TTiffDataType::tdUndefined,
                         wellFormed ? entry.ElementCount : 0));
        tag->FOriginalDataOffset = entry.DataOffset;
        tag->FWellFormed = wellFormed;
        if (tag->GetDataSize() > 0) {
            parser->LoadTagData(entry, tag->FData.GetMutableBytes());
        }
        FTagList.push_back(std::move(tag));
    }
    std::stable_sort(FTagList.begin(), FTagList.end(),
                     [](const auto& a, const auto& b) { return a->FID < b->FID; });
    FModified = false;
}

void TExifSection::Clear() {
    FLoadErrors = {};
    InUpdateBracket([this] {
        while (!FTagList.empty()) {
            DeleteTag(*FTagList.back());
        }
    });
}

TExifTag* TExifSection::Find(TTiffTagID id) const {
    for (const auto& tag : FTagList) {
        if (tag->FID >= id) {
            return tag->FID == id ? tag.get() : nullptr;
        }
    }
    return nullptr;
}

bool TExifSection::Find(TTiffTagID id, TExifTag*& tag) const {
    tag = Find(id);
    return tag != nullptr;
}

bool TExifSection::Remove(TTiffTagID id) {
    TExifTag* const tag = Find(id);
    if (tag == nullptr) {
        return false;
    }
    DeleteTag(*tag);
    return true;
}

void TExifSection::Remove(std::span<const TTiffTagID> ids) {
    InUpdateBracket([&] {
        for (std::size_t i = FTagList.size(); i-- > 0;) {
            if (std::find(ids.begin(), ids.end(), FTagList[i]->FID) != ids.end()) {
                DeleteTag(*FTagList[i]);
            }
        }
    });
}

bool TExifSection::RemovePaddingTag() {
    for (const auto& tag : FTagList) {
        if (tag->IsPadding()) {
            DeleteTag(*tag);
            return true;
        }
    }
    return false;
}

TExifTag& TExifSection::GetTag(std::int32_t index) const {
    if (index < 0 || index >= GetCount()) {
        throw EListError(index);
    }
    return *FTagList[static_cast<std::size_t>(index)];
}

void TExifSection::Changed() {
    FModified = true;
    if (FOwner != nullptr && FKind != TExifSectionKindEx::esUserDefined) {
        FOwner->Changed(this);
    }
}

std::size_t TExifSection::IndexOf(const TExifTag& tag) const {
    const auto found = std::find_if(FTagList.begin(), FTagList.end(),
                                    [&](const auto& item) { return item.get() == &tag; });
    return static_cast<std::size_t>(found - FTagList.begin());
}

void TExifSection::DeleteTag(const TExifTag& tag) {
    const std::size_t index = IndexOf(tag);
    if (index == FTagList.size()) {
        return;
    }
    const bool makerNote = FKind == TExifSectionKind::esDetails && tag.FID == TagIDs::ttMakerNote;
    FTagList.erase(FTagList.begin() + static_cast<std::ptrdiff_t>(index));
    Changed();
    if (makerNote && FOwner != nullptr) {
        FOwner->ResetMakerNoteType();
    }
}

std::size_t TExifSection::SortedInsertPosition(TTiffTagID id) const {
    const auto at = std::find_if(FTagList.begin(), FTagList.end(),
                                 [id](const auto& tag) { return tag->FID > id; });
    return static_cast<std::size_t>(at - FTagList.begin());
}

void TExifSection::TagIDChanged(const TExifTag& tag) {
    const std::size_t index = IndexOf(tag);
    std::unique_ptr<TExifTag> moved = std::move(FTagList[index]);
    FTagList.erase(FTagList.begin() + static_cast<std::ptrdiff_t>(index));
    const std::size_t position = SortedInsertPosition(moved->FID);
    FTagList.insert(FTagList.begin() + static_cast<std::ptrdiff_t>(position), std::move(moved));
}

TExifTag& TExifSection::Add(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount) {
    if (!FExtendable) {
        throw EIllegalEditOfExifData();
    }
    if (Find(id) != nullptr) {
        throw ETagAlreadyExists(id);
    }
    std::unique_ptr<TExifTag> tag(new TExifTag(this, id, dataType, elementCount));
    TExifTag& added = *tag;
    FTagList.insert(FTagList.begin() + static_cast<std::ptrdiff_t>(SortedInsertPosition(id)),
                    std::move(tag));
    Changed();
    return added;
}

TExifTag& TExifSection::AddOrUpdate(TTiffTagID id, TTiffDataType dataType,
                                    std::int32_t elementCount, const void* data) {
    TExifTag* tag = Find(id);
    if (tag == nullptr) {
        tag = &Add(id, dataType, elementCount);
    }
    tag->UpdateData(dataType, elementCount, data);
    return *tag;
}

TExifSection* TExifSection::DetailsSection() const {
    return FOwner == nullptr ? nullptr : &FOwner->GetSection(TExifSectionKind::esDetails);
}

std::unique_ptr<ITiffDirectoryEnumerator> TExifSection::GetEnumerator() {
    return std::make_unique<TSectionEnumeratorView>(GetTagEnumerator());
}

std::int32_t TExifSection::GetIndex() const {
    switch (FKind) {
    case TExifSectionKindEx::esGeneral:
        return 0;
    case TExifSectionKindEx::esDetails:
        return TagIDs::ttExifOffset;
    case TExifSectionKindEx::esInterop:
        return TagIDs::ttInteropOffset;
    case TExifSectionKindEx::esGPS:
        return TagIDs::ttGPSOffset;
    case TExifSectionKindEx::esThumbnail:
        return 1;
    default:
        return -1;
    }
}

std::shared_ptr<ITiffDirectory> TExifSection::GetParent() const {
    if (FOwner == nullptr) {
        return nullptr;
    }
    switch (FKind) {
    case TExifSectionKindEx::esDetails:
    case TExifSectionKindEx::esGPS:
        return BorrowedView<ITiffDirectory>(&FOwner->GetSection(TExifSectionKind::esGeneral));
    case TExifSectionKindEx::esInterop:
    case TExifSectionKindEx::esMakerNote:
        return BorrowedView<ITiffDirectory>(&FOwner->GetSection(TExifSectionKind::esDetails));
    default:
        return nullptr;
    }
}

std::shared_ptr<ITiffTag> TExifSection::FindTag(TTiffTagID id) {
    TExifTag* const tag = Find(id);
    return tag == nullptr ? nullptr : BorrowedView<ITiffTag>(tag);
}

bool TExifSection::TagExists(TTiffTagID id, TTiffDataTypes validDataTypes,
                             std::int32_t minElementCount, std::int32_t maxElementCount) {
    const TExifTag* const tag = Find(id);
    return tag != nullptr && validDataTypes.Contains(tag->FDataType) &&
           tag->FElementCount >= minElementCount && tag->FElementCount <= maxElementCount;
}

} // namespace Kestrix::Exif
