#include "kestrix/IPTC.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Kestrix::Exif;

namespace {

class TFakeOwner : public TIPTCSectionOwner {
public:
    bool UTF8 = true;
    bool GetUTF8Encoded() override { return UTF8; }
};

std::vector<int> IDs(const TIPTCSection& section) {
    std::vector<int> ids;
    for (const TIPTCTag& tag : section) {
        ids.push_back(tag.GetID());
    }
    return ids;
}

// A record holding `ids` in that order, with the flags as a loader leaves them.
void Fill(TIPTCSection& section, std::initializer_list<TIPTCTagID> ids) {
    for (const TIPTCTagID id : ids) {
        section.Append(id);
    }
    section.SetModified(false);
}

} // namespace

TEST(IPTCSection, AddPlacesEachNumberAfterTheLastLowerOne) {
    struct Case {
        const char* Name;
        std::initializer_list<TIPTCTagID> Before;
        TIPTCTagID Added;
        std::vector<int> After;
        int Index;
    };
    const Case cases[] = {
        {"empty record", {}, 25, {25}, 0},
        {"between", {5, 80}, 25, {5, 25, 80}, 1},
        {"at the end", {5, 25}, 80, {5, 25, 80}, 2},
        {"at the start", {25, 80}, 5, {5, 25, 80}, 0},
        {"before equal numbers", {5, 25, 25, 80}, 25, {5, 25, 25, 25, 80}, 1},
        {"unsorted: after the last lower one", {80, 5, 120}, 25, {80, 5, 25, 120}, 2},
        {"dataset 0 goes to the end", {5, 25}, 0, {5, 25, 0}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TIPTCSection section(nullptr, 2);
        Fill(section, c.Before);
        TIPTCTag& added = section.Add(c.Added);
        EXPECT_EQ(IDs(section), c.After);
        EXPECT_EQ(added.GetIndex(), c.Index);
        EXPECT_EQ(added.GetSection(), &section);
        EXPECT_EQ(added.GetDataSize(), 0);
        EXPECT_EQ(added.GetData(), nullptr);
        EXPECT_TRUE(section.GetModified());
    }
}

TEST(IPTCSection, InsertKeepsTheSortedFlagOnlyForInOrderInsertions) {
    TIPTCSection section(nullptr, 2);
    EXPECT_FALSE(section.GetDefinitelySorted()) << "a new record is not known to be sorted";
    Fill(section, {5, 25});
    section.Sort();
    ASSERT_TRUE(section.GetDefinitelySorted());
    section.Add(25);
    section.Add(80);
    section.Insert(0, 5);
    EXPECT_TRUE(section.GetDefinitelySorted());
    section.Add(0);
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 5, 25, 25, 80, 0}));
    EXPECT_FALSE(section.GetDefinitelySorted());
    TIPTCTag* found = nullptr;
    ASSERT_TRUE(section.Find(0, found));
    EXPECT_EQ(found->GetIndex(), 5);

    TIPTCSection other(nullptr, 2);
    Fill(other, {5, 25});
    other.Sort();
    other.Insert(2, 20);
    EXPECT_FALSE(other.GetDefinitelySorted());
    EXPECT_THROW(other.Insert(4, 1), EListError);
    EXPECT_THROW(other.Insert(-1, 1), EListError);
}

TEST(IPTCSection, FindStopsAtAHigherNumberOnlyWhileSorted) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {5, 25, 120, 25});
    TIPTCTag* found = nullptr;
    // Not known to be sorted: the whole list is scanned.
    ASSERT_TRUE(section.Find(25, found));
    EXPECT_EQ(found->GetIndex(), 1) << "the first dataset of that number";
    ASSERT_TRUE(section.Find(120, found));
    // Claimed sorted although it is not: the scan stops at 120.
    section.SetDefinitelySorted(true);
    section.GetTag(1).SetDataSize(0); // no number change: flag stays
    section.Move(1, 3);
    EXPECT_FALSE(section.GetDefinitelySorted());
    section.SetDefinitelySorted(true);
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 120, 25, 25}));
    EXPECT_FALSE(section.Find(25, found));
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(section.Find(7, found));
    EXPECT_EQ(found, nullptr);
}

TEST(IPTCSection, SortOrdersStablyAndOnlyWhenNotKnownSorted) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {120, 25, 5, 25});
    section.GetTag(1).WriteRawString("first");
    section.GetTag(3).WriteRawString("second");
    section.SetModified(false);
    section.Sort();
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 25, 25, 120}));
    EXPECT_EQ(section.GetTag(1).ReadUTF8String(), "first");
    EXPECT_EQ(section.GetTag(2).ReadUTF8String(), "second");
    EXPECT_TRUE(section.GetModified());
    EXPECT_TRUE(section.GetDefinitelySorted());
    EXPECT_TRUE(section.TagExists(25));
    section.SetModified(false);
    section.Sort();
    EXPECT_FALSE(section.GetModified()) << "sorting a known-sorted record is a no-op";
    section.GetTag(0).SetID(200);
    EXPECT_FALSE(section.GetDefinitelySorted()) << "a number change clears the flag";
    EXPECT_TRUE(section.GetModified());
}

TEST(IPTCSection, RemoveReturnsTheSmallestDeletedPosition) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {5, 25, 80, 25, 90, 80});
    EXPECT_EQ(section.Remove(7), -1);
    EXPECT_FALSE(section.GetModified());
    EXPECT_EQ(section.Remove(TIPTCTagIDs{80, 90}), 2);
    EXPECT_EQ(IDs(section), (std::vector<int>{5, 25, 25}));
    EXPECT_TRUE(section.GetModified());
    EXPECT_EQ(section.Remove(25), 1);
    EXPECT_EQ(IDs(section), (std::vector<int>{5}));
    EXPECT_TRUE(section.GetDefinitelySorted()) << "one dataset left is trivially sorted";
    section.Clear();
    EXPECT_EQ(section.Count(), 0);
    EXPECT_THROW(section.GetTag(0), EListError);
}

TEST(IPTCSection, MoveAndIndexReorder) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {1, 2, 3, 4});
    section.Move(0, 2);
    EXPECT_EQ(IDs(section), (std::vector<int>{2, 3, 1, 4}));
    section.Move(3, 0);
    EXPECT_EQ(IDs(section), (std::vector<int>{4, 2, 3, 1}));
    section.GetTag(3).SetIndex(1);
    EXPECT_EQ(IDs(section), (std::vector<int>{4, 1, 2, 3}));
    EXPECT_TRUE(section.GetModified());
    section.SetModified(false);
    section.Move(2, 2);
    EXPECT_FALSE(section.GetModified());
    EXPECT_THROW(section.Move(0, 4), EListError);
    EXPECT_EQ(IDs(section), (std::vector<int>{4, 1, 2, 3}));
}

TEST(IPTCSection, DeletingADatasetThroughItselfUpdatesTheRecord) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {25, 5, 80});
    section.GetTag(1).Delete();
    EXPECT_EQ(IDs(section), (std::vector<int>{25, 80}));
    EXPECT_TRUE(section.GetModified());
    TIPTCTag detached(5);
    detached.Delete(); // belongs to this scope; nothing happens
    EXPECT_EQ(detached.GetIndex(), -1);
    detached.SetIndex(3);
    EXPECT_EQ(detached.GetIndex(), -1);
}

TEST(IPTCSection, RecordNumbersOutsideOneToNineAreRefused) {
    EXPECT_THROW(TIPTCSection(nullptr, 0), ERangeError);
    EXPECT_THROW(TIPTCSection(nullptr, 10), ERangeError);
    TIPTCSection section(nullptr, 9);
    EXPECT_EQ(section.GetID(), 9);
}

TEST(IPTCTag, ChangesMarkTheRecordModified) {
    TIPTCSection section(nullptr, 2);
    Fill(section, {25});
    TIPTCTag& tag = section.GetTag(0);
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    tag.UpdateData(bytes);
    EXPECT_TRUE(section.GetModified());
    section.SetModified(false);
    tag.SetDataSize(3);
    tag.SetID(25);
    EXPECT_FALSE(section.GetModified()) << "no change, no mark";
    tag.SetDataSize(5);
    EXPECT_EQ(tag.ReadUTF8String(), std::string("\x01\x02\x03\0\0", 5));
    tag.SetDataSize(2);
    EXPECT_EQ(tag.ReadUTF8String(), "\x01\x02");
    EXPECT_THROW(tag.SetDataSize(-1), ERangeError);
    const std::uint8_t other[] = {9, 8, 7};
    tag.UpdateDataInPlace(other);
    EXPECT_EQ(tag.ReadUTF8String(), "\x09\x08") << "the size is kept";
    tag.UpdateData(3, other);
    EXPECT_EQ(tag.ReadUTF8String(), "\x09\x08\x07");
    EXPECT_TRUE(section.GetModified());
}

TEST(IPTCTag, AssignCopiesNumberAndBytes) {
    TIPTCSection section(nullptr, 2);
    section.Sort();
    TIPTCTag& tag = section.Add(25);
    tag.WriteRawString("old");
    TIPTCTag source(80);
    source.WriteRawString("new");
    tag.Assign(&source);
    EXPECT_EQ(tag.GetID(), 80);
    EXPECT_EQ(tag.ReadUTF8String(), "new");
    EXPECT_FALSE(section.GetDefinitelySorted()) << "the number change is reported";
    EXPECT_EQ(source.ReadUTF8String(), "new");
    tag.Assign(nullptr);
    EXPECT_EQ(tag.GetID(), 80);
    EXPECT_EQ(tag.GetDataSize(), 0);
}

TEST(IPTCTag, TextFollowsTheOwnersEncoding) {
    TFakeOwner owner;
    TIPTCSection section(&owner, 2);
    TIPTCTag& tag = section.Add(120);
    tag.WriteString("caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(tag.ReadUTF8String(), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(tag.ReadString(), "caf\xC3\xA9 \xE2\x82\xAC");
    owner.UTF8 = false;
    EXPECT_EQ(tag.ReadString(), "caf\xC3\x83\xC2\xA9 \xC3\xA2\xE2\x80\x9A\xC2\xAC")
        << "the same bytes as Windows-1252";
    tag.WriteString("caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD");
    EXPECT_EQ(tag.ReadUTF8String(), "caf\xE9 \x80 ?");
    EXPECT_EQ(tag.ReadString(), "caf\xC3\xA9 \xE2\x82\xAC ?");
    owner.UTF8 = true;
    EXPECT_EQ(tag.ReadString(), "caf\xEF\xBF\xBD \xEF\xBF\xBD ?") << "bad UTF-8 becomes U+FFFD";
    tag.WriteRawString("\xFF\xFE");
    EXPECT_EQ(tag.ReadUTF8String(), "\xFF\xFE");
    tag.WriteString("");
    EXPECT_EQ(tag.GetDataSize(), 0);

    TIPTCSection ownerless(nullptr, 2);
    TIPTCTag& legacy = ownerless.Add(120);
    legacy.WriteString("\xC3\xA9");
    EXPECT_EQ(legacy.ReadUTF8String(), "\xE9");
    TIPTCTag detached(120);
    detached.WriteString("\xC3\xA9");
    EXPECT_EQ(detached.ReadUTF8String(), "\xE9");
}

TEST(IPTCTag, NumericDatasetsReadAndWriteNumbers) {
    struct Case {
        TIPTCSectionID Section;
        TIPTCTagID Tag;
        std::string Bytes;
        std::string Text;
    };
    const Case cases[] = {
        {1, 0, std::string("\x04", 1), "4"},
        {1, 20, std::string("\xFF\xFE", 2), "65534"},
        {1, 22, std::string("\xFF\xFF\xFF\xFE", 4), "-2"},
        {1, 120, std::string("\x00\x00\x01\x00", 4), "256"},
        {1, 122, "abc", "abc"},
        {2, 0, std::string("\x00\x04", 2), "4"},
        {2, 25, std::string("\x00\x04", 2), std::string("\x00\x04", 2)},
        {1, 90, "5", "5"},
        {7, 0, "x", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Section) + ":" + std::to_string(c.Tag));
        TIPTCSection section(nullptr, c.Section);
        TIPTCTag& tag = section.Add(c.Tag);
        tag.WriteRawString(c.Bytes);
        EXPECT_EQ(tag.GetAsString(), c.Text);
    }

    TIPTCSection envelope(nullptr, 1);
    TIPTCTag& number = envelope.Add(20);
    number.WriteRawString(std::string("\x00\x00\x00\x07", 4));
    number.SetAsString("65537");
    EXPECT_EQ(number.ReadUTF8String(), std::string("\x00\x01", 2)) << "two bytes, low 16 bits";
    EXPECT_THROW(number.SetAsString("twelve"), EConvertError);
    EXPECT_EQ(number.ReadUTF8String(), std::string("\x00\x01", 2));
    TIPTCTag& text = envelope.Add(5);
    text.SetAsString("twelve");
    EXPECT_EQ(text.ReadUTF8String(), "twelve");
}
