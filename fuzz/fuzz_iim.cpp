// Reads a run of IIM datasets into records, exercises the typed views, writes
// the records back and checks that what was written reads back the same.
#include "kestrix/IPTC.h"

#include <array>
#include <cstdlib>
#include <memory>

using namespace Kestrix::Exif;

namespace {

class TOwner : public TIPTCSectionOwner {
public:
    bool UTF8 = false;
    bool GetUTF8Encoded() override { return UTF8; }
};

using TRecords = std::array<std::unique_ptr<TIPTCSection>, 9>;

TRecords MakeRecords(TOwner& owner) {
    TRecords records;
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i] = std::make_unique<TIPTCSection>(&owner, static_cast<TIPTCSectionID>(i + 1));
    }
    return records;
}

void Load(TStream& stream, TRecords& records) {
    TIPTCTagInfo info;
    while (TryReadIIMDatasetHeader(stream, info)) {
        records[info.SectionID - 1]->Append(info.TagID).UpdateData(info.DataSize, stream);
    }
}

std::vector<std::uint8_t> Save(const TRecords& records) {
    TMemoryStream stream;
    for (const auto& record : records) {
        WriteIIMDatasets(stream, *record);
    }
    return stream.TakeBytes();
}

void ExerciseViews(TIPTCSection& record) {
    for (const TIPTCTag& tag : record) {
        (void)tag.GetAsString();
        (void)record.GetPriorityValue(tag.GetID());
        (void)record.GetWordValue(tag.GetID());
        (void)record.GetDateTimeValue(tag.GetID(), static_cast<TIPTCTagID>(tag.GetID() + 5), true);
    }
    std::vector<std::string> pairs;
    record.GetRepeatablePairs(26, 27, pairs, true);
    record.SetRepeatablePairs(26, 27, pairs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TOwner owner;
    owner.UTF8 = size > 0 && (data[0] & 1) != 0;
    TUserMemoryStream input(data, size);
    TRecords records = MakeRecords(owner);
    Load(input, records);
    const std::vector<std::uint8_t> saved = Save(records);

    TMemoryStream again(saved);
    TRecords reread = MakeRecords(owner);
    Load(again, reread);
    if (again.BytesLeft() != 0 || Save(reread) != saved) {
        std::abort();
    }
    for (auto& record : reread) {
        ExerciseViews(*record);
        record->Sort();
    }
    return 0;
}
