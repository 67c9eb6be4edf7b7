#include "kestrix/IPTC.h"

#include <algorithm>

namespace Kestrix::Exif {

TIPTCSection::TIPTCSection(TIPTCSectionOwner* owner, TIPTCSectionID id) : FID(id), FOwner(owner) {
    if (id < 1 || id > 9) {
        throw ERangeError();
    }
}

TIPTCSection::~TIPTCSection() {
    for (const auto& tag : FTags) {
        tag->FSection = nullptr;
    }
}

TIPTCTag& TIPTCSection::GetTag(int index) const {
    if (index < 0 || index >= Count()) {
        throw EListError(index);
    }
    return *FTags[static_cast<std::size_t>(index)];
}

int TIPTCSection::IndexOf(const TIPTCTag& tag) const {
    const auto found = std::find_if(FTags.begin(), FTags.end(),
                                    [&tag](const auto& listed) { return listed.get() == &tag; });
    return found == FTags.end() ? -1 : static_cast<int>(found - FTags.begin());
}

TIPTCTag& TIPTCSection::Insert(int index, TIPTCTagID id) {
    if (index < 0 || index > Count()) {
        throw EListError(index);
    }
    auto tag = std::make_unique<TIPTCTag>(id);
    tag->FSection = this;
    TIPTCTag& inserted = **FTags.insert(FTags.begin() + index, std::move(tag));
    FModified = true;
    const bool beforeFollower = index + 1 >= Count() || id <= GetTag(index + 1).GetID();
    const bool afterPredecessor = index == 0 || GetTag(index - 1).GetID() <= id;
    if (!beforeFollower || !afterPredecessor) {
        FDefinitelySorted = false;
    }
    return inserted;
}

int TIPTCSection::SortedInsertPosition(TIPTCTagID id) const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (FTags[static_cast<std::size_t>(i)]->GetID() < id) {
            return i + 1;
        }
    }
    return 0;
}

TIPTCTag& TIPTCSection::Add(TIPTCTagID id) {
    return Insert(id == 0 ? Count() : SortedInsertPosition(id), id);
}

bool TIPTCSection::Find(TIPTCTagID id, TIPTCTag*& tag) const {
    tag = nullptr;
    for (const auto& listed : FTags) {
        if (listed->GetID() == id) {
            tag = listed.get();
            return true;
        }
        if (FDefinitelySorted && listed->GetID() > id) {
            break;
        }
    }
    return false;
}

TIPTCTag* TIPTCSection::Find(TIPTCTagID id) const {
    TIPTCTag* tag = nullptr;
    Find(id, tag);
    return tag;
}

bool TIPTCSection::TagExists(TIPTCTagID id, std::int32_t minSize) const {
    const TIPTCTag* tag = Find(id);
    return tag && tag->GetDataSize() >= minSize;
}

TIPTCTag& TIPTCSection::AddOrUpdate(TIPTCTagID id, std::span<const std::uint8_t> bytes) {
    TIPTCTag* tag = Find(id);
    TIPTCTag& target = tag ? *tag : Add(id);
    target.UpdateData(bytes);
    return target;
}

int TIPTCSection::Remove(TIPTCTagID id) {
    return Remove(TIPTCTagIDs{id});
}

int TIPTCSection::Remove(const TIPTCTagIDs& ids) {
    int smallest = -1;
    for (int i = Count() - 1; i >= 0; --i) {
        if (ids.Contains(FTags[static_cast<std::size_t>(i)]->GetID())) {
            Delete(i);
            smallest = i;
        }
    }
    return smallest;
}

void TIPTCSection::Delete(int index) {
    TIPTCTag& tag = GetTag(index);
    tag.FSection = nullptr;
    FTags.erase(FTags.begin() + index);
    FModified = true;
    if (Count() <= 1) {
        FDefinitelySorted = true;
    }
}

void TIPTCSection::Clear() {
    for (int i = Count() - 1; i >= 0; --i) {
        Delete(i);
    }
}

void TIPTCSection::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) {
        return;
    }
    GetTag(curIndex);
    GetTag(newIndex);
    const auto cur = FTags.begin() + curIndex;
    const auto target = FTags.begin() + newIndex;
    if (curIndex < newIndex) {
        std::rotate(cur, cur + 1, target + 1);
    } else {
        std::rotate(target, cur, cur + 1);
    }
    FModified = true;
    FDefinitelySorted = false;
}

void TIPTCSection::Sort() {
    if (FDefinitelySorted) {
        return;
    }
    std::stable_sort(FTags.begin(), FTags.end(),
                     [](const auto& a, const auto& b) { return a->GetID() < b->GetID(); });
    FModified = true;
    FDefinitelySorted = true;
}

} // namespace Kestrix::Exif
