#include "TiffRewriteTestSupport.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using namespace Kestrix::Exif;
using namespace TiffRewriteTestSupport;

namespace {

constexpr TEndianness BothOrders[] = {TEndianness::SmallEndian, TEndianness::BigEndian};

class TLambdaCallback final : public ITiffRewriteCallback {
public:
    std::function<void(TTiffDirectoryRewriter&)> Add;
    std::function<void(const ITiffDirectory&, TTiffTagID, bool&, TTiffDataType)> Filter;

    void AddTagsToWrite(TTiffDirectoryRewriter& rewriter) override {
        if (Add) {
            Add(rewriter);
        }
    }
    void FilterOldTag(const ITiffDirectory& source, TTiffTagID tagID, bool& rewrite,
                      TTiffDataType dataType) override {
        if (Filter) {
            Filter(source, tagID, rewrite, dataType);
        }
    }
};

// A block that saves fixed bytes.
class TBytesPersist final : public IStreamPersistEx {
public:
    explicit TBytesPersist(Bytes bytes) : FBytes(std::move(bytes)) {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(FBytes); }
    bool Empty() const override { return FBytes.empty(); }

private:
    Bytes FBytes;
};

struct TInterval {
    std::uint64_t Start;
    std::uint64_t End;
    std::string What;
};

// Every entry table and out-of-line data block of a directory and of the
// sub-directories it points to.
void CollectBlocks(TParsedOutput& output, const std::shared_ptr<IFoundTiffDirectory>& directory,
                   const std::string& name, std::vector<TInterval>& blocks) {
    const auto entries = directory->GetTagInfo();
    const std::uint64_t table = entries.empty() ? 0 : entries.front().HeaderOffset - 2;
    blocks.push_back({table, table + 12 * entries.size() + 6, name + " table"});
    for (const TTiffTagInfo& info : entries) {
        if (info.DataSize() > 4) {
            blocks.push_back({info.DataOffset, std::uint64_t{info.DataOffset} + info.DataSize(),
                              name + " tag " + std::to_string(info.ID)});
        }
        if (auto sub = output.Parser().ParseSubDirectory(directory, info)) {
            CollectBlocks(output, sub, name + "/" + std::to_string(info.ID), blocks);
        }
    }
}

bool Overlaps(const TInterval& block, std::uint64_t start, std::uint64_t end) {
    return block.Start < end && start < block.End;
}

} // namespace

// Header, entry table at 8, out-of-line data in ID order, then the strip: 3 entries
// take 8..49, the 6 data bytes 50..55, the 100-byte strip 56..155.
TEST(TiffRewrite, OneDirectoryIsLaidOutFromOffsetEight) {
    const Bytes strip = Pattern(100, 3);
    for (const TEndianness order : BothOrders) {
        TTiffImage input(order);
        input.Header(200)
            .Put(20, strip)
            .Put(150, std::string_view("Hello\0", 6))
            .Directory(200, {OffsetEntry(0x010E, TTiffDataType::tdAscii, 6, 150),
                             LongEntry(TagIDs::ttStripOffsets, 20),
                             LongEntry(TagIDs::ttStripByteCounts, 100)});
        const Bytes rewritten = Rewrite(input.Get());
        ASSERT_EQ(rewritten.size(), 156u);
        TParsedOutput output(rewritten);
        ASSERT_EQ(output.Chain().size(), 1u);
        EXPECT_EQ(output.Parser().GetEndianness(), order);
        auto& directory = *output.Chain()[0];
        EXPECT_EQ(EntryOf(directory, 0x010E)->HeaderOffset, 10u);
        EXPECT_EQ(EntryOf(directory, 0x010E)->DataOffset, 50u);
        EXPECT_EQ(DataOf(directory, 0x010E),
                  Bytes(input.Get().begin() + 150, input.Get().begin() + 156));
        EXPECT_EQ(NumbersOf(directory, TagIDs::ttStripOffsets), std::vector<std::uint32_t>{56});
        EXPECT_EQ(NumbersOf(directory, TagIDs::ttStripByteCounts), std::vector<std::uint32_t>{100});
        EXPECT_EQ(Slice(output.Raw(), 56, 100), strip);

        // Offsets count from each stream's own header.
        Bytes shifted = input.Get();
        shifted.insert(shifted.begin(), 5, 0xAA);
        TMemoryStream in(shifted);
        in.SetPosition(5);
        TMemoryStream out(Bytes(3, 0xBB));
        out.SetPosition(3);
        RewriteTiffStream(in, out, nullptr);
        EXPECT_EQ(out.GetPosition(), 3 + 156);
        EXPECT_EQ(Slice(out.GetBytes(), 3, 156), rewritten);
    }
}

// A 3-byte value stays in its entry padded to 4; a 5-byte value goes out of line
// and the next block starts right after it, at an odd offset.
TEST(TiffRewrite, SmallValuesStayInlineAndNothingIsAligned) {
    TTiffImage input;
    input.Header(8)
        .Directory(8, {RawEntry(0x010E, TTiffDataType::tdAscii, 3, {'a', 'b', 0, 0xEE}),
                       OffsetEntry(0x010F, TTiffDataType::tdAscii, 5, 100),
                       OffsetEntry(0x0110, TTiffDataType::tdAscii, 7, 110),
                       // A SHORT with stray bytes in the unused half of its field.
                       {0x0112, TTiffDataType::tdShort, 1, 0xABCD0001}})
        .Put(100, std::string_view("Make\0", 5))
        .Put(110, std::string_view("Model!\0", 7));
    TParsedOutput output(Rewrite(input.Get()));
    auto& directory = *output.Chain()[0];
    // 4 entries: table 8..61.
    EXPECT_EQ(EntryOf(directory, 0x010F)->DataOffset, 62u);
    EXPECT_EQ(EntryOf(directory, 0x0110)->DataOffset, 67u);
    EXPECT_EQ(output.Raw().size(), 74u);
    EXPECT_EQ(Slice(output.Raw(), EntryOf(directory, 0x010E)->HeaderOffset + 8, 4),
              (Bytes{'a', 'b', 0, 0}));
    EXPECT_EQ(Slice(output.Raw(), EntryOf(directory, 0x0112)->HeaderOffset + 8, 4),
              (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(DataOf(directory, 0x0110), (Bytes{'M', 'o', 'd', 'e', 'l', '!', 0}));
}

// Strips, tiles and a JPEG thumbnail are copied and their offsets rewritten; offsets
// and counts stored as SHORT come out as LONG, sized as such.
TEST(TiffRewrite, ImageBlocksOfEachKindAreCopied) {
    struct Case {
        TTiffTagID Offsets;
        TTiffTagID ByteCounts;
        TTiffDataType Type;
    };
    const Case cases[] = {
        {TagIDs::ttStripOffsets, TagIDs::ttStripByteCounts, TTiffDataType::tdShort},
        {TagIDs::ttStripOffsets, TagIDs::ttStripByteCounts, TTiffDataType::tdLong},
        {TagIDs::ttTileOffsets, TagIDs::ttTileByteCounts, TTiffDataType::tdLong},
        {TagIDs::ttJPEGInterchangeFormat, TagIDs::ttJPEGInterchangeFormatLength,
         TTiffDataType::tdLong},
    };
    const Bytes first = Pattern(50, 1);
    const Bytes second = Pattern(60, 2);
    for (const Case& c : cases) {
        for (const TEndianness order : BothOrders) {
            SCOPED_TRACE(testing::Message() << c.Offsets << " type " << int(c.Type));
            TTiffImage input(order);
            const std::uint32_t count = c.Offsets == TagIDs::ttJPEGInterchangeFormat ? 1 : 2;
            input.Header(8).Put(300, first).Put(400, second).Put(500, {0, 0, 0, 0});
            if (c.Type == TTiffDataType::tdShort) {
                input.Directory(8, {{c.Offsets, c.Type, 2, 300u | (400u << 16)},
                                    {c.ByteCounts, c.Type, 2, 50u | (60u << 16)}});
            } else if (count == 1) {
                input.Directory(8, {LongEntry(c.Offsets, 300), LongEntry(c.ByteCounts, 50)});
            } else {
                input.Long(200, 300).Long(204, 400).Long(210, 50).Long(214, 60);
                input.Directory(8, {OffsetEntry(c.Offsets, c.Type, 2, 200),
                                    OffsetEntry(c.ByteCounts, c.Type, 2, 210)});
            }
            TParsedOutput output(Rewrite(input.Get()));
            auto& directory = *output.Chain()[0];
            for (const TTiffTagID id : {c.Offsets, c.ByteCounts}) {
                EXPECT_EQ(EntryOf(directory, id)->DataType, TTiffDataType::tdLong);
                EXPECT_EQ(EntryOf(directory, id)->ElementCount, static_cast<std::int32_t>(count));
            }
            const auto offsets = NumbersOf(directory, c.Offsets);
            ASSERT_EQ(offsets.size(), count);
            // Table 8..37, then the two 8-byte arrays when out of line.
            const std::uint32_t firstBlock = count == 1 ? 38 : 54;
            EXPECT_EQ(offsets[0], firstBlock);
            EXPECT_EQ(Slice(output.Raw(), offsets[0], 50), first);
            if (count == 2) {
                EXPECT_EQ(offsets[1], firstBlock + 50);
                EXPECT_EQ(Slice(output.Raw(), offsets[1], 60), second);
                EXPECT_EQ(NumbersOf(directory, c.ByteCounts), (std::vector<std::uint32_t>{50, 60}));
            }
            EXPECT_EQ(output.Raw().size(), firstBlock + (count == 2 ? 110u : 50u));
        }
    }
}

// Offsets that fail the checks leave the image data behind: the output then holds
// the two tags with their numbers as stored and no image bytes at all.
TEST(TiffRewrite, ImageDataWithBadOffsetsStaysBehind) {
    struct Case {
        const char* What;
        std::vector<TEntry> Entries;
    };
    const Case cases[] = {
        {"offset in the header",
         {LongEntry(TagIDs::ttStripOffsets, 4), LongEntry(TagIDs::ttStripByteCounts, 10)}},
        {"offset at the end",
         {LongEntry(TagIDs::ttStripOffsets, 600), LongEntry(TagIDs::ttStripByteCounts, 0)}},
        {"counts differ",
         {LongEntry(TagIDs::ttStripOffsets, 300),
          {TagIDs::ttStripByteCounts, TTiffDataType::tdShort, 2, 10}}},
        {"offsets of a wrong type",
         {{TagIDs::ttStripOffsets, TTiffDataType::tdSLong, 1, 300},
          LongEntry(TagIDs::ttStripByteCounts, 10)}},
        {"byte counts only", {LongEntry(TagIDs::ttStripByteCounts, 10)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTiffImage input;
        input.Header(8).Directory(8, c.Entries).Put(300, Pattern(300, 9));
        const Bytes rewritten = Rewrite(input.Get());
        EXPECT_EQ(rewritten.size(), 8 + 12 * c.Entries.size() + 6);
        TParsedOutput output(rewritten);
        auto& directory = *output.Chain()[0];
        for (const TEntry& entry : c.Entries) {
            EXPECT_EQ(EntryOf(directory, entry.ID)->DataType, entry.Type);
            EXPECT_EQ(NumbersOf(directory, entry.ID).front(),
                      TiffElementSize(entry.Type) == 2 ? entry.Value & 0xFFFF : entry.Value);
        }
    }
}

// A strip that runs past the input's end cannot be copied: the read error comes
// before anything is written.
TEST(TiffRewrite, TruncatedImageDataRaisesReadError) {
    TTiffImage input;
    input.Header(8)
        .Directory(8, {LongEntry(TagIDs::ttStripOffsets, 100),
                       LongEntry(TagIDs::ttStripByteCounts, 0xFFFFFF00)})
        .Put(100, Pattern(50, 1));
    TMemoryStream in(input.Get());
    TMemoryStream out;
    EXPECT_THROW(RewriteTiffStream(in, out, nullptr), EReadError);
    EXPECT_EQ(out.GetSize(), 0);
}

// Entries out of ID order come out sorted with their strips still copied; of two
// entries with one ID the first is kept; malformed entries are dropped.
TEST(TiffRewrite, EntriesAreSortedDeduplicatedAndCleaned) {
    TTiffImage input;
    input.Header(8)
        .Directory(8, {LongEntry(TagIDs::ttStripByteCounts, 20),
                       LongEntry(TagIDs::ttStripOffsets, 200),
                       ShortEntry(0x0100, 7),
                       ShortEntry(0x0100, 9),
                       {0x0101, TTiffDataType{0}, 1, 0},
                       ShortEntry(0x0102, 8)})
        .Put(200, Pattern(20, 4));
    TParsedOutput output(Rewrite(input.Get()));
    auto& directory = *output.Chain()[0];
    EXPECT_EQ(IDsOf(directory), (std::vector<TTiffTagID>{0x0100, 0x0102, 0x0111, 0x0117}));
    EXPECT_EQ(NumbersOf(directory, 0x0100), std::vector<std::uint32_t>{7});
    EXPECT_EQ(Slice(output.Raw(), NumbersOf(directory, TagIDs::ttStripOffsets).front(), 20),
              Pattern(20, 4));
}

// Each sub-directory is laid out where its pointer comes: EXIF (with its interop
// directory inside) after IFD0's table, GPS after the EXIF data. An IFD-typed
// pointer is written as LONG.
TEST(TiffRewrite, SubDirectoriesAreRebuiltInPlaceOfTheirPointers) {
    for (const TEndianness order : BothOrders) {
        TTiffImage input(order);
        input.Header(8)
            .Directory(8, {ShortEntry(0x0100, 5),
                           LongEntry(TagIDs::ttExifOffset, 500),
                           {TagIDs::ttGPSOffset, TTiffDataType::tdIFD, 1, 800}})
            .Directory(500, {RawEntry(0x9000, TTiffDataType::tdUndefined, 4, {'0', '2', '3', '0'}),
                             OffsetEntry(0x9286, TTiffDataType::tdUndefined, 10, 600),
                             LongEntry(TagIDs::ttInteropOffset, 700)})
            .Put(600, Pattern(10, 5))
            .Directory(700, {RawEntry(0x0001, TTiffDataType::tdAscii, 4, {'R', '9', '8', 0})})
            .Directory(800, {RawEntry(0x0000, TTiffDataType::tdByte, 4, {2, 3, 0, 0})});
        const Bytes rewritten = Rewrite(input.Get());
        TParsedOutput output(rewritten);
        const auto ifd0 = output.Chain()[0];
        // IFD0 8..49, EXIF 50..91, its data 92..101, interop 102..119, GPS 120..137.
        EXPECT_EQ(NumbersOf(*ifd0, TagIDs::ttExifOffset), std::vector<std::uint32_t>{50});
        EXPECT_EQ(EntryOf(*ifd0, TagIDs::ttGPSOffset)->DataType, TTiffDataType::tdLong);
        EXPECT_EQ(NumbersOf(*ifd0, TagIDs::ttGPSOffset), std::vector<std::uint32_t>{120});
        const auto exif = output.SubDirectory(ifd0, TagIDs::ttExifOffset);
        ASSERT_TRUE(exif);
        EXPECT_EQ(DataOf(*exif, 0x9286), Pattern(10, 5));
        EXPECT_EQ(EntryOf(*exif, 0x9286)->DataOffset, 92u);
        EXPECT_EQ(NumbersOf(*exif, TagIDs::ttInteropOffset), std::vector<std::uint32_t>{102});
        const auto interop = output.SubDirectory(exif, TagIDs::ttInteropOffset);
        ASSERT_TRUE(interop);
        EXPECT_EQ(DataOf(*interop, 0x0001), (Bytes{'R', '9', '8', 0}));
        const auto gps = output.SubDirectory(ifd0, TagIDs::ttGPSOffset);
        ASSERT_TRUE(gps);
        EXPECT_EQ(DataOf(*gps, 0x0000), (Bytes{2, 3, 0, 0}));
        EXPECT_EQ(rewritten.size(), 138u);
    }
}

// Single LONG values that look like pointers into the header, to their own
// directory or back up the path are kept as the numbers they are.
TEST(TiffRewrite, PointersBackIntoTheStructureAreCopiedAsValues) {
    TTiffImage input;
    input.Header(100)
        .Directory(100, {LongEntry(0x8769, 100), LongEntry(0x8825, 3), LongEntry(0xC000, 300)})
        .Directory(300, {LongEntry(0xC001, 100), LongEntry(0xC002, 300), ShortEntry(0xC003, 1)});
    TParsedOutput output(Rewrite(input.Get()));
    const auto ifd0 = output.Chain()[0];
    EXPECT_EQ(NumbersOf(*ifd0, 0x8769), std::vector<std::uint32_t>{100});
    EXPECT_EQ(NumbersOf(*ifd0, 0x8825), std::vector<std::uint32_t>{3});
    // The one real sub-directory follows IFD0's table (8..49).
    EXPECT_EQ(NumbersOf(*ifd0, 0xC000), std::vector<std::uint32_t>{50});
    const auto sub = output.SubDirectory(ifd0, 0xC000);
    ASSERT_TRUE(sub);
    EXPECT_EQ(NumbersOf(*sub, 0xC001), std::vector<std::uint32_t>{100});
    EXPECT_EQ(NumbersOf(*sub, 0xC002), std::vector<std::uint32_t>{300});
    EXPECT_EQ(output.Raw().size(), 50u + 42u);
}

// The maker note stays at 1000 and nothing else touches 1000..1199, even though
// the EXIF directory's data would cross it; a maker note beyond everything else
// still ends the output.
TEST(TiffRewrite, MakerNoteKeepsItsPlace) {
    for (const std::uint32_t makerNoteAt : {1000u, 3000u}) {
        SCOPED_TRACE(makerNoteAt);
        const Bytes makerNote = Pattern(200, 6);
        TTiffImage input;
        input.Header(8)
            .Directory(8, {OffsetEntry(0x010E, TTiffDataType::tdAscii, 900, 2000),
                           LongEntry(TagIDs::ttExifOffset, 1300)})
            .Put(2000, std::string(899, 'x'))
            .Directory(1300, {ShortEntry(0x9000, 1),
                              OffsetEntry(TagIDs::ttMakerNote, TTiffDataType::tdUndefined, 200,
                                          makerNoteAt),
                              OffsetEntry(0x9286, TTiffDataType::tdUndefined, 300, 1400)})
            .Put(1400, Pattern(300, 7))
            .Put(makerNoteAt, makerNote)
            .Size(std::max(2900u, makerNoteAt + 200));
        TParsedOutput output(Rewrite(input.Get()));
        const auto ifd0 = output.Chain()[0];
        const auto exif = output.SubDirectory(ifd0, TagIDs::ttExifOffset);
        ASSERT_TRUE(exif);
        EXPECT_EQ(EntryOf(*exif, TagIDs::ttMakerNote)->DataOffset, makerNoteAt);
        EXPECT_EQ(DataOf(*exif, TagIDs::ttMakerNote), makerNote);
        EXPECT_EQ(DataOf(*exif, 0x9286), Pattern(300, 7));
        std::vector<TInterval> blocks;
        CollectBlocks(output, ifd0, "IFD0", blocks);
        for (const TInterval& block : blocks) {
            if (block.Start != makerNoteAt) {
                EXPECT_FALSE(Overlaps(block, makerNoteAt, makerNoteAt + 200)) << block.What;
            }
        }
        if (makerNoteAt == 1000) {
            // IFD0 8..37, its text 38..937, EXIF 938..979; the 300 bytes jump to 1200.
            EXPECT_EQ(EntryOf(*exif, 0x9286)->DataOffset, 1200u);
            EXPECT_EQ(output.Raw().size(), 1500u);
        } else {
            EXPECT_EQ(output.Raw().size(), 3200u);
        }
    }
}

// 0xEA1D records how far an earlier writer moved the maker note (new minus old);
// the move is undone and the tag dropped when the old place is possible.
TEST(TiffRewrite, OffsetSchemaMovesTheMakerNoteBack) {
    struct Case {
        TTiffDataType Type;
        std::int32_t Value;
        std::uint32_t ExpectedOffset;
        bool SchemaKept;
    };
    const Case cases[] = {
        {TTiffDataType::tdSLong, 100, 1000, false},  {TTiffDataType::tdSLong, 0, 1100, false},
        {TTiffDataType::tdSLong, 1095, 1100, true},  // would land in the header
        {TTiffDataType::tdSLong, -5000, 1100, true}, // would lie beyond the input
        {TTiffDataType::tdSShort, 100, 1100, true},  // not the schema's type
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        const Bytes makerNote = Pattern(200, 8);
        TTiffImage input;
        input.Header(8)
            .Directory(8, {LongEntry(TagIDs::ttExifOffset, 30)})
            .Directory(30,
                       {OffsetEntry(TagIDs::ttMakerNote, TTiffDataType::tdUndefined, 200, 1100),
                        {TagIDs::ttOffsetSchema, c.Type, 1, static_cast<std::uint32_t>(c.Value)}})
            .Put(1100, makerNote);
        TParsedOutput output(Rewrite(input.Get()));
        const auto exif = output.SubDirectory(output.Chain()[0], TagIDs::ttExifOffset);
        ASSERT_TRUE(exif);
        EXPECT_EQ(EntryOf(*exif, TagIDs::ttMakerNote)->DataOffset, c.ExpectedOffset);
        EXPECT_EQ(DataOf(*exif, TagIDs::ttMakerNote), makerNote);
        EXPECT_EQ(EntryOf(*exif, TagIDs::ttOffsetSchema).has_value(), c.SchemaKept);
    }
}

TEST(TiffRewriteCallback, AddTagRefusesDuplicatesAndLateCalls) {
    TBytesPersist block({1, 2, 3, 4, 5});
    TTiffDirectoryRewriter* seen = nullptr;
    TLambdaCallback callback;
    callback.Add = [&](TTiffDirectoryRewriter& rewriter) {
        seen = &rewriter;
        rewriter.AddTag(0x010E, block, TTiffDataType::tdAscii);
        try {
            rewriter.AddTag(0x010E, block, TTiffDataType::tdUndefined);
            ADD_FAILURE() << "duplicate accepted";
        } catch (const ETagAlreadyExists& e) {
            EXPECT_STREQ(e.what(), "Tag with ID of \"270\" already exists in section");
        }
        EXPECT_THROW(rewriter.AddSubDirectory(0x010E, nullptr, nullptr), ETagAlreadyExists);
    };
    TTiffDirectoryRewriter rewriter(nullptr, &callback);
    ASSERT_EQ(seen, &rewriter);
    ASSERT_EQ(rewriter.GetTagCount(), 1u);
    EXPECT_EQ(rewriter.GetTag(0).GetElementCount(), 5);
    try {
        rewriter.AddTag(0x010F, block, TTiffDataType::tdAscii);
        ADD_FAILURE() << "late AddTag accepted";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Tags can only be added during AddTagsToWrite");
    }
    EXPECT_THROW(rewriter.AddSubDirectory(0x8769, nullptr, nullptr), EInvalidOperation);
}

// Tags the callback adds replace old ones of the same ID, the filter drops old
// tags, and sub-directories can be added from any directory source.
TEST(TiffRewriteCallback, AddsReplacesAndFiltersTags) {
    TTiffImage other;
    other.Header(8).Directory(8, {RawEntry(0x0001, TTiffDataType::tdByte, 2, {9, 8, 0, 0})});
    TMemoryStream otherStream(other.Get());
    const auto gpsSource = ParseDirectoryAt(otherStream, TEndianness::SmallEndian, 0, 8, 0);

    TTiffImage input;
    input.Header(8)
        .Directory(8, {OffsetEntry(0x010E, TTiffDataType::tdAscii, 8, 100), ShortEntry(0x0100, 1),
                       ShortEntry(0x0101, 2)})
        .Put(100, std::string_view("old text", 8));
    TBytesPersist text({'n', 'e', 'w', 0});
    TBytesPersist extra({7, 7});
    std::vector<TTiffTagID> filtered;
    TLambdaCallback inner;
    inner.Add = [&](TTiffDirectoryRewriter& rewriter) {
        rewriter.AddTag(0x0005, extra, TTiffDataType::tdByte);
    };
    TLambdaCallback ignoring;
    ignoring.Add = [](TTiffDirectoryRewriter& rewriter) { rewriter.IgnoreDirectory(); };
    TLambdaCallback callback;
    callback.Add = [&](TTiffDirectoryRewriter& rewriter) {
        rewriter.AddTag(0x010E, text, TTiffDataType::tdAscii);
        rewriter.AddSubDirectory(TagIDs::ttGPSOffset, gpsSource, &inner);
        rewriter.AddSubDirectory(TagIDs::ttExifOffset, nullptr, &ignoring);
    };
    callback.Filter = [&](const ITiffDirectory&, TTiffTagID id, bool& rewrite, TTiffDataType) {
        filtered.push_back(id);
        rewrite = id != 0x0101;
    };
    TParsedOutput output(Rewrite(input.Get(), &callback));
    const auto ifd0 = output.Chain()[0];
    // The filter sees only old tags not already replaced.
    EXPECT_EQ(filtered, (std::vector<TTiffTagID>{0x0100, 0x0101}));
    EXPECT_EQ(IDsOf(*ifd0), (std::vector<TTiffTagID>{0x0100, 0x010E, TagIDs::ttGPSOffset}));
    EXPECT_EQ(DataOf(*ifd0, 0x010E), (Bytes{'n', 'e', 'w', 0}));
    const auto gps = output.SubDirectory(ifd0, TagIDs::ttGPSOffset);
    ASSERT_TRUE(gps);
    EXPECT_EQ(IDsOf(*gps), (std::vector<TTiffTagID>{0x0001, 0x0005}));
    EXPECT_EQ(DataOf(*gps, 0x0001), (Bytes{9, 8}));
    EXPECT_EQ(DataOf(*gps, 0x0005), (Bytes{7, 7}));
}

TEST(TiffRewriteCallback, IgnoredDirectoriesDropOutOfTheChain) {
    TTiffImage input;
    input.Header(8)
        .Directory(8, {ShortEntry(0x0100, 1)}, 30)
        .Directory(30, {ShortEntry(0x0100, 2)}, 60)
        .Directory(60, {ShortEntry(0x0100, 3)});
    for (const std::vector<std::int32_t>& ignored :
         {std::vector<std::int32_t>{1}, std::vector<std::int32_t>{0, 1, 2}}) {
        TLambdaCallback callback;
        callback.Add = [&](TTiffDirectoryRewriter& rewriter) {
            if (std::ranges::count(ignored, rewriter.GetSource()->GetIndex()) != 0) {
                rewriter.IgnoreDirectory();
            }
        };
        const Bytes rewritten = Rewrite(input.Get(), &callback);
        if (ignored.size() == 3) {
            EXPECT_EQ(rewritten, (Bytes{'I', 'I', 42, 0, 0, 0, 0, 0}));
            continue;
        }
        TParsedOutput output(rewritten);
        ASSERT_EQ(output.Chain().size(), 2u);
        EXPECT_EQ(NumbersOf(*output.Chain()[0], 0x0100), std::vector<std::uint32_t>{1});
        EXPECT_EQ(NumbersOf(*output.Chain()[1], 0x0100), std::vector<std::uint32_t>{3});
        EXPECT_EQ(EntryOf(*output.Chain()[1], 0x0100)->HeaderOffset, 8u + 18 + 2);
    }
}

// The IPTC/XMP callback: the block goes into IFD0 only, replacing the old one;
// the old tag leaves every directory of the main chain; the EXIF sub-directory
// and the second page keep everything else. An empty owner removes the tag.
TEST(TiffRewriteCallback, SimpleCallbackPutsTheBlockIntoIFD0Only) {
    TTiffImage input;
    input.Header(8)
        .Directory(8,
                   {ShortEntry(0x0100, 1), LongEntry(TagIDs::ttExifOffset, 200),
                    OffsetEntry(TagIDs::ttIPTC, TTiffDataType::tdUndefined, 6, 300)},
                   100)
        .Directory(100, {ShortEntry(0x0100, 2),
                         RawEntry(TagIDs::ttIPTC, TTiffDataType::tdLong, 1, {1, 2, 3, 4})})
        .Directory(200, {ShortEntry(0x9000, 3),
                         RawEntry(TagIDs::ttIPTC, TTiffDataType::tdByte, 2, {5, 6, 0, 0})})
        .Put(300, Pattern(6, 1));
    for (const bool empty : {false, true}) {
        TBytesPersist iptc(empty ? Bytes{} : Bytes{0x1C, 2, 0, 0, 2, 0, 4});
        TSimpleTiffRewriteCallbackImpl callback(iptc, TagIDs::ttIPTC);
        EXPECT_EQ(&callback.GetOwner(), &iptc);
        TParsedOutput output(Rewrite(input.Get(), &callback));
        ASSERT_EQ(output.Chain().size(), 2u);
        const auto ifd0 = output.Chain()[0];
        if (empty) {
            EXPECT_FALSE(EntryOf(*ifd0, TagIDs::ttIPTC));
        } else {
            EXPECT_EQ(EntryOf(*ifd0, TagIDs::ttIPTC)->DataType, TTiffDataType::tdUndefined);
            EXPECT_EQ(DataOf(*ifd0, TagIDs::ttIPTC), (Bytes{0x1C, 2, 0, 0, 2, 0, 4}));
        }
        EXPECT_EQ(IDsOf(*output.Chain()[1]), std::vector<TTiffTagID>{0x0100});
        const auto exif = output.SubDirectory(ifd0, TagIDs::ttExifOffset);
        ASSERT_TRUE(exif);
        EXPECT_EQ(IDsOf(*exif), (std::vector<TTiffTagID>{TagIDs::ttIPTC, 0x9000}));
        EXPECT_EQ(DataOf(*exif, TagIDs::ttIPTC), (Bytes{5, 6}));
    }
}

// Entries that all point at one large block, or sub-directories that share each
// other's pointers, would make the output grow far beyond the input.
TEST(TiffRewrite, RefusesInputThatInflatesTheOutput) {
    TTiffImage shared;
    std::vector<TEntry> entries;
    for (TTiffTagID id = 1; id <= 300; ++id) {
        entries.push_back(OffsetEntry(id, TTiffDataType::tdUndefined, 2000, 8));
    }
    shared.Header(4000).Put(8, Pattern(2000, 1)).Directory(4000, entries);
    TMemoryStream in(shared.Get());
    TMemoryStream out;
    EXPECT_THROW(RewriteTiffStream(in, out, nullptr), EInvalidTiffData);

    // Ten levels of four directories; each points to all four of the next level,
    // through the same four pointer IDs, so every path makes another copy.
    const auto at = [](std::uint32_t level, std::uint32_t index) {
        return 8 + (level * 4 + index) * 60;
    };
    TTiffImage nested;
    nested.Header(at(0, 0));
    for (std::uint32_t level = 0; level < 10; ++level) {
        for (std::uint32_t index = 0; index < 4; ++index) {
            std::vector<TEntry> pointers;
            for (std::uint32_t next = 0; next < 4; ++next) {
                pointers.push_back(
                    LongEntry(static_cast<TTiffTagID>(0xC000 + next), at(level + 1, next)));
            }
            nested.Directory(at(level, index), pointers);
        }
    }
    for (std::uint32_t index = 0; index < 4; ++index) {
        nested.Directory(at(10, index), {ShortEntry(1, 1), ShortEntry(2, 2), ShortEntry(3, 3)});
    }
    TMemoryStream nestedIn(nested.Get());
    TMemoryStream nestedOut;
    EXPECT_THROW(RewriteTiffStream(nestedIn, nestedOut, nullptr), EInvalidTiffData);
}

TEST(TiffRewrite, NotATiffRaisesInvalidTiffData) {
    TMemoryStream in(Bytes{'I', 'I', 43, 0, 8, 0, 0, 0});
    TMemoryStream out;
    EXPECT_THROW(RewriteTiffStream(in, out, nullptr), EInvalidTiffData);
    EXPECT_EQ(out.GetSize(), 0);
}

TEST(TiffRewrite, WriteTiffFileHeaderUsesTheByteOrder) {
    TMemoryStream little;
    WriteTiffFileHeader(little, TEndianness::SmallEndian, 0x01020304);
    EXPECT_EQ(Slice(little.GetBytes(), 0, 8), (Bytes{'I', 'I', 42, 0, 4, 3, 2, 1}));
    TMemoryStream big;
    WriteTiffFileHeader(big, TEndianness::BigEndian, 8);
    EXPECT_EQ(Slice(big.GetBytes(), 0, 8), (Bytes{'M', 'M', 0, 42, 0, 0, 0, 8}));
}

// A single LONG that leads to a main-chain directory, or to a sub-directory first
// reached through another pointer ID, is an ordinary number; two pages that share
// one EXIF sub-directory each get a copy of it.
TEST(TiffRewrite, NumbersLeadingToKnownDirectoriesStayNumbers) {
    const Bytes strip = Pattern(8, 5);
    TTiffImage input;
    input.Header(8)
        .Directory(8,
                   {LongEntry(TagIDs::ttStripOffsets, 300), LongEntry(TagIDs::ttStripByteCounts, 8),
                    LongEntry(TagIDs::ttExifOffset, 200), LongEntry(0xC000, 200)},
                   100)
        .Directory(100,
                   {LongEntry(TagIDs::ttStripOffsets, 300), LongEntry(TagIDs::ttStripByteCounts, 8),
                    LongEntry(0x0116, 8), LongEntry(TagIDs::ttExifOffset, 200)})
        .Directory(200, {ShortEntry(0x9000, 1)})
        .Put(300, strip);
    TParsedOutput output(Rewrite(input.Get()));
    ASSERT_EQ(output.Chain().size(), 2u);
    const auto first = output.Chain()[0];
    const auto second = output.Chain()[1];
    EXPECT_EQ(NumbersOf(*first, 0xC000), std::vector<std::uint32_t>{200});
    EXPECT_EQ(NumbersOf(*second, 0x0116), std::vector<std::uint32_t>{8});
    for (const auto& page : {first, second}) {
        const auto exif = output.SubDirectory(page, TagIDs::ttExifOffset);
        ASSERT_TRUE(exif);
        EXPECT_EQ(IDsOf(*exif), std::vector<TTiffTagID>{0x9000});
        EXPECT_EQ(Slice(output.Raw(), NumbersOf(*page, TagIDs::ttStripOffsets).front(), 8), strip);
    }
    EXPECT_NE(NumbersOf(*first, TagIDs::ttExifOffset), NumbersOf(*second, TagIDs::ttExifOffset));
}
