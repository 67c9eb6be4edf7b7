// The IPTC container: records, encoding, deferred data, streams, properties.
#include "JPEGTestSupport.h"
#include "kestrix/IPTC.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;

namespace {

Bytes Dataset(std::uint8_t record, std::uint8_t id, std::string_view data) {
    return Concat({{0x1C, record, id, static_cast<std::uint8_t>(data.size() >> 8),
                    static_cast<std::uint8_t>(data.size() & 0xFF)},
                   ToBytes(data)});
}

const Bytes UTF8Marker = Dataset(1, 90, "\x1B%G");

Bytes Saved(TIPTCData& data) {
    TMemoryStream stream;
    data.SaveToStream(stream);
    return StreamBytes(stream);
}

void Load(TIPTCData& data, const Bytes& bytes) {
    TMemoryStream stream(bytes);
    data.LoadFromStream(stream);
}

std::shared_ptr<IMetadataBlock> BlockOf(const Bytes& bytes) {
    TMemoryStream stream(bytes);
    return std::make_shared<TMetadataBlock>(stream, static_cast<std::int64_t>(bytes.size()));
}

template <typename F> std::string ErrorOf(F&& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(IPTCData, NewContainerIsEmptyUTF8AndSavesNothing) {
    TIPTCData data;
    EXPECT_TRUE(data.Empty());
    EXPECT_FALSE(data.GetModified());
    EXPECT_TRUE(data.GetUTF8Encoded());
    EXPECT_FALSE(data.GetAlwaysAssumeUTF8Encoding());
    int count = 0;
    for (const TIPTCSection& section : data) {
        EXPECT_EQ(section.GetID(), ++count);
        EXPECT_EQ(section.GetOwner(), &data);
    }
    EXPECT_EQ(count, 9);
    EXPECT_EQ(&data.GetSecondDescriptorSection(), &data.GetSection(9));
    EXPECT_THROW(data.GetSection(0), ERangeError);
    EXPECT_THROW(data.GetSection(10), ERangeError);
    // Only the marker, which the save itself adds.
    EXPECT_EQ(Saved(data), UTF8Marker);
}

TEST(IPTCData, MarkerDecidesTheEncodingOnLoad) {
    const Bytes latin1 = Dataset(2, 90, "Z\xFCrich");
    const Bytes utf8 = Concat({UTF8Marker, Dataset(2, 90, "Z\xC3\xBCrich")});
    TIPTCData data;
    Load(data, latin1);
    EXPECT_FALSE(data.GetUTF8Encoded());
    EXPECT_EQ(data.GetPropertyText("City"), "Z\xC3\xBCrich");
    EXPECT_FALSE(data.GetModified());
    // New text follows the legacy code page, and no marker is written.
    data.SetPropertyText("Headline", "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Saved(data), Concat({latin1, Dataset(2, 105, "\xE9t\xE9")}));

    Load(data, utf8);
    EXPECT_TRUE(data.GetUTF8Encoded());
    EXPECT_EQ(data.GetPropertyText("City"), "Z\xC3\xBCrich");
    EXPECT_EQ(Saved(data), utf8);

    // A 1:90 dataset that is not exactly the marker says nothing.
    Load(data, Concat({Dataset(1, 90, "\x1B%G "), latin1}));
    EXPECT_FALSE(data.GetUTF8Encoded());

    data.SetAlwaysAssumeUTF8Encoding(true);
    Load(data, Dataset(2, 90, "Z\xC3\xBCrich"));
    EXPECT_TRUE(data.GetUTF8Encoded());
    EXPECT_EQ(data.GetPropertyText("City"), "Z\xC3\xBCrich");
}

TEST(IPTCData, SwitchingTheEncodingReencodesTextOnlyAndMovesTheMarker) {
    TIPTCData data;
    Load(data, Concat({UTF8Marker, Dataset(2, 0, std::string_view("\x00\x04", 2)),
                       Dataset(2, 90, "Z\xC3\xBCrich")}));
    data.SetUTF8Encoded(false);
    EXPECT_TRUE(data.GetModified());
    // The record version (a number) is untouched, the marker gone.
    EXPECT_EQ(Saved(data), Concat({Dataset(2, 0, std::string_view("\x00\x04", 2)),
                                   Dataset(2, 90, "Z\xFCrich")}));
    data.SetUTF8Encoded(true);
    EXPECT_EQ(Saved(data), Concat({UTF8Marker, Dataset(2, 0, std::string_view("\x00\x04", 2)),
                                   Dataset(2, 90, "Z\xC3\xBCrich")}));
}

TEST(IPTCData, LoadStopsAtTheFirstBadHeaderAndKeepsWhatCameBefore) {
    const Bytes good = Concat({Dataset(2, 25, "a"), Dataset(2, 25, "b")});
    TIPTCData data;
    for (const Bytes& tail : {Bytes{0, 0, 0, 0}, Bytes{0x1C, 0x0A, 0x05, 0, 1, 'x'},
                              Bytes{0x1C, 0x02, 0x05, 0, 9, 'x', 'y'}}) {
        Load(data, Concat({good, tail}));
        EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"a", "b"}));
        EXPECT_TRUE(data.GetLoadErrors().Empty());
    }
}

TEST(IPTCData, LoadMarksRecordsUnmodifiedAndNotesTheirOrder) {
    TIPTCData data;
    Load(data, Concat({Dataset(2, 90, "c"), Dataset(2, 25, "k"), Dataset(1, 5, "d")}));
    EXPECT_FALSE(data.GetModified());
    EXPECT_FALSE(data.GetApplicationSection().GetDefinitelySorted());
    EXPECT_TRUE(data.GetEnvelopeSection().GetDefinitelySorted());
    data.SortTags();
    EXPECT_EQ(data.GetApplicationSection().GetTag(0).GetID(), 25);
    EXPECT_EQ(data.GetApplicationSection().GetTag(1).GetID(), 90);

    // AddFromStream appends to what is there.
    TMemoryStream more(Dataset(2, 25, "l"));
    data.AddFromStream(more);
    EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"k", "l"}));
    data.SetModified(false);
    EXPECT_FALSE(data.GetModified());
}

TEST(IPTCData, DeferredDataIsParsedOnFirstUseAndOtherwiseSavedUnchanged) {
    // Unparsable bytes show that nothing was parsed or rebuilt.
    const Bytes raw = Concat({Dataset(2, 90, "Oslo"), Bytes{0xAB, 0xCD}});
    TIPTCData data;
    data.SetDataToLazyLoad(BlockOf(raw));
    EXPECT_FALSE(data.Empty());
    EXPECT_FALSE(data.GetModified());
    EXPECT_EQ(Saved(data), raw);
    EXPECT_TRUE(data.GetDataToLazyLoad() != nullptr);

    EXPECT_EQ(data.GetPropertyText("City"), "Oslo");
    EXPECT_EQ(data.GetDataToLazyLoad(), nullptr);
    // The block had no marker: legacy text from now on.
    EXPECT_FALSE(data.GetUTF8Encoded());
    EXPECT_EQ(Saved(data), Dataset(2, 90, "Oslo"));

    // The same block again changes nothing; Clear drops a pending one.
    const auto block = BlockOf(raw);
    data.SetDataToLazyLoad(block);
    data.SetDataToLazyLoad(block);
    EXPECT_FALSE(data.Empty());
    data.Clear();
    EXPECT_TRUE(data.Empty());
}

TEST(IPTCData, AssignCopiesRecordsByAddOrSharesDeferredData) {
    TIPTCData source;
    Load(source, Concat({Dataset(2, 25, "a"), Dataset(2, 25, "b"), Dataset(2, 5, "t")}));
    TIPTCData copy;
    copy.SetDataToLazyLoad(BlockOf(Dataset(2, 90, "x")));
    copy.Assign(&source);
    EXPECT_EQ(copy.GetDataToLazyLoad(), nullptr);
    EXPECT_EQ(copy.GetPropertyText("City"), "");
    EXPECT_EQ(copy.GetPropertyText("ObjectName"), "t");
    // Add puts each one before those of its number already there.
    EXPECT_EQ(copy.GetPropertyStrings("Keywords"), (std::vector<std::string>{"b", "a"}));

    const auto block = BlockOf(Dataset(2, 90, "x"));
    source.SetDataToLazyLoad(block);
    copy.Assign(&source);
    EXPECT_EQ(copy.GetDataToLazyLoad(), block);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

TEST(IPTCData, AssignCarriesTheEncodingWithTheBytes) {
    TIPTCData source;
    Load(source, Dataset(2, 90, "Z\xFCrich"));
    TIPTCData copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.GetPropertyText("City"), "Z\xC3\xBCrich");
}

// ---------------------------------------------------------------------------
// Properties by name

TEST(IPTCDataProperties, EveryTableNameIsPublishedWithItsKind) {
    TIPTCData data;
    const std::vector<std::string> lists = {"SubjectRefs",
                                            "SupplementaryCategories",
                                            "Keywords",
                                            "ContentLocationCodes",
                                            "ContentLocationNames",
                                            "Bylines",
                                            "BylineTitles",
                                            "Contacts",
                                            "WritersOrEditors"};
    const auto names = data.GetPropertyNames();
    EXPECT_EQ(names.size(), 63U);
    EXPECT_EQ(names.front(), "ModelVersion");
    for (const auto& name : names) {
        const bool isList = std::find(lists.begin(), lists.end(), name) != lists.end();
        EXPECT_EQ(data.GetPropertyKind(name),
                  isList ? TPropertyKind::pkStrings : TPropertyKind::pkText)
            << name;
        // Every property reads as missing on an empty container.
        if (isList) {
            EXPECT_TRUE(data.GetPropertyStrings(name).empty()) << name;
        } else if (name != "Empty" && name != "UTF8Encoded" && name != "AlwaysAssumeUTF8Encoding") {
            EXPECT_EQ(data.GetPropertyText(name), "") << name;
        }
    }
    EXPECT_EQ(ErrorOf([&] { data.GetPropertyText("CameraMake"); }),
              "Property CameraMake does not exist");
    EXPECT_EQ(ErrorOf([&] { data.SetPropertyText("Empty", "false"); }),
              "Property Empty is read-only");
}

TEST(IPTCDataProperties, TextAndListsFollowTheRecordRules) {
    TIPTCData data;
    data.SetPropertyText("City", "Bergen");
    data.SetPropertyStrings("Keywords", {"fjord", "", "rain"});
    EXPECT_EQ(data.GetPropertyText("City"), "Bergen");
    EXPECT_EQ(data.GetPropertyStrings("Keywords"), (std::vector<std::string>{"fjord", "", "rain"}));
    std::vector<std::string> keywords{"old"};
    data.GetKeywords(keywords);
    EXPECT_EQ(keywords.size(), 3U);

    // One empty element: one zero-length dataset.
    data.SetPropertyStrings("Keywords", {""});
    ASSERT_NE(data.GetApplicationSection().Find(IPTCTags::Keyword), nullptr);
    EXPECT_EQ(data.GetApplicationSection().Find(IPTCTags::Keyword)->GetDataSize(), 0);
    data.SetPropertyStrings("Keywords", {});
    EXPECT_FALSE(data.GetApplicationSection().TagExists(IPTCTags::Keyword, 0));

    data.SetPropertyText("City", "");
    EXPECT_FALSE(data.GetApplicationSection().TagExists(IPTCTags::City, 0));
}

TEST(IPTCDataProperties, SecondNamesShareTheirDatasets) {
    TIPTCData data;
    data.SetPropertyStrings("Bylines", {"Ann", "Bo"});
    data.SetPropertyStrings("BylineTitles", {"Editor"});
    EXPECT_EQ(data.GetPropertyText("PSCreator"), "Ann");
    EXPECT_EQ(data.GetPropertyText("PSCreatorJobTitle"), "Editor");
    std::vector<std::string> pairs;
    data.GetBylineValues(pairs);
    EXPECT_EQ(pairs, (std::vector<std::string>{"Ann=Editor", "Bo="}));
    data.SetPropertyText("PSCreator", "Cy");
    EXPECT_EQ(data.GetPropertyStrings("Bylines"), (std::vector<std::string>{"Cy", "Bo"}));
    data.SetPropertyText("PSCreator", "");
    EXPECT_TRUE(data.GetPropertyStrings("Bylines").empty());

    data.SetPropertyText("PSDocumentTitle", "Title");
    EXPECT_EQ(data.GetPropertyText("ObjectName"), "Title");
    data.SetPropertyText("PSDescription", "Caption");
    EXPECT_EQ(data.GetPropertyText("CaptionOrAbstract"), "Caption");
    data.SetPropertyText("CopyrightNotice", "(c)");
    EXPECT_EQ(data.GetPropertyText("PSCopyrightNotice"), "(c)");

    const std::vector<std::string> locations{"NOR=Norway", "SWE=Sweden"};
    data.SetContentLocationValues(locations);
    EXPECT_EQ(data.GetPropertyStrings("ContentLocationCodes"),
              (std::vector<std::string>{"NOR", "SWE"}));
}

TEST(IPTCDataProperties, OtherKindsReadAndWriteTheirTextForms) {
    struct TCase {
        const char* Name;
        const char* Written; // as set
        const char* Read;    // as read back
        Bytes Stored;        // the datasets of the application record (or envelope)
    };
    const std::vector<TCase> cases = {
        {"RecordVersion", "4", "4", Dataset(2, 0, std::string_view("\x00\x04", 2))},
        {"FileFormat", "65535", "65535", Dataset(1, 20, "\xFF\xFF")},
        {"Urgency", "ipHigh", "ipHigh", Dataset(2, 10, "3")},
        {"Urgency", "1", "ipHighest", Dataset(2, 10, "1")},
        {"EnvelopePriority", "ipUserDefined", "ipUserDefined", Dataset(1, 60, "9")},
        {"ReleaseDate", "2024-02-29", "2024-02-29", Dataset(2, 30, "20240229")},
        {"ActionAdvised", "iaObjectAppend", "iaObjectAppend", Dataset(2, 42, "03")},
        {"ActionAdvised", "42", "42", Dataset(2, 42, "42")},
        {"DateTimeCreated", "2024-05-06T07:08:09", "2024-05-06T07:08:09",
         Concat({Dataset(2, 55, "20240506")})},
    };
    for (const TCase& c : cases) {
        TIPTCData data;
        data.SetUTF8Encoded(false);
        data.SetPropertyText(c.Name, c.Written);
        EXPECT_EQ(data.GetPropertyText(c.Name), c.Read) << c.Name;
        const Bytes saved = Saved(data);
        EXPECT_TRUE(std::search(saved.begin(), saved.end(), c.Stored.begin(), c.Stored.end()) !=
                    saved.end())
            << c.Name;
        data.SetPropertyText(c.Name, "");
        EXPECT_EQ(data.GetPropertyText(c.Name), "") << c.Name;
        EXPECT_TRUE(Saved(data).empty()) << c.Name;
    }
}

TEST(IPTCDataProperties, MalformedStoredValuesReadAsMissing) {
    TIPTCData data;
    Load(data, Concat({Dataset(2, 10, "x"), Dataset(2, 42, "100"), Dataset(2, 30, "2024"),
                       Dataset(2, 0, "\x01")}));
    EXPECT_EQ(data.GetPropertyText("Urgency"), "");
    EXPECT_EQ(data.GetPropertyText("ActionAdvised"), "");
    EXPECT_EQ(data.GetActionAdvised(), TIPTCActionAdvised::iaTagMissing);
    EXPECT_EQ(data.GetPropertyText("ReleaseDate"), "");
}

TEST(IPTCDataProperties, InvalidTextIsRefusedAndChangesNothing) {
    TIPTCData data;
    data.SetPropertyText("Urgency", "ipLow");
    for (const auto& [name, text] :
         std::vector<std::pair<std::string, std::string>>{{"Urgency", "urgent"},
                                                          {"RecordVersion", "65536"},
                                                          {"RecordVersion", "-1"},
                                                          {"ReleaseDate", "2024-02-30"},
                                                          {"ActionAdvised", "0"},
                                                          {"DateTimeSent", "yesterday"},
                                                          {"UTF8Encoded", "maybe"}}) {
        EXPECT_EQ(ErrorOf([&] { data.SetPropertyText(name, text); }),
                  "'" + text + "' is not a valid value for property " + name);
    }
    EXPECT_EQ(data.GetPropertyText("Urgency"), "ipLow");
    EXPECT_EQ(data.GetPropertyText("UTF8Encoded"), "true");
    data.SetPropertyText("UTF8Encoded", "false");
    EXPECT_FALSE(data.GetUTF8Encoded());
    EXPECT_EQ(data.GetPropertyText("Empty"), "false");
}
