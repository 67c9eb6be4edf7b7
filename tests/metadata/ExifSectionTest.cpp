#include "ExifTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Kestrix::Exif;
using namespace ExifTestSupport;

namespace {

using TType = TTiffDataType;
using TKind = TExifSectionKind;

constexpr std::uint16_t kAscii = 2, kShort = 3, kLong = 4, kByte = 1, kUndefined = 7;

// A little-endian IFD0 at offset 8 holding the given entries, then `data`.
std::vector<std::uint8_t> Directory(const std::function<void(TBytes&)>& entries,
                                    std::uint16_t count,
                                    std::initializer_list<std::uint8_t> data = {}) {
    TBytes bytes;
    bytes.Header().Word(count);
    entries(bytes);
    bytes.Long(0).Bytes(data);
    return bytes.Get();
}

// Where data placed after a directory of `count` entries at offset 8 starts.
constexpr std::uint32_t DataStart(std::uint32_t count) {
    return 8 + 2 + 12 * count + 4;
}

template <typename T> std::vector<T> Values(const TExifSection& section, TTiffTagID id) {
    const TExifTag* const tag = section.Find(id);
    return tag == nullptr ? std::vector<T>{} : ValuesOf<T>(*tag);
}

} // namespace

TEST(ExifSection, LoadSortsByIDAndKeepsDuplicates) {
    const auto bytes = Directory(
        [](TBytes& b) {
            b.InlineEntry(TagIDs::ttModel, kAscii, 2, {'B', 0});
            b.Entry(TagIDs::ttMake, kAscii, 6, DataStart(3));
            b.InlineEntry(TagIDs::ttMake, kShort, 1, {7, 0});
        },
        3, {'C', 'a', 'n', 'o', 'n', 0});
    TTestExifOwner owner;
    TExifSection& section = owner.GetSection(TKind::esGeneral);
    section.SetStringValue(0x0001, "old");
    section.Load(*FirstDirectory(bytes), false);

    EXPECT_EQ(IDsOf(section), (std::vector<int>{0x010F, 0x010F, 0x0110}));
    EXPECT_FALSE(section.GetModified());
    EXPECT_EQ(section.GetFirstTagHeaderOffset(), 10);
    EXPECT_TRUE(section.GetLoadErrors().Empty());
    const TExifTag* const make = section.Find(TagIDs::ttMake);
    ASSERT_NE(make, nullptr);
    EXPECT_EQ(make->GetID(), TagIDs::ttMake);
    EXPECT_EQ(section.GetStringValue(TagIDs::ttModel), "B");
    // Each tag keeps where its data was and how long it was.
    const TExifTag& model = section.GetTag(2);
    EXPECT_EQ(model.GetOriginalDataOffset(), 10u + 8);
    EXPECT_EQ(model.GetOriginalDataSize(), 2);
    for (const TExifTag& tag : section) {
        if (tag.GetDataType() == TType::tdAscii && tag.GetID() == TagIDs::ttMake) {
            EXPECT_EQ(tag.GetOriginalDataOffset(), DataStart(3));
            EXPECT_EQ(tag.GetAsString(), "Canon");
            EXPECT_EQ(tag.GetSection(), &section);
        }
    }
}

TEST(ExifSection, MalformedEntryLoadsAsEmptyUndefinedTag) {
    const auto bytes = Directory(
        [](TBytes& b) {
            b.InlineEntry(0x0100, kShort, 1, {1, 0});
            b.Entry(0x0200, 14, 3, 0);
            b.InlineEntry(0x0300, kShort, 1, {3, 0});
        },
        3);
    TExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.Load(*FirstDirectory(bytes), false);
    ASSERT_EQ(section.GetCount(), 3);
    const TExifTag& bad = *section.Find(0x0200);
    EXPECT_EQ(bad.GetDataType(), TType::tdUndefined);
    EXPECT_EQ(bad.GetElementCount(), 0);
    EXPECT_FALSE(bad.GetWellFormed());
    EXPECT_EQ(bad.GetOriginalDataSize(), 0);
    EXPECT_TRUE(section.GetLoadErrors().Contains(TMetadataLoadError::leBadTagHeader));
    EXPECT_TRUE(section.Find(0x0300)->GetWellFormed());
}

TEST(ExifSection, TiffFileFilterOnlyAppliesToTheMainSection) {
    const auto bytes = Directory(
        [](TBytes& b) {
            b.InlineEntry(TagIDs::ttMake, kAscii, 2, {'A', 0});
            b.InlineEntry(TagIDs::ttStripOffsets, kLong, 1, {8, 0, 0, 0});
            b.InlineEntry(TagIDs::ttRating, kShort, 1, {3, 0});
            b.InlineEntry(TagIDs::ttExifOffset, kLong, 1, {0, 0, 0, 0});
            b.InlineEntry(TagIDs::ttWindowsTitle, kByte, 4, {'A', 0, 0, 0});
            b.InlineEntry(TagIDs::ttWindowsSubject, kShort, 1, {0, 0});
            b.InlineEntry(TagIDs::ttPadding, kUndefined, 2, {0x1C, 0xEA});
        },
        7);
    struct Case {
        const char* Name;
        TKind Kind;
        bool FromTiffFile;
        std::vector<int> IDs;
    };
    const std::vector<int> all = {0x010F, 0x0111, 0x4746, 0x8769, 0x9C9B, 0x9C9F, 0xEA1C};
    const Case cases[] = {
        {"TIFF file IFD0", TKind::esGeneral, true, {0x010F, 0x8769, 0x9C9B}},
        {"EXIF block IFD0", TKind::esGeneral, false, all},
        {"TIFF file, another section", TKind::esThumbnail, true, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestExifOwner owner;
        owner.GetSection(c.Kind).Load(*FirstDirectory(bytes), c.FromTiffFile);
        EXPECT_EQ(IDsOf(owner.GetSection(c.Kind)), c.IDs);
    }
}

// Entries that all point at the same bytes must not make the section hold more
// data than the structure has.
TEST(ExifSection, SharedDataCannotInflateTheLoad) {
    constexpr std::uint16_t count = 200;
    constexpr std::uint32_t dataSize = 2000;
    TBytes bytes;
    bytes.Header().Word(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        bytes.Entry(static_cast<std::uint16_t>(i + 1), kUndefined, dataSize, DataStart(count));
    }
    bytes.Long(0).Zeros(dataSize);
    TExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.Load(*FirstDirectory(bytes.Get()), false);
    EXPECT_EQ(section.GetCount(), count);
    std::int64_t held = 0;
    int refused = 0;
    for (const TExifTag& tag : section) {
        held += tag.GetDataSize();
        refused += tag.GetWellFormed() ? 0 : 1;
    }
    EXPECT_LE(held, bytes.Size());
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(section.GetLoadErrors().Contains(TMetadataLoadError::leBadTagHeader));
    EXPECT_TRUE(section.GetTag(0).GetWellFormed());
}

TEST(ExifSection, BigEndianValuesLoadInHostOrder) {
    TBytes bytes(TEndianness::BigEndian);
    bytes.Header().Word(2);
    bytes.InlineEntry(TagIDs::ttOrientation, kShort, 1, {0, 6});
    bytes.Entry(TagIDs::ttXResolution, 5, 1, DataStart(2));
    bytes.Long(0).Bytes({0, 0, 0, 1, 0, 0, 0, 2});
    TExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.Load(*FirstDirectory(bytes.Get()), false);
    EXPECT_EQ(section.GetWordValue(TagIDs::ttOrientation, 0), TWordTagValue(6));
    EXPECT_EQ(section.GetFractionValue(TagIDs::ttXResolution, 0), TTiffLongWordFraction(1, 2));
}

TEST(ExifSection, Strings) {
    struct Case {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        bool Found;
        std::string Text;
    };
    const Case cases[] = {
        {"final blank dropped", {'a', 'b', 'c', ' '}, true, "abc"},
        {"only one final byte dropped", {'a', 'b', 'c', 0, 0}, true, std::string("abc\0", 4)},
        {"final control byte dropped", {'a', '\n'}, true, "a"},
        {"no terminator", {'a', 'b'}, true, "ab"},
        {"Windows-1252", {0xE9, 0}, true, "\xC3\xA9"},
        {"no elements", {}, false, "default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
        section.AddOrUpdate(1, TType::tdAscii, static_cast<std::int32_t>(c.Bytes.size()),
                            c.Bytes.data());
        std::string text;
        EXPECT_EQ(section.TryGetStringValue(1, text), c.Found);
        EXPECT_EQ(section.GetStringValue(1, "default"), c.Found ? c.Text : "default");
    }
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.SetWordValue(2, 0, 65);
    EXPECT_EQ(section.GetStringValue(2, "not ASCII"), "not ASCII");
    section.SetStringValue(1, "Canon");
    EXPECT_EQ(BytesOf(*section.Find(1)), (std::vector<std::uint8_t>{'C', 'a', 'n', 'o', 'n', 0}));
    EXPECT_EQ(section.GetStringValue(1), "Canon");
    section.SetStringValue(1, "");
    EXPECT_EQ(section.Find(1), nullptr);
}

TEST(ExifSection, WindowsStrings) {
    TTestExifOwner owner;
    TExifSection& section = owner.GetSection(TKind::esGeneral);
    section.SetWindowsStringValue(TagIDs::ttWindowsTitle, "h\xC3\xA9");
    const TExifTag& tag = *section.Find(TagIDs::ttWindowsTitle);
    EXPECT_EQ(tag.GetDataType(), TType::tdByte);
    EXPECT_EQ(BytesOf(tag), (std::vector<std::uint8_t>{'h', 0, 0xE9, 0, 0, 0}));
    EXPECT_TRUE(tag.HasWindowsStringData());
    EXPECT_EQ(section.GetWindowsStringValue(TagIDs::ttWindowsTitle), "h\xC3\xA9");
    EXPECT_EQ(tag.GetAsString(), "h\xC3\xA9");
    section.Find(TagIDs::ttWindowsTitle)->SetAsString("\xF0\x9F\x98\x80!");
    EXPECT_EQ(section.Find(TagIDs::ttWindowsTitle)->GetElementCount(), 8);
    EXPECT_EQ(section.GetWindowsStringValue(TagIDs::ttWindowsTitle), "\xF0\x9F\x98\x80!");
    // The same bytes elsewhere are plain numbers.
    TExifSection& details = owner.GetSection(TKind::esDetails);
    details.SetWindowsStringValue(TagIDs::ttWindowsTitle, "h");
    EXPECT_FALSE(details.Find(TagIDs::ttWindowsTitle)->HasWindowsStringData());
    EXPECT_EQ(details.Find(TagIDs::ttWindowsTitle)->GetAsString(), "104,0,0,0");
    std::string text;
    section.SetByteValue(TagIDs::ttWindowsAuthor, 0, 1);
    EXPECT_FALSE(section.TryGetWindowsStringValue(TagIDs::ttWindowsAuthor, text));
    section.SetWindowsStringValue(TagIDs::ttWindowsTitle, "");
    EXPECT_EQ(section.Find(TagIDs::ttWindowsTitle), nullptr);
}

TEST(ExifSection, EnforcedASCIIRefusesOtherCharactersAndKeepsTheTag) {
    for (const char* text : {"\xC2\x80", "caf\xC3\xA9"}) {
        SCOPED_TRACE(text);
        TTestExifOwner owner;
        TExifSection& section = owner.GetSection(TKind::esGeneral);
        section.SetStringValue(TagIDs::ttArtist, "me");
        try {
            section.SetStringValue(TagIDs::ttArtist, text);
            ADD_FAILURE() << "no error";
        } catch (const ENotOnlyASCIIError& e) {
            EXPECT_STREQ(e.what(), "Tag may contain only ASCII string data");
        }
        TExifTag& tag = *section.Find(TagIDs::ttArtist);
        EXPECT_THROW(tag.SetAsString(text), ENotOnlyASCIIError);
        EXPECT_EQ(section.GetStringValue(TagIDs::ttArtist), "me");
    }
    // Unenforced, the text goes through Windows-1252, which lacks U+0080.
    TTestExifOwner owner;
    owner.EnforceASCII = false;
    TExifSection& section = owner.GetSection(TKind::esGeneral);
    section.SetStringValue(TagIDs::ttArtist, "caf\xC3\xA9");
    EXPECT_EQ(section.GetStringValue(TagIDs::ttArtist), "caf\xC3\xA9");
    section.SetStringValue(TagIDs::ttArtist, "\xC2\x80");
    EXPECT_EQ(section.GetStringValue(TagIDs::ttArtist), "?");
    // Without owner nothing is enforced; the text goes through Windows-1252.
    TExtendableExifSection loose(nullptr, TExifSectionKindEx::esGeneral);
    loose.SetStringValue(1, "caf\xC3\xA9");
    EXPECT_EQ(BytesOf(*loose.Find(1)), (std::vector<std::uint8_t>{'c', 'a', 'f', 0xE9, 0}));
}

TEST(ExifSection, SettersTakeTheirTypeAndGrow) {
    struct Case {
        const char* Name;
        std::function<void(TExtendableExifSection&)> Prepare;
        std::function<void(TExtendableExifSection&)> Set;
        TType Type;
        std::vector<std::uint8_t> Bytes;
    };
    const Case cases[] = {
        {"word on an absent tag",
         [](auto&) {},
         [](auto& s) { s.SetWordValue(9, 2, 7); },
         TType::tdShort,
         {0, 0, 0, 0, 7, 0}},
        {"word on a LONG tag",
         [](auto& s) { s.AddOrUpdate(9, TType::tdLong, 2).SetAsString("1,2"); },
         [](auto& s) { s.SetWordValue(9, 2, 7); },
         TType::tdShort,
         {1, 0, 2, 0, 7, 0}},
        {"word on one LONG, same byte size",
         [](auto& s) { s.AddOrUpdate(9, TType::tdLong, 1).SetAsString("5"); },
         [](auto& s) { s.SetWordValue(9, 1, 7); },
         TType::tdShort,
         {5, 0, 7, 0}},
        {"byte inside a SHORT tag",
         [](auto& s) { s.AddOrUpdate(9, TType::tdShort, 2).SetAsString("1,2"); },
         [](auto& s) { s.SetByteValue(9, 0, 9); },
         TType::tdByte,
         {9, 2}},
        {"long word on BYTEs",
         [](auto& s) { s.AddOrUpdate(9, TType::tdByte, 2).SetAsString("1,2"); },
         [](auto& s) { s.SetLongWordValue(9, 0, 0x01020304); },
         TType::tdLong,
         {4, 3, 2, 1, 2, 0, 0, 0}},
        {"fraction on an absent tag",
         [](auto&) {},
         [](auto& s) {
             s.SetFractionValue(9, 1, {3, 4});
         },
         TType::tdRational,
         {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}},
        {"signed fraction",
         [](auto&) {},
         [](auto& s) {
             s.SetSignedFractionValue(9, 0, {-1, 3});
         },
         TType::tdSRational,
         {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
        c.Prepare(section);
        c.Set(section);
        const TExifTag& tag = *section.Find(9);
        EXPECT_EQ(tag.GetDataType(), c.Type);
        EXPECT_EQ(BytesOf(tag), c.Bytes);
    }
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    EXPECT_THROW(section.SetWordValue(9, -1, 7), EAssertionFailed);
    EXPECT_EQ(section.GetCount(), 0);
}

TEST(ExifSection, WritingTheSameValueReportsNoChange) {
    TTestExifOwner owner;
    TExifSection& section = owner.GetSection(TKind::esGeneral);
    section.SetWordValue(TagIDs::ttOrientation, 0, 6);
    const int before = owner.Notifications;
    section.SetModified(false);
    section.SetWordValue(TagIDs::ttOrientation, 0, 6);
    EXPECT_EQ(owner.Notifications, before);
    EXPECT_FALSE(section.GetModified());
    section.SetWordValue(TagIDs::ttOrientation, 0, 1);
    EXPECT_EQ(owner.Notifications, before + 1);
    EXPECT_TRUE(section.GetModified());
    EXPECT_EQ(owner.LastChanged, &section);
}

TEST(ExifSection, MissingFractionRemovesTheLastElement) {
    struct Case {
        const char* Name;
        std::int32_t Elements;
        std::int32_t Index;
        std::int32_t ElementsAfter; // -1: the tag is gone
        bool StoredAsMissing;
    };
    const Case cases[] = {
        {"only element", 1, 0, -1, false},
        {"last of three", 3, 2, 2, false},
        {"middle of three", 3, 1, 3, true},
        {"beyond the last", 2, 5, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
        for (std::int32_t i = 0; i < c.Elements; ++i) {
            section.SetFractionValue(9, i, {static_cast<std::uint32_t>(i + 1), 1});
        }
        section.SetFractionValue(9, c.Index, {});
        const TExifTag* const tag = section.Find(9);
        if (c.ElementsAfter < 0) {
            EXPECT_EQ(tag, nullptr);
            continue;
        }
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->GetElementCount(), c.ElementsAfter);
        EXPECT_EQ(section.GetFractionValue(9, 0), TTiffLongWordFraction(1, 1));
        if (c.StoredAsMissing) {
            EXPECT_TRUE(section.GetFractionValue(9, c.Index).MissingOrInvalid());
            EXPECT_EQ(section.GetFractionValue(9, c.Index + 1), TTiffLongWordFraction(3, 1));
        }
    }
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.SetFractionValue(9, 0, {});
    EXPECT_EQ(section.GetCount(), 0);
}

TEST(ExifSection, SignedFractionReadsBackWithItsBitPattern) {
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.SetSignedFractionValue(9, 0, {-1, 3});
    EXPECT_EQ(section.Find(9)->GetDataType(), TType::tdSRational);
    const TTiffLongWordFraction read = section.GetFractionValue(9, 0);
    EXPECT_EQ(read.GetPackedValue(), TTiffLongIntFraction(-1, 3).GetPackedValue());
    EXPECT_EQ(section.Find(9)->GetAsString(), "-1/3");
}

TEST(ExifSection, TypedGetters) {
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.AddOrUpdate(1, TType::tdUndefined, 2).SetAsString("0780");
    section.AddOrUpdate(2, TType::tdSShort, 1).SetAsString("-2");
    section.AddOrUpdate(3, TType::tdSLong, 1).SetAsString("-3");
    section.AddOrUpdate(4, TType::tdRational, 1).SetAsString("1/2");
    section.AddOrUpdate(5, TType::tdSByte, 1).SetAsString("-1");

    std::uint8_t byte = 0;
    EXPECT_TRUE(section.TryGetByteValue(1, 1, byte));
    EXPECT_EQ(byte, 0x80);
    EXPECT_FALSE(section.TryGetByteValue(1, 2, byte));
    EXPECT_FALSE(section.TryGetByteValue(2, 0, byte));
    EXPECT_EQ(section.GetByteValue(1, 0, 99, 0, 10), 7);
    EXPECT_EQ(section.GetByteValue(1, 1, 99, 0, 10), 99);

    std::uint16_t word = 0;
    EXPECT_FALSE(section.TryGetWordValue(1, 0, word)); // UNDEFINED is no number
    EXPECT_TRUE(section.TryGetWordValue(5, 0, word));
    EXPECT_EQ(word, 0xFF); // SBYTE zero-extended
    EXPECT_EQ(section.GetWordValue(2, 0), TWordTagValue(0xFFFE));
    EXPECT_EQ(section.GetWordValue(2, 0, 1, 0, 100), 1);
    EXPECT_EQ(section.GetSmallIntValue(2, 0, 0, -5, 5), -2);
    EXPECT_EQ(section.GetSmallIntValue(2, 0, 9, 0, 5), 9);
    EXPECT_TRUE(section.GetWordValue(3, 0).MissingOrInvalid());
    EXPECT_TRUE(section.GetWordValue(99, 0).MissingOrInvalid());

    EXPECT_EQ(section.GetLongWordValue(3, 0), TLongWordTagValue(0xFFFFFFFDu));
    EXPECT_EQ(section.GetLongIntValue(3, 0), TLongIntTagValue(-3));
    EXPECT_EQ(section.GetLongIntValue(3, 1, 42), 42);
    EXPECT_EQ(section.GetLongWordValue(4, 0, 42), 42u);
    EXPECT_TRUE(section.GetLongIntValue(4, 0).MissingOrInvalid());

    EXPECT_EQ(section.GetFractionValue(4, 0), TTiffLongWordFraction(1, 2));
    EXPECT_TRUE(section.GetFractionValue(3, 0).MissingOrInvalid());
    EXPECT_EQ(section.GetFractionValue(4, 1, {5, 6}), TTiffLongWordFraction(5, 6));

    EXPECT_TRUE(section.TagExists(4, {TType::tdRational}));
    EXPECT_FALSE(section.TagExists(4, {TType::tdSRational}));
    EXPECT_FALSE(section.TagExists(4, {TType::tdRational}, 2));
    EXPECT_FALSE(section.TagExists(1, {TType::tdUndefined}, 0, 1));
}

TEST(ExifSection, PlainSectionRefusesStructuralEdits) {
    const auto bytes = Directory(
        [](TBytes& b) {
            b.InlineEntry(0x0100, kShort, 1, {1, 0});
            b.Entry(0x0200, kAscii, 8, DataStart(2));
        },
        2, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 0});
    TTestExifOwner owner(false);
    TExifSection& section = owner.GetSection(TKind::esGeneral);
    section.Load(*FirstDirectory(bytes), false);
    ASSERT_FALSE(section.IsExtendable());

    const auto refused = [&](const std::function<void()>& edit) {
        try {
            edit();
            ADD_FAILURE() << "no error";
        } catch (const EIllegalEditOfExifData& e) {
            EXPECT_STREQ(e.what(), "Illegal attempt to edit the Exif data in such a way that it "
                                   "would change the file structure");
        }
        EXPECT_EQ(IDsOf(section), (std::vector<int>{0x0100, 0x0200}));
        EXPECT_EQ(section.GetStringValue(0x0200), "abcdefg");
        EXPECT_EQ(section.Find(0x0100)->GetElementCount(), 1);
    };
    refused([&] { section.SetWordValue(0x0300, 0, 1); });
    refused([&] { section.Find(0x0100)->SetID(0x0150); });
    refused([&] { section.SetStringValue(0x0200, "abcdefgh"); });
    refused([&] { section.Find(0x0100)->SetElementCount(3); });
    refused([&] { section.Find(0x0100)->SetAsPadding(6); });

    // Growing within 4 bytes, or back to the loaded size, is no structural change.
    section.SetWordValue(0x0100, 1, 2);
    EXPECT_EQ(section.Find(0x0100)->GetElementCount(), 2);
    section.SetStringValue(0x0200, "ab");
    section.SetStringValue(0x0200, "1234567");
    EXPECT_EQ(section.GetStringValue(0x0200), "1234567");
}

TEST(ExifSection, DuplicateIDsAreRefused) {
    TTestExifOwner owner;
    TExtendableExifSection& section = owner.Extendable(TKind::esGeneral);
    section.SetWordValue(TagIDs::ttMake, 0, 1);
    TExifTag& other = section.Add(0x0200, TType::tdShort, 1);
    const auto expectRefused = [](const std::function<void()>& edit) {
        try {
            edit();
            ADD_FAILURE() << "no error";
        } catch (const ETagAlreadyExists& e) {
            EXPECT_STREQ(e.what(), "Tag with ID of \"271\" already exists in section");
        }
    };
    expectRefused([&] { section.Add(TagIDs::ttMake, TType::tdAscii, 3); });
    expectRefused([&] { other.SetID(TagIDs::ttMake); });
    EXPECT_EQ(IDsOf(section), (std::vector<int>{0x010F, 0x0200}));
    EXPECT_EQ(section.Find(TagIDs::ttMake)->GetDataType(), TType::tdShort);
}

TEST(ExifSection, ChangingAnIDKeepsTheOrder) {
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    for (const TTiffTagID id : {12, 1, 7, 5}) {
        section.Add(id, TType::tdShort, 1);
    }
    EXPECT_EQ(IDsOf(section), (std::vector<int>{1, 5, 7, 12}));
    section.Find(5)->SetID(10);
    EXPECT_EQ(IDsOf(section), (std::vector<int>{1, 7, 10, 12}));
    section.Find(12)->SetID(0);
    EXPECT_EQ(IDsOf(section), (std::vector<int>{0, 1, 7, 10}));
}

TEST(ExifSection, EnumerationSurvivesDeletingTheCurrentTag) {
    for (const TTiffTagID doomed : {1, 3, 4}) {
        SCOPED_TRACE(doomed);
        TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
        for (const TTiffTagID id : {1, 2, 3, 4, 5}) {
            section.Add(id, TType::tdShort, 1);
        }
        std::vector<int> visited;
        for (TExifTag& tag : section) {
            visited.push_back(tag.GetID());
            if (tag.GetID() == doomed || tag.GetID() == doomed + 1) {
                tag.Delete();
            }
        }
        EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(section.GetCount(), 3);
    }
}

TEST(ExifSection, DirectoryViewOfEachKind) {
    struct Case {
        TExifSectionKindEx Kind;
        std::int32_t Index;
        int ParentKind; // 0: none
    };
    const Case cases[] = {
        {TExifSectionKindEx::esUserDefined, -1, 0}, {TExifSectionKindEx::esGeneral, 0, 0},
        {TExifSectionKindEx::esDetails, 0x8769, 1}, {TExifSectionKindEx::esInterop, 0xA005, 2},
        {TExifSectionKindEx::esGPS, 0x8825, 1},     {TExifSectionKindEx::esThumbnail, 1, 0},
        {TExifSectionKindEx::esMakerNote, -1, 2},
    };
    TTestExifOwner owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        TExifSection section(&owner, c.Kind);
        ITiffDirectory& view = section;
        EXPECT_EQ(view.GetIndex(), c.Index);
        const auto parent = view.GetParent();
        if (c.ParentKind == 0) {
            EXPECT_EQ(parent, nullptr);
        } else {
            EXPECT_EQ(parent.get(), &owner.GetSection(static_cast<TKind>(c.ParentKind)));
        }
        EXPECT_EQ(TExifSection(nullptr, c.Kind).GetParent(), nullptr);
    }

    TExifSection& section = owner.GetSection(TKind::esGPS);
    section.SetStringValue(1, "N");
    section.SetWordValue(5, 0, 1);
    ITiffDirectory& view = section;
    std::vector<int> ids;
    for (const std::shared_ptr<ITiffTag>& tag : view) {
        ids.push_back(tag->GetID());
        EXPECT_EQ(tag->GetParent().get(), &section);
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 5}));
    EXPECT_EQ(view.GetCount(), 2);
    ASSERT_NE(view.FindTag(5), nullptr);
    EXPECT_EQ(view.FindTag(5)->GetDataType(), TType::tdShort);
    EXPECT_EQ(view.FindTag(4), nullptr);
    EXPECT_TRUE(view.TagExists(1, {TType::tdAscii}, 2, 2));
}

TEST(ExifSection, ChangesAreReportedToTheOwner) {
    TTestExifOwner owner;
    TExtendableExifSection& section = owner.Extendable(TKind::esDetails);
    for (const TTiffTagID id : {1, 2, 3}) {
        section.Add(id, TType::tdShort, 1);
    }
    EXPECT_EQ(owner.Notifications, 3);
    section.Clear();
    EXPECT_EQ(owner.Notifications, 4); // one for the whole bracket
    EXPECT_EQ(owner.UpdateDepth, 0);
    for (const TTiffTagID id : {1, 2, 3}) {
        section.Add(id, TType::tdShort, 1);
    }
    section.Remove({1, 3});
    EXPECT_EQ(IDsOf(section), (std::vector<int>{2}));
    EXPECT_EQ(owner.Notifications, 8);

    // A section outside the container's six keeps its changes to itself.
    TExtendableExifSection loose(&owner, TExifSectionKindEx::esUserDefined);
    loose.Add(1, TType::tdShort, 1);
    EXPECT_TRUE(loose.GetModified());
    EXPECT_EQ(owner.Notifications, 8);
}

TEST(ExifSection, MakerNoteChangesResetTheInterpreter) {
    struct Case {
        const char* Name;
        std::function<void(TExifSection&)> Edit;
        int Resets;
    };
    const Case cases[] = {
        {"data change", [](auto& s) { s.Find(TagIDs::ttMakerNote)->SetAsString("0102"); }, 1},
        {"deletion", [](auto& s) { s.Remove(TagIDs::ttMakerNote); }, 1},
        {"cleared section", [](auto& s) { s.Clear(); }, 1},
        {"ID change", [](auto& s) { s.Find(TagIDs::ttMakerNote)->SetID(0x9999); }, 1},
        {"another tag", [](auto& s) { s.SetWordValue(1, 0, 1); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestExifOwner owner;
        TExtendableExifSection& details = owner.Extendable(TKind::esDetails);
        details.Add(TagIDs::ttMakerNote, TType::tdUndefined, 8);
        c.Edit(details);
        EXPECT_EQ(owner.ResetMakerNoteTypeCalls, c.Resets);
    }
    // The same tag ID elsewhere is no maker note.
    TTestExifOwner owner;
    TExtendableExifSection& general = owner.Extendable(TKind::esGeneral);
    general.Add(TagIDs::ttMakerNote, TType::tdUndefined, 8);
    general.Remove(TagIDs::ttMakerNote);
    EXPECT_EQ(owner.ResetMakerNoteTypeCalls, 0);
}

TEST(ExifSection, PaddingTagRemoval) {
    TExtendableExifSection section(nullptr, TExifSectionKindEx::esUserDefined);
    section.Add(1, TType::tdShort, 1);
    section.Add(2, TType::tdUndefined, 4).SetAsPadding(4);
    EXPECT_TRUE(section.RemovePaddingTag());
    EXPECT_EQ(IDsOf(section), (std::vector<int>{1}));
    EXPECT_FALSE(section.RemovePaddingTag());
    // A tag with the padding ID but other bytes stays.
    section.AddOrUpdate(TagIDs::ttPadding, TType::tdUndefined, 4);
    EXPECT_FALSE(section.RemovePaddingTag());
    EXPECT_EQ(section.GetCount(), 2);
}

TEST(ExifSection, AssignCopyAndPersistentSources) {
    TTestExifOwner owner;
    TExtendableExifSection& source = owner.Extendable(TKind::esGeneral);
    source.SetStringValue(TagIDs::ttMake, "Canon");
    source.SetWordValue(TagIDs::ttOrientation, 0, 6);

    TTestExifOwner otherOwner;
    TExtendableExifSection& target = otherOwner.Extendable(TKind::esGeneral);
    target.SetWordValue(1, 0, 1);
    target.SetWordValue(TagIDs::ttOrientation, 0, 1);
    const int before = otherOwner.Notifications;
    target.Assign(&source);
    EXPECT_EQ(otherOwner.Notifications, before + 1);
    EXPECT_EQ(IDsOf(target), (std::vector<int>{0x010F, 0x0112}));
    EXPECT_EQ(target.GetStringValue(TagIDs::ttMake), "Canon");
    EXPECT_EQ(target.GetWordValue(TagIDs::ttOrientation, 0), TWordTagValue(6));
    EXPECT_EQ(target.Find(TagIDs::ttMake)->GetSection(), &target);
    target.Assign(&target);
    EXPECT_EQ(target.GetCount(), 2);

    target.SetWordValue(1, 0, 1);
    target.CopyTags(source);
    EXPECT_EQ(IDsOf(target), (std::vector<int>{1, 0x010F, 0x0112}));
    target.Assign(nullptr);
    EXPECT_EQ(target.GetCount(), 0);

    // Saved data fills whole elements, the last padded with zeros.
    struct TSource : IStreamPersist {
        void LoadFromStream(TStream&) override {}
        void SaveToStream(TStream& stream) override {
            stream.WriteBuffer(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
        }
    } persist;
    const TExifTag& tag = target.AddOrUpdate(7, TType::tdLong, persist);
    EXPECT_EQ(tag.GetElementCount(), 2);
    EXPECT_EQ(BytesOf(tag), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(ExifSection, TagAssignTakesTheIDOnlyAcrossSections) {
    TExtendableExifSection a(nullptr, TExifSectionKindEx::esUserDefined);
    TExtendableExifSection b(nullptr, TExifSectionKindEx::esUserDefined);
    TExifTag& source = a.Add(5, TType::tdShort, 1);
    source.SetAsString("9");
    TExifTag& sibling = a.Add(6, TType::tdLong, 1);
    sibling.Assign(&source);
    EXPECT_EQ(sibling.GetID(), 6);
    EXPECT_EQ(sibling.GetAsString(), "9");
    TExifTag& stranger = b.Add(8, TType::tdByte, 3);
    stranger.Assign(&source);
    EXPECT_EQ(stranger.GetID(), 5);
    EXPECT_EQ(stranger.GetDataType(), TType::tdShort);
    stranger.Assign(nullptr);
    EXPECT_EQ(stranger.GetElementCount(), 0);
}
