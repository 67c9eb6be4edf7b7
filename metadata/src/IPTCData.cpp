#include "kestrix/IPTC.h"

#include <utility>

namespace Kestrix::Exif {

TIPTCSection& TIPTCData::TEnumerator::operator*() const {
    return FSource->GetSection(static_cast<TIPTCSectionID>(FCurrentID));
}

TIPTCData::TIPTCData()
    : FTiffRewriteCallback(
          std::make_unique<TSimpleTiffRewriteCallbackImpl>(*this, TagIDs::ttIPTC)) {
    for (TIPTCSectionID id = 1; id <= FSections.size(); ++id) {
        FSections[id - 1] = std::make_unique<TIPTCSection>(this, id);
    }
}

TIPTCData::~TIPTCData() = default;

void TIPTCData::Clear() {
    FLoadErrors = {};
    FDataToLazyLoad.reset();
    for (const auto& section : FSections) {
        section->Clear();
    }
}

bool TIPTCData::Empty() const {
    if (FDataToLazyLoad) {
        return false;
    }
    return std::all_of(FSections.begin(), FSections.end(),
                       [](const auto& section) { return section->Count() == 0; });
}

bool TIPTCData::GetModified() const {
    if (FDataToLazyLoad) {
        return false;
    }
    return std::any_of(FSections.begin(), FSections.end(),
                       [](const auto& section) { return section->GetModified(); });
}

void TIPTCData::SetModified(bool value) {
    CompleteDeferredLoad();
    for (const auto& section : FSections) {
        section->SetModified(value);
    }
}

void TIPTCData::SetDataToLazyLoad(std::shared_ptr<IMetadataBlock> value) {
    if (value == FDataToLazyLoad) {
        return;
    }
    Clear();
    FDataToLazyLoad = std::move(value);
}

void TIPTCData::CompleteDeferredLoad() const {
    if (!FDataToLazyLoad) {
        return;
    }
    // Taken first so that the load below does not come back here.
    const std::shared_ptr<IMetadataBlock> block = std::move(FDataToLazyLoad);
    FDataToLazyLoad.reset();
    TStream& data = block->GetData();
    data.SetPosition(0);
    Self().LoadFromStream(data);
}

bool TIPTCData::GetUTF8Encoded() {
    CompleteDeferredLoad();
    return FUTF8Encoded;
}

void TIPTCData::SetUTF8Encoded(bool value) {
    CompleteDeferredLoad();
    if (value == FUTF8Encoded) {
        return;
    }
    std::vector<std::pair<TIPTCTag*, std::string>> texts;
    for (const auto& section : FSections) {
        for (TIPTCTag& tag : *section) {
            if (!tag.IsNumeric()) {
                texts.emplace_back(&tag, tag.ReadString());
            }
        }
    }
    FUTF8Encoded = value;
    for (const auto& [tag, text] : texts) {
        tag->WriteString(text);
    }
}

TIPTCSection& TIPTCData::GetSection(TIPTCSectionID id) const {
    if (id < 1 || id > FSections.size()) {
        throw ERangeError();
    }
    CompleteDeferredLoad();
    return *FSections[id - 1];
}

TIPTCData::TEnumerator TIPTCData::begin() const {
    CompleteDeferredLoad();
    return TEnumerator(this, IPTCEnvelopeRecord);
}

void TIPTCData::LoadFromStream(TStream& stream) {
    Clear();
    FUTF8Encoded = FAlwaysAssumeUTF8Encoding;
    AddFromStream(stream);
    for (const auto& section : FSections) {
        section->SetModified(false);
        bool sorted = true;
        for (int i = 1; i < section->Count() && sorted; ++i) {
            sorted = section->GetTag(i - 1).GetID() <= section->GetTag(i).GetID();
        }
        section->SetDefinitelySorted(sorted);
    }
}

void TIPTCData::AddFromStream(TStream& stream) {
    CompleteDeferredLoad();
    TIPTCTagInfo info;
    while (TryReadIIMDatasetHeader(stream, info)) {
        TIPTCSection& section = *FSections[info.SectionID - 1];
        TIPTCTag& tag = section.Append(info.TagID);
        try {
            tag.UpdateData(info.DataSize, stream);
        } catch (...) {
            tag.Delete();
            throw;
        }
        if (info.SectionID == IPTCEnvelopeRecord && info.TagID == IPTCTags::CodedCharacterSet &&
            tag.ReadUTF8String() == IPTCUTF8Marker) {
            FUTF8Encoded = true;
        }
    }
}

namespace {

bool IsUTF8Marker(const TIPTCTag* tag) {
    return tag != nullptr && tag->ReadUTF8String() == IPTCUTF8Marker;
}

} // namespace

void TIPTCData::SaveToStream(TStream& stream) {
    if (FDataToLazyLoad) {
        TStream& data = FDataToLazyLoad->GetData();
        data.SetPosition(0);
        stream.CopyFrom(data, data.GetSize());
        return;
    }
    TIPTCSection& envelope = *FSections[IPTCEnvelopeRecord - 1];
    if (FUTF8Encoded) {
        const auto* marker = reinterpret_cast<const std::uint8_t*>(IPTCUTF8Marker.data());
        envelope.AddOrUpdate(IPTCTags::CodedCharacterSet, {marker, IPTCUTF8Marker.size()});
    } else if (TIPTCTag* first = envelope.Find(IPTCTags::CodedCharacterSet); IsUTF8Marker(first)) {
        first->Delete();
    }
    for (const auto& section : FSections) {
        WriteIIMDatasets(stream, *section);
    }
}

void TIPTCData::SortTags() {
    CompleteDeferredLoad();
    for (const auto& section : FSections) {
        section->Sort();
    }
}

void TIPTCData::Assign(const TIPTCData* source) {
    if (source == this) {
        return;
    }
    if (source == nullptr) {
        Clear();
        return;
    }
    if (source->FDataToLazyLoad) {
        SetDataToLazyLoad(source->FDataToLazyLoad);
        return;
    }
    FDataToLazyLoad.reset();
    // The bytes are copied as they are, so they keep meaning what they meant
    // only under the source's encoding.
    FUTF8Encoded = source->FUTF8Encoded;
    for (TIPTCSectionID id = 1; id <= FSections.size(); ++id) {
        TIPTCSection& dest = *FSections[id - 1];
        dest.Clear();
        for (const TIPTCTag& tag : *source->FSections[id - 1]) {
            dest.Add(tag.GetID()).UpdateData(tag.GetBytes());
        }
    }
}

} // namespace Kestrix::Exif
