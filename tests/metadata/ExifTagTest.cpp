#include "ExifTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Kestrix::Exif;
using namespace ExifTestSupport;

namespace {

using TType = TTiffDataType;

std::vector<std::uint8_t> Rational(std::initializer_list<std::uint32_t> parts) {
    std::vector<std::uint8_t> bytes(parts.size() * 4);
    std::memcpy(bytes.data(), parts.begin(), bytes.size());
    return bytes;
}

} // namespace

TEST(ExifTag, TextFormOfEachDataType) {
    struct Case {
        const char* Name;
        std::function<std::unique_ptr<TExifTag>()> Make;
        std::string Text;
    };
    const Case cases[] = {
        {"no elements", [] { return std::make_unique<TExifTag>(1, TType::tdShort, 0); }, ""},
        {"BYTE list",
         [] {
             return TagOf<std::uint8_t>(TType::tdByte, {1, 2, 255});
         },
         "1,2,255"},
        {"one SHORT", [] { return TagOf<std::uint16_t>(TType::tdShort, {65535}); }, "65535"},
        {"SHORT list",
         [] {
             return TagOf<std::uint16_t>(TType::tdShort, {1, 2, 3});
         },
         "1,2,3"},
        {"LONG", [] { return TagOf<std::uint32_t>(TType::tdLong, {4294967295u}); }, "4294967295"},
        {"SBYTE",
         [] {
             return TagOf<std::int8_t>(TType::tdSByte, {-1, -128});
         },
         "-1,-128"},
        {"SSHORT", [] { return TagOf<std::int16_t>(TType::tdSShort, {-32768}); }, "-32768"},
        {"SLONG",
         [] {
             return TagOf<std::int32_t>(TType::tdSLong, {-5, 7});
         },
         "-5,7"},
        {"IFD is signed", [] { return TagOf<std::uint32_t>(TType::tdIFD, {0xFFFFFFFFu}); }, "-1"},
        {"ASCII without its NUL",
         [] {
             return TagOf<char>(TType::tdAscii, {'a', 'b', 'c', '\0'});
         },
         "abc"},
        {"ASCII from Windows-1252",
         [] {
             return TagOf<char>(TType::tdAscii, {'\xE9', '\x80', '\0'});
         },
         "\xC3\xA9\xE2\x82\xAC"},
        {"RATIONAL forms",
         [] {
             return TagOf<std::uint32_t>(TType::tdRational, {3, 4, 3, 1, 1, 0});
         },
         "3/4,3,"},
        {"RATIONAL unsigned",
         [] {
             return TagOf<std::uint32_t>(TType::tdRational, {4294967295u, 2});
         },
         "4294967295/2"},
        {"SRATIONAL",
         [] {
             return TagOf<std::int32_t>(TType::tdSRational, {-1, 3});
         },
         "-1/3"},
        {"FLOAT",
         [] {
             return TagOf<float>(TType::tdFloat, {0.5f, -2.0f});
         },
         "0.5,-2"},
        {"DOUBLE", [] { return TagOf<double>(TType::tdDouble, {0.1}); }, "0.1"},
        {"UNDEFINED as hex",
         [] {
             return TagOf<std::uint8_t>(TType::tdUndefined, {0x01, 0xAB});
         },
         "01AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto tag = c.Make();
        EXPECT_EQ(tag->GetAsString(), c.Text);
        EXPECT_EQ(tag->ToString(), c.Text);
    }
}

TEST(ExifTag, ElementTextsAndTheirIndexErrors) {
    const auto tag = TagOf<std::uint32_t>(TType::tdRational, {1, 2, 5, 1});
    EXPECT_EQ(tag->GetElementAsString(0), "1/2");
    EXPECT_EQ(tag->GetElementAsString(1), "5");
    for (const std::int32_t index : {-1, 2}) {
        try {
            tag->GetElementAsString(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.GetMessage(), Format("List index out of bounds (%d)", index));
        }
    }
    const auto ascii = TagOf<char>(TType::tdAscii, {'\xE9', 'x', '\0'});
    EXPECT_EQ(ascii->GetElementAsString(0), "\xC3\xA9");
    const auto undefined = TagOf<std::uint8_t>(TType::tdUndefined, {7});
    EXPECT_EQ(undefined->GetElementAsString(0), "");
}

TEST(ExifTag, WritingTextParsesByTheCurrentType) {
    struct Case {
        const char* Name;
        TType Type;
        std::string Text;
        std::vector<std::uint8_t> Bytes;
    };
    const auto shorts = [](std::initializer_list<std::uint16_t> v) {
        return BytesOf(*TagOf<std::uint16_t>(TType::tdShort, v));
    };
    const Case cases[] = {
        {"blank and comma separated", TType::tdShort, "4, 5", shorts({4, 5})},
        {"blanks alone separate", TType::tdShort, " 4   5 ", shorts({4, 5})},
        {"quoted items", TType::tdShort, "\"4\",\"5\"", shorts({4, 5})},
        {"hexadecimal integers", TType::tdShort, "$10,0x20", shorts({16, 32})},
        {"BYTE bounds", TType::tdByte, "0,255", {0, 255}},
        {"SBYTE bounds", TType::tdSByte, "-128,127", {0x80, 0x7F}},
        {"SSHORT", TType::tdSShort, "-1", {0xFF, 0xFF}},
        {"LONG top", TType::tdLong, "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"SLONG", TType::tdSLong, "-2147483648", {0, 0, 0, 0x80}},
        {"IFD takes signed text", TType::tdIFD, "-1", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"RATIONAL", TType::tdRational, "1/2 7", Rational({1, 2, 7, 1})},
        {"RATIONAL bad item is 0/0", TType::tdRational, "x,1/y", Rational({0, 0, 0, 0})},
        {"SRATIONAL", TType::tdSRational, "-1/3", Rational({0xFFFFFFFFu, 3})},
        {"FLOAT", TType::tdFloat, "0.25", {0, 0, 0x80, 0x3E}},
        {"FLOAT largest, as printed",
         TType::tdFloat,
         "-3.40282346638529E38",
         {0xFF, 0xFF, 0x7F, 0xFF}},
        {"DOUBLE", TType::tdDouble, "2", {0, 0, 0, 0, 0, 0, 0, 0x40}},
        {"UNDEFINED hex, either case", TType::tdUndefined, "0aff", {0x0A, 0xFF}},
        {"UNDEFINED stops at a bad pair", TType::tdUndefined, "0AZZ11", {0x0A, 0, 0}},
        {"UNDEFINED odd digit dropped", TType::tdUndefined, "ABC", {0xAB}},
        {"ASCII gets its NUL", TType::tdAscii, "Canon", {'C', 'a', 'n', 'o', 'n', 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TExifTag tag(1, c.Type, 1);
        tag.SetAsString(c.Text);
        EXPECT_EQ(tag.GetDataType(), c.Type);
        EXPECT_EQ(BytesOf(tag), c.Bytes);
        EXPECT_EQ(tag.GetDataSize(), static_cast<std::int32_t>(c.Bytes.size()));
        // The cache gives back exactly what was written.
        EXPECT_EQ(tag.GetAsString(), c.Text);
    }
}

TEST(ExifTag, RefusedTextLeavesTheTagUnchanged) {
    struct Case {
        const char* Name;
        TType Type;
        std::string Text;
        bool RangeError; // else a conversion error
    };
    const Case cases[] = {
        {"SHORT above 65535", TType::tdShort, "70000", true},
        {"SHORT negative", TType::tdShort, "1,-1", true},
        {"BYTE 256", TType::tdByte, "256", true},
        {"SBYTE -129", TType::tdSByte, "-129", true},
        {"SSHORT 32768", TType::tdSShort, "32768", true},
        {"LONG 2^32", TType::tdLong, "4294967296", true},
        {"LONG negative", TType::tdLong, "-1", true},
        {"FLOAT beyond single", TType::tdFloat, "1e39", true},
        {"not a number", TType::tdShort, "4,five", false},
        {"empty item between commas", TType::tdShort, "1,,2", false},
        {"final comma", TType::tdShort, "1,", false},
        {"SLONG beyond 32 bits", TType::tdSLong, "2147483648", false},
        {"DOUBLE text", TType::tdDouble, "1.5x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TExifTag tag(1, c.Type, 2);
        tag.SetAsString(c.Type == TType::tdFloat || c.Type == TType::tdDouble ? "1.5,2" : "1,2");
        const auto before = BytesOf(tag);
        const std::string textBefore = tag.GetAsString();
        if (c.RangeError) {
            EXPECT_THROW(tag.SetAsString(c.Text), ERangeError);
        } else {
            EXPECT_THROW(tag.SetAsString(c.Text), EConvertError);
        }
        EXPECT_EQ(BytesOf(tag), before);
        EXPECT_EQ(tag.GetElementCount(), 2);
        EXPECT_EQ(tag.GetAsString(), textBefore);
    }
}

TEST(ExifTag, EmptyTextRemovesTheElementsAndChangesClearTheCache) {
    TExifTag tag(1, TType::tdShort, 0);
    tag.SetAsString("4, 5");
    EXPECT_EQ(tag.GetAsString(), "4, 5");
    tag.SetDataType(TType::tdLong);
    EXPECT_EQ(tag.GetAsString(), "4,5");
    tag.SetAsString("");
    EXPECT_EQ(tag.GetElementCount(), 0);
    EXPECT_EQ(tag.GetAsString(), "");
}

TEST(ExifTag, ChangingTypeOrCountKeepsIntegerValues) {
    struct Case {
        const char* Name;
        std::function<std::unique_ptr<TExifTag>()> Make;
        TType NewType;
        std::int32_t NewCount;
        std::vector<std::uint8_t> Bytes;
    };
    const Case cases[] = {
        {"LONG to SHORT, growing",
         [] {
             return TagOf<std::uint32_t>(TType::tdLong, {1, 2});
         },
         TType::tdShort,
         3,
         {1, 0, 2, 0, 0, 0}},
        {"LONG to two SHORTs of the same byte size",
         [] { return TagOf<std::uint32_t>(TType::tdLong, {5}); },
         TType::tdShort,
         2,
         {5, 0, 0, 0}},
        {"SHORT to BYTE keeps the low byte",
         [] {
             return TagOf<std::uint16_t>(TType::tdShort, {0x1234, 7});
         },
         TType::tdByte,
         2,
         {0x34, 7}},
        {"SBYTE to SSHORT keeps the sign",
         [] { return TagOf<std::int8_t>(TType::tdSByte, {-1}); },
         TType::tdSShort,
         1,
         {0xFF, 0xFF}},
        {"BYTE to LONG",
         [] {
             return TagOf<std::uint8_t>(TType::tdByte, {200, 1});
         },
         TType::tdLong,
         2,
         {200, 0, 0, 0, 1, 0, 0, 0}},
        {"same element size keeps the bytes",
         [] { return TagOf<std::uint16_t>(TType::tdShort, {0xFFFF}); },
         TType::tdSShort,
         2,
         {0xFF, 0xFF, 0, 0}},
        {"shrinking keeps the first elements",
         [] {
             return TagOf<std::uint16_t>(TType::tdShort, {1, 2, 3});
         },
         TType::tdShort,
         1,
         {1, 0}},
        {"RATIONAL to LONG is zeroed",
         [] {
             return TagOf<std::uint32_t>(TType::tdRational, {1, 2});
         },
         TType::tdLong,
         3,
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"negative count is none",
         [] { return TagOf<std::uint16_t>(TType::tdShort, {1}); },
         TType::tdShort,
         -3,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto tag = c.Make();
        tag->UpdateData(c.NewType, c.NewCount);
        EXPECT_EQ(tag->GetDataType(), c.NewType);
        EXPECT_EQ(BytesOf(*tag), c.Bytes);
        EXPECT_EQ(tag->GetElementCount(),
                  static_cast<std::int32_t>(c.Bytes.size()) / TiffElementSize(c.NewType));
        EXPECT_EQ(tag->GetData().GetSize(), tag->GetDataSize());
    }
}

TEST(ExifTag, ReadsElementsByTypeFamily) {
    const auto sbyte = TagOf<std::int8_t>(TType::tdSByte, {-1});
    EXPECT_EQ(sbyte->ReadWord(0, 9), 0xFF);
    EXPECT_EQ(sbyte->ReadLongWord(0, 9), 0xFFu);
    EXPECT_EQ(sbyte->ReadWord(1, 9), 9);
    const auto sshort = TagOf<std::int16_t>(TType::tdSShort, {-2});
    EXPECT_EQ(sshort->ReadWord(0, 9), 0xFFFE);
    const auto slong = TagOf<std::int32_t>(TType::tdSLong, {-3});
    EXPECT_EQ(slong->ReadWord(0, 9), 9);
    EXPECT_EQ(slong->ReadLongWord(0, 9), 0xFFFFFFFDu);
    EXPECT_EQ(slong->ReadLongWord(-1, 9), 9u);
    const auto rational = TagOf<std::uint32_t>(TType::tdRational, {1, 2, 3, 4});
    EXPECT_EQ(rational->ReadFraction(1, {}), TTiffLongWordFraction(3, 4));
    EXPECT_EQ(rational->ReadLongWord(0, 9), 9u);
    EXPECT_EQ(slong->ReadFraction(0, {7, 8}), TTiffLongWordFraction(7, 8));
}

TEST(ExifTag, PaddingTags) {
    struct Case {
        TExifPaddingTagSize Size;
        std::vector<std::uint8_t> Bytes;
    };
    const Case cases[] = {
        {2, {0x1C, 0xEA}},
        {10, {0x1C, 0xEA, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Size);
        auto tag = TagOf<std::uint16_t>(TType::tdShort, {1, 2, 3});
        EXPECT_FALSE(tag->IsPadding());
        tag->SetAsPadding(c.Size);
        EXPECT_EQ(tag->GetID(), TagIDs::ttPadding);
        EXPECT_EQ(tag->GetDataType(), TType::tdUndefined);
        EXPECT_EQ(BytesOf(*tag), c.Bytes);
        EXPECT_TRUE(tag->IsPadding());
    }
    TExifTag tag(1, TType::tdUndefined, 1);
    EXPECT_THROW(tag.SetAsPadding(1), ERangeError);
    EXPECT_EQ(tag.GetID(), 1);
    // The marker alone does not make a padding tag.
    auto marked = TagOf<std::uint8_t>(TType::tdUndefined, {0x1C, 0xEB}, TagIDs::ttPadding);
    EXPECT_FALSE(marked->IsPadding());
    marked = TagOf<std::uint8_t>(TType::tdByte, {0x1C, 0xEA}, TagIDs::ttPadding);
    EXPECT_FALSE(marked->IsPadding());
}

TEST(ExifTag, IPTCBlockTest) {
    const std::initializer_list<std::uint8_t> dataset = {0x1C, 0x02, 0x05, 0x00, 0x01, 'x'};
    const auto iptc = TagOf<std::uint8_t>(TType::tdUndefined, dataset, TagIDs::ttIPTC);
    EXPECT_TRUE(iptc->IsIPTCBlock(true));
    EXPECT_EQ(iptc->GetData().GetPosition(), 0);
    const auto other = TagOf<std::uint8_t>(TType::tdUndefined, dataset, 0x1234);
    EXPECT_FALSE(other->IsIPTCBlock(true));
    EXPECT_TRUE(other->IsIPTCBlock(false));
    const auto notIIM = TagOf<std::uint8_t>(TType::tdUndefined, {0x1D, 0x02}, TagIDs::ttIPTC);
    EXPECT_FALSE(notIIM->IsIPTCBlock(false));
    EXPECT_FALSE(iptc->IsExifBlock(false));
    EXPECT_FALSE(iptc->IsXMPBlock(false));
}

TEST(ExifTag, DataStreamFollowsTheDataAndRefusesWrites) {
    auto tag = TagOf<std::uint16_t>(TType::tdShort, {1, 2});
    TMetadataDataStream& data = tag->GetData();
    EXPECT_EQ(data.GetSize(), 4);
    tag->SetElementCount(5);
    EXPECT_EQ(data.GetSize(), 10);
    EXPECT_EQ(data.GetMemory(), tag->GetBytes().data());
    const std::uint8_t byte = 1;
    EXPECT_THROW(data.Write(&byte, 1), EStreamError);
    EXPECT_EQ(data.GetSize(), 10);
    // A tag outside a section has nothing to leave.
    tag->Delete();
    EXPECT_EQ(tag->GetElementCount(), 5);
}

TEST(ExifTag, WritesEntriesInEitherByteOrder) {
    struct Case {
        const char* Name;
        std::function<std::unique_ptr<TExifTag>()> Make;
        TEndianness Order;
        std::vector<std::uint8_t> Entry; // after ID and type and count
        std::vector<std::uint8_t> Data;
    };
    const Case cases[] = {
        {"SHORTs inline, big-endian",
         [] {
             return TagOf<std::uint16_t>(TType::tdShort, {1, 2});
         },
         TEndianness::BigEndian,
         {0, 1, 0, 2},
         {}},
        {"SHORT padded, little-endian",
         [] { return TagOf<std::uint16_t>(TType::tdShort, {0x0102}); },
         TEndianness::SmallEndian,
         {2, 1, 0, 0},
         {}},
        {"BYTEs padded",
         [] {
             return TagOf<std::uint8_t>(TType::tdByte, {1, 2, 3});
         },
         TEndianness::BigEndian,
         {1, 2, 3, 0},
         {}},
        {"LONG inline",
         [] { return TagOf<std::uint32_t>(TType::tdLong, {0x01020304}); },
         TEndianness::BigEndian,
         {1, 2, 3, 4},
         {}},
        {"empty tag",
         [] { return std::make_unique<TExifTag>(1, TType::tdLong, 0); },
         TEndianness::BigEndian,
         {0, 0, 0, 0},
         {}},
        {"RATIONAL halves separately",
         [] {
             return TagOf<std::uint32_t>(TType::tdRational, {1, 2});
         },
         TEndianness::BigEndian,
         {0, 0, 0, 0x20},
         {0, 0, 0, 1, 0, 0, 0, 2}},
        {"DOUBLE as one number",
         [] { return TagOf<double>(TType::tdDouble, {2.0}); },
         TEndianness::BigEndian,
         {0, 0, 0, 0x20},
         {0x40, 0, 0, 0, 0, 0, 0, 0}},
        {"SHORTs out of line",
         [] {
             return TagOf<std::uint16_t>(TType::tdShort, {1, 2, 3});
         },
         TEndianness::BigEndian,
         {0, 0, 0, 0x20},
         {0, 1, 0, 2, 0, 3}},
        {"ASCII out of line unchanged",
         [] {
             return TagOf<char>(TType::tdAscii, {'a', 'b', 'c', 'd', 0});
         },
         TEndianness::BigEndian,
         {0, 0, 0, 0x20},
         {'a', 'b', 'c', 'd', 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto tag = c.Make();
        TMemoryStream entry;
        tag->WriteEntry(entry, c.Order, 0x20);
        ASSERT_EQ(entry.GetSize(), 12);
        const auto bytes = entry.GetBytes();
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()), c.Entry);
        TMemoryStream data;
        tag->WriteEntryData(data, c.Order);
        EXPECT_EQ(std::vector<std::uint8_t>(data.GetBytes().begin(), data.GetBytes().end()),
                  c.Data);
    }
}

// A directory written entry by entry reads back through the TIFF parser as the
// same tags.
TEST(ExifTag, WrittenDirectoryReadsBackTheSame) {
    for (const TEndianness order : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        SCOPED_TRACE(order == TEndianness::BigEndian ? "big-endian" : "little-endian");
        TExtendableExifSection source(nullptr, TExifSectionKindEx::esUserDefined);
        source.SetStringValue(TagIDs::ttMake, "Canon");
        source.SetWordValue(TagIDs::ttOrientation, 0, 6);
        source.SetFractionValue(TagIDs::ttXResolution, 0, {72, 1});
        source.SetSignedFractionValue(0x9204, 0, {-1, 3});
        source.SetLongWordValue(0x0201, 0, 0x01020304);
        source.AddOrUpdate(0x0300, TType::tdDouble, 1).SetAsString("0.5");
        source.AddOrUpdate(0x0301, TType::tdSShort, 3).SetAsString("-1,2,-3");
        source.AddOrUpdate(0x0302, TType::tdFloat, 2).SetAsString("1.5,-2");
        source.AddOrUpdate(0x0303, TType::tdUndefined, 0);

        TMemoryStream stream;
        const char mark = order == TEndianness::BigEndian ? 'M' : 'I';
        stream.WriteBuffer(std::vector<std::uint8_t>{std::uint8_t(mark), std::uint8_t(mark)});
        WriteWord(stream, 42, order);
        WriteLongWord(stream, 8, order);
        WriteWord(stream, static_cast<std::uint16_t>(source.GetCount()), order);
        std::uint32_t dataOffset = 8 + 2 + 12 * source.GetCount() + 4;
        for (const TExifTag& tag : source) {
            tag.WriteEntry(stream, order, dataOffset);
            if (tag.GetDataSize() > 4) {
                dataOffset += tag.GetDataSize();
            }
        }
        WriteLongWord(stream, 0, order);
        for (const TExifTag& tag : source) {
            tag.WriteEntryData(stream, order);
        }
        ASSERT_EQ(stream.GetSize(), dataOffset);

        TExifSection loaded(nullptr, TExifSectionKindEx::esUserDefined);
        loaded.Load(*FirstDirectory(stream.TakeBytes()), false);
        ASSERT_EQ(loaded.GetCount(), source.GetCount());
        for (std::int32_t i = 0; i < source.GetCount(); ++i) {
            const TExifTag& expected = source.GetTag(i);
            const TExifTag& actual = loaded.GetTag(i);
            SCOPED_TRACE(expected.GetID());
            EXPECT_EQ(actual.GetID(), expected.GetID());
            EXPECT_EQ(actual.GetDataType(), expected.GetDataType());
            EXPECT_EQ(BytesOf(actual), BytesOf(expected));
            EXPECT_TRUE(actual.GetWellFormed());
        }
    }
}
