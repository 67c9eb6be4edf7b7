#include "TiffTestSupport.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace Kestrix::Exif;
using namespace TiffTestSupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::shared_ptr<IFoundTiffDirectory>> Chain(ITiffParser& parser) {
    std::vector<std::shared_ptr<IFoundTiffDirectory>> result;
    for (const auto& directory : parser) {
        result.push_back(directory);
    }
    return result;
}

// One directory at offset 8 holding the entries `build` writes, then `tail`.
std::shared_ptr<IFoundTiffDirectory> OnlyDirectory(TMemoryStream& stream) {
    auto parser = CreateTiffParser(stream);
    auto chain = Chain(*parser);
    EXPECT_EQ(chain.size(), 1u);
    return chain.empty() ? nullptr : chain.front();
}

class TCapturingPersist final : public IStreamPersist {
public:
    void LoadFromStream(TStream& stream) override {
        Loaded.resize(static_cast<std::size_t>(stream.BytesLeft()));
        stream.ReadBuffer(Loaded.data(), Loaded.size());
    }
    void SaveToStream(TStream& stream) override { stream.WriteBuffer(Loaded); }
    Bytes Loaded;
};

} // namespace

TEST(TiffHeader, ByteOrderComesFromTheMagicNumber) {
    struct Case {
        Bytes bytes;
        bool passes;
        TEndianness endianness;
    };
    const Case cases[] = {
        {{'I', 'I', 0x2A, 0x00}, true, TEndianness::SmallEndian},
        {{'M', 'M', 0x00, 0x2A}, true, TEndianness::BigEndian},
        {{'I', 'I', 0x00, 0x2A}, true, TEndianness::BigEndian},
        {{'M', 'M', 0x2A, 0x00}, true, TEndianness::SmallEndian},
        {{'I', 'M', 0x2A, 0x00}, false, {}},
        {{'I', 'I', 0x2B, 0x00}, false, {}},
        {{'I', 'I', 0x2A}, false, {}},
    };
    for (const Case& c : cases) {
        for (const bool movePast : {false, true}) {
            TMemoryStream stream(c.bytes);
            TEndianness endianness{};
            EXPECT_EQ(CheckTiffHeader(stream, endianness, movePast), c.passes);
            if (c.passes) {
                EXPECT_EQ(endianness, c.endianness);
            }
            EXPECT_EQ(stream.GetPosition(), c.passes && movePast ? 4 : 0);
        }
    }
}

TEST(TiffParser, RefusesBadHeaderOrMissingFirstOffset) {
    for (const Bytes& bytes :
         {Bytes{'I', 'M', 0x2A, 0, 8, 0, 0, 0}, Bytes{'I', 'I', 0x2A, 0, 8, 0}}) {
        TMemoryStream stream(bytes);
        try {
            CreateTiffParser(stream);
            FAIL() << "no exception";
        } catch (const EInvalidTiffData& e) {
            EXPECT_STREQ(e.what(), "Invalid TIFF data");
        }
    }
}

TEST(TiffParser, HeaderAfterAnOffsetSetsTheBasePosition) {
    TTiffBytes bytes;
    bytes.Bytes({'E', 'x', 'i', 'f', 0, 0}).Header(8).Word(1).ShortEntry(0x0112, 6).Long(0);
    auto stream = StreamOf(bytes);
    stream->SetPosition(6);
    auto parser = CreateTiffParser(std::move(stream)); // owned
    EXPECT_EQ(parser->GetBasePosition(), 6);
    auto chain = Chain(*parser);
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0]->GetTagInfo()[0].HeaderOffset, 10u);
    auto tag = chain[0]->FindTag(0x0112);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->GetData().GetBytes()[0], 6);
}

TEST(TiffParser, FirstOffsetZeroGivesNoDirectories) {
    TTiffBytes bytes;
    bytes.Header(0).Zeros(8);
    auto stream = StreamOf(bytes);
    auto parser = CreateTiffParser(*stream);
    EXPECT_TRUE(Chain(*parser).empty());
}

TEST(TiffDirectory, EntryOffsetsCountFromTheBase) {
    for (const TEndianness endianness : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        TTiffBytes bytes(endianness);
        // Directory at 8: 2 entries (8..33), next offset (34..37), data at 38.
        bytes.Header(8).Word(2).ShortEntry(0x0100, 7).Entry(0x010F, 2, 6, 38).Long(0);
        bytes.Bytes({'C', 'a', 'n', 'o', 'n', 0});
        auto stream = StreamOf(bytes);
        auto directory = OnlyDirectory(*stream);
        const auto entries = directory->GetTagInfo();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].HeaderOffset, 10u);
        EXPECT_EQ(entries[0].DataOffset, 18u);
        EXPECT_EQ(entries[1].HeaderOffset, 22u);
        EXPECT_EQ(entries[1].DataOffset, 38u);
        EXPECT_TRUE(directory->GetLoadErrors().Empty());
        EXPECT_EQ(directory->GetIndex(), 0);
        EXPECT_TRUE(directory->IsLastDirectory());

        auto make = directory->FindTag(0x010F);
        ASSERT_TRUE(make);
        const auto data = make->GetData().GetBytes();
        EXPECT_EQ(std::string(data.begin(), data.end()), std::string("Canon\0", 6));
        EXPECT_EQ(make->GetOriginalDataOffset(), 38u);
        EXPECT_EQ(make->GetParent().get(), directory.get());
        std::uint16_t width = 0;
        std::memcpy(&width, directory->FindTag(0x0100)->GetData().GetMemory(), 2);
        EXPECT_EQ(width, 7);
    }
}

TEST(TiffDirectory, CountIsCutToWhatTheStreamHolds) {
    TTiffBytes bytes;
    bytes.Header(8).Word(100);
    for (int i = 0; i < 3; ++i) {
        bytes.ShortEntry(static_cast<std::uint16_t>(0x0100 + i), 1);
    }
    auto stream = StreamOf(bytes);
    auto directory = OnlyDirectory(*stream);
    EXPECT_EQ(directory->GetCount(), 3);
    EXPECT_EQ(directory->GetLoadErrors(), (TMetadataLoadErrors{TMetadataLoadError::leBadTagCount}));
    EXPECT_TRUE(directory->IsLastDirectory()); // no room left for a next offset
}

TEST(TiffDirectory, MalformedEntriesAndTheTwoInARowRule) {
    struct Case {
        const char* name;
        std::vector<std::uint16_t> types; // entry types in order
        std::uint16_t declaredCount;      // 0: the number of entries
        std::size_t expectedCount;
        TMetadataLoadErrors expectedErrors;
    };
    using enum TMetadataLoadError;
    const Case cases[] = {
        {"type 0 alone", {3, 0, 3}, 0, 3, {leBadTagHeader}},
        {"type 14 alone", {3, 14, 3}, 0, 3, {leBadTagHeader}},
        {"two in a row", {3, 0, 14, 3}, 0, 2, {leBadTagHeader, leBadTagCount}},
        {"malformed first", {0, 3}, 0, 2, {leBadTagHeader}},
        {"malformed first after a cut count", {0, 3}, 50, 0, {leBadTagCount, leBadTagHeader}},
        {"apart", {0, 3, 0, 3}, 0, 4, {leBadTagHeader}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTiffBytes bytes;
        bytes.Header(8).Word(c.declaredCount ? c.declaredCount
                                             : static_cast<std::uint16_t>(c.types.size()));
        std::uint16_t id = 0x0100;
        for (const std::uint16_t type : c.types) {
            bytes.Entry(id++, type, 1, 0);
        }
        if (!c.declaredCount) {
            bytes.Long(0);
        }
        auto stream = StreamOf(bytes);
        auto directory = OnlyDirectory(*stream);
        const auto entries = directory->GetTagInfo();
        EXPECT_EQ(entries.size(), c.expectedCount);
        EXPECT_EQ(directory->GetLoadErrors(), c.expectedErrors);
        for (const TTiffTagInfo& entry : entries) {
            if (!entry.IsWellFormed()) {
                EXPECT_EQ(entry.DataSize(), 0);
                EXPECT_EQ(entry.DataOffset, entry.HeaderOffset + 8);
            }
        }
    }
}

TEST(TiffDirectory, OutOfLineDataMustLieInsideTheStream) {
    struct Case {
        std::uint32_t dataOffset;
        std::uint32_t count; // LONG elements
        bool good;
    };
    // The stream is 42 bytes: header, 1 entry (8..21), next offset, 16 data bytes at 26.
    const Case cases[] = {
        {26, 4, true},  {34, 2, true},           {8, 2, true},   {0, 2, false}, {7, 2, false},
        {36, 2, false}, {0xFFFFFFF0u, 2, false}, {26, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataOffset);
        TTiffBytes bytes;
        bytes.Header(8).Word(1).Entry(0x0111, 4, c.count, c.dataOffset).Long(0).Zeros(16);
        auto stream = StreamOf(bytes);
        auto directory = OnlyDirectory(*stream);
        const TTiffTagInfo entry = directory->GetTagInfo().at(0);
        EXPECT_EQ(entry.IsWellFormed(), c.good);
        if (c.good) {
            EXPECT_EQ(entry.DataOffset, c.dataOffset);
            EXPECT_TRUE(directory->GetLoadErrors().Empty());
        } else {
            EXPECT_EQ(entry.ElementCount, -1);
            EXPECT_TRUE(directory->GetLoadErrors().Contains(TMetadataLoadError::leBadTagHeader));
        }
    }
}

TEST(TiffDirectory, ImpossibleSizeIsMalformed) {
    TTiffBytes bytes;
    // 0x20000000 DOUBLEs: 2^32 bytes, beyond any 32-bit size.
    bytes.Header(8).Word(1).Entry(0x0100, 12, 0x20000000u, 30).Long(0);
    auto stream = StreamOf(bytes);
    const TTiffTagInfo entry = OnlyDirectory(*stream)->GetTagInfo().at(0);
    EXPECT_FALSE(entry.IsWellFormed());
    EXPECT_EQ(entry.DataSize(), 0);
}

TEST(TiffDirectory, DirectoryOutsideTheStreamHasBadOffset) {
    for (const std::uint32_t offset : {100u, 0x7FFFFFFFu, 0x80000000u, 15u}) {
        TTiffBytes bytes;
        bytes.Header(offset).Zeros(8);
        auto stream = StreamOf(bytes);
        auto directory = OnlyDirectory(*stream);
        EXPECT_EQ(directory->GetCount(), 0);
        EXPECT_EQ(directory->GetLoadErrors(),
                  (TMetadataLoadErrors{TMetadataLoadError::leBadOffset}));
        EXPECT_TRUE(directory->IsLastDirectory());
    }
}

TEST(TiffParser, ChainEndsAtBadOrRevisitedOffsets) {
    struct Case {
        const char* name;
        std::uint32_t secondNext; // the next offset of the directory at 14
        std::size_t directories;
    };
    // Directory 0 at 8 (6 bytes, next 14), directory 1 at 14, then 6 spare bytes.
    const Case cases[] = {
        {"end", 0, 2},
        {"loops to the first", 8, 2},
        {"loops to itself", 14, 2},
        {"beyond the largest offset", 23, 2},
        {"the largest offset", 22, 3},
        {"a third one", 20, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTiffBytes bytes;
        bytes.Header(8).Word(0).Long(14).Word(0).Long(c.secondNext).Word(0).Long(0);
        auto stream = StreamOf(bytes);
        auto parser = CreateTiffParser(*stream);
        const auto chain = Chain(*parser);
        ASSERT_EQ(chain.size(), c.directories);
        for (std::size_t i = 0; i < chain.size(); ++i) {
            EXPECT_EQ(chain[i]->GetIndex(), static_cast<std::int32_t>(i));
            EXPECT_EQ(chain[i]->IsLastDirectory(), i + 1 == chain.size());
        }
    }
}

TEST(TiffParser, LoadTagDataConvertsEachElementToHostOrder) {
    TTiffBytes bytes(TEndianness::BigEndian);
    // Data starts at 8 + 2 + 4 * 12 + 4 = 62.
    bytes.Header(8).Word(4);
    bytes.Entry(0x011A, 5, 1, 62);  // RATIONAL 1/2
    bytes.Entry(0x0150, 3, 3, 70);  // SHORT 1 2 3
    bytes.Entry(0x0151, 12, 1, 76); // DOUBLE 1.5
    bytes.Entry(0x0152, 1, 3, 0x01020300);
    bytes.Long(0);
    bytes.Bytes({0, 0, 0, 1, 0, 0, 0, 2}).Word(1).Word(2).Word(3);
    bytes.Bytes({0x3F, 0xF8, 0, 0, 0, 0, 0, 0});
    auto stream = StreamOf(bytes);
    auto directory = OnlyDirectory(*stream);

    TTiffLongWordFraction fraction;
    std::memcpy(&fraction, directory->FindTag(0x011A)->GetData().GetMemory(), 8);
    EXPECT_EQ(fraction, TTiffLongWordFraction(1, 2));
    std::array<std::uint16_t, 3> shorts{};
    std::memcpy(shorts.data(), directory->FindTag(0x0150)->GetData().GetMemory(), 6);
    EXPECT_EQ(shorts, (std::array<std::uint16_t, 3>{1, 2, 3}));
    double value = 0;
    std::memcpy(&value, directory->FindTag(0x0151)->GetData().GetMemory(), 8);
    EXPECT_EQ(value, 1.5);
    const auto byteTag = directory->FindTag(0x0152);
    const auto byteData = byteTag->GetData().GetBytes();
    EXPECT_EQ(Bytes(byteData.begin(), byteData.end()), (Bytes{1, 2, 3}));
}

TEST(TiffTag, ParsedDataIsReadOnlyAndBlockTestsUseTheID) {
    TTiffBytes bytes;
    const Bytes iim = {0x1C, 0x02, 0x05, 0x00, 0x02, 'h', 'i', 0};
    bytes.Header(8).Word(2).Entry(0x02BC, 1, 4, 0x6B63787Bu).Entry(0x83BB, 7, 8, 38).Long(0);
    for (const std::uint8_t b : iim) {
        bytes.Byte(b);
    }
    auto stream = StreamOf(bytes);
    auto directory = OnlyDirectory(*stream);
    auto iptc = directory->FindTag(0x83BB);
    ASSERT_TRUE(iptc);
    EXPECT_TRUE(iptc->IsIPTCBlock(true));
    EXPECT_FALSE(directory->FindTag(0x02BC)->IsIPTCBlock(false));
    EXPECT_FALSE(iptc->IsExifBlock(false));
    EXPECT_THROW(iptc->GetData().WriteBuffer(iim.data(), 1), EStreamError);
    EXPECT_THROW(iptc->GetData().SetSize(0), EStreamError);
    EXPECT_EQ(iptc->GetData().GetSize(), 8);
}

TEST(TiffDirectory, LookupReliesOnAscendingIDs) {
    TTiffBytes bytes;
    bytes.Header(8).Word(4);
    bytes.ShortEntry(0x0100, 1).Entry(0x0110, 4, 2, 0).ShortEntry(0x0120, 1).ShortEntry(0x0105, 1);
    bytes.Long(0);
    auto stream = StreamOf(bytes);
    auto directory = OnlyDirectory(*stream);
    EXPECT_TRUE(directory->FindTag(0x0120));
    EXPECT_FALSE(directory->FindTag(0x0105)); // after a larger ID
    EXPECT_FALSE(directory->FindTag(0x0101));
    // A malformed entry (8 bytes of data at offset 0) is still found, with no data.
    auto malformed = directory->FindTag(0x0110);
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->GetElementCount(), -1);
    EXPECT_EQ(malformed->GetData().GetSize(), 0);
    const TTiffDataTypes shortOrLong = {TTiffDataType::tdShort, TTiffDataType::tdLong};
    EXPECT_TRUE(directory->TagExists(0x0100, shortOrLong, 1, 1));
    EXPECT_FALSE(directory->TagExists(0x0100, {TTiffDataType::tdLong}, 1, 1));
    EXPECT_FALSE(directory->TagExists(0x0100, shortOrLong, 2, 5));
    EXPECT_FALSE(directory->TagExists(0x0105, shortOrLong, 1, 1));

    std::vector<TTiffTagID> ids;
    for (const auto& tag : *directory) {
        ids.push_back(tag->GetID());
    }
    EXPECT_EQ(ids, (std::vector<TTiffTagID>{0x0100, 0x0110, 0x0120, 0x0105}));
}

TEST(TiffSubDirectory, PointerRecognition) {
    struct Case {
        TTiffTagID id;
        TTiffDataType type;
        std::int32_t count;
        bool pointer;
    };
    using enum TTiffDataType;
    const Case cases[] = {
        {0x8769, tdLong, 1, true},  {0x0111, tdLong, 1, false}, {0x0111, tdIFD, 1, true},
        {0x1234, tdIFD, 1, true},   {0x8769, tdLong, 2, false}, {0x8769, tdShort, 1, false},
        {0xA002, tdLong, 1, false}, {0x0201, tdLong, 1, false}, {0x8825, tdLong, 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSubDirectoryPointer(c.id, c.type, c.count), c.pointer) << std::hex << c.id;
    }
}

TEST(TiffSubDirectory, AcceptanceFollowsLoadErrorsAndSize) {
    struct Case {
        const char* name;
        std::uint32_t pointer;
        int entries;    // entries of the sub-directory at 26
        bool malformed; // its first entry has type 0
        bool accepted;
    };
    const Case cases[] = {
        {"clean, 1 entry", 26, 1, false, true},
        {"bad header, 3 entries", 26, 3, true, true},
        {"bad header, 2 entries", 26, 2, true, false},
        {"outside the stream", 5000, 0, false, false},
        {"into the header", 4, 0, false, false},
        {"back to its parent", 8, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTiffBytes bytes;
        bytes.Header(8).Word(1).Entry(0x8769, 4, 1, c.pointer).Long(0); // 8..25
        bytes.Word(static_cast<std::uint16_t>(c.entries));
        for (int i = 0; i < c.entries; ++i) {
            bytes.Entry(static_cast<std::uint16_t>(0x9000 + i), i == 0 && c.malformed ? 0 : 3, 1,
                        0);
        }
        bytes.Long(0);
        auto stream = StreamOf(bytes);
        auto parser = CreateTiffParser(*stream);
        auto directory = Chain(*parser).at(0);
        auto tag = directory->FindTag(0x8769);
        auto viaTag = parser->ParseSubDirectory(*tag);
        auto viaInfo = parser->ParseSubDirectory(directory, directory->GetTagInfo()[0]);
        EXPECT_EQ(static_cast<bool>(viaTag), c.accepted);
        EXPECT_EQ(static_cast<bool>(viaInfo), c.accepted);
        if (viaTag) {
            EXPECT_EQ(viaTag->GetIndex(), 0x8769);
            EXPECT_EQ(viaTag->GetParent().get(), directory.get());
            EXPECT_EQ(viaTag->GetCount(), c.entries);
            EXPECT_EQ(viaInfo->GetParent().get(), directory.get());
        }
    }
}

TEST(TiffSubDirectory, CyclesThroughNestedPointersAreNotFollowed) {
    // IFD0 at 8 -> sub-directory A at 26 -> B at 44 -> back to A.
    TTiffBytes bytes;
    bytes.Header(8).Word(1).Entry(0x8769, 13, 1, 26).Long(0);
    bytes.Word(1).Entry(0xA005, 13, 1, 44).Long(0);
    bytes.Word(1).Entry(0xA005, 13, 1, 26).Long(0);
    auto stream = StreamOf(bytes);
    auto parser = CreateTiffParser(*stream);
    auto a = parser->ParseSubDirectory(*Chain(*parser).at(0)->FindTag(0x8769));
    ASSERT_TRUE(a);
    auto b = parser->ParseSubDirectory(*a->FindTag(0xA005));
    ASSERT_TRUE(b);
    EXPECT_FALSE(parser->ParseSubDirectory(*b->FindTag(0xA005)));
}

TEST(TiffDirectory, ParseDirectoryAtAddsTheInternalOffset) {
    // A header-less directory at 4 whose data offsets count from 10 bytes before the base.
    TTiffBytes bytes(TEndianness::BigEndian);
    bytes.Zeros(4).Word(1).Entry(0x0001, 2, 6, 12).Long(0).Bytes({'h', 'e', 'l', 'l', 'o', 0});
    TMemoryStream stream(bytes.Get());
    auto directory = ParseDirectoryAt(stream, TEndianness::BigEndian, 0, 4, 10);
    EXPECT_EQ(directory->GetIndex(), -1);
    EXPECT_FALSE(directory->GetParent());
    auto tag = directory->FindTag(1);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->GetOriginalDataOffset(), 22u);
    EXPECT_EQ(tag->GetData().GetBytes()[0], 'h');
}

TEST(TiffThumbnail, LoadsExactlyTheJPEGBytes) {
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    for (const bool withStrips : {false, true}) {
        TTiffBytes bytes;
        // IFD0 at 8 (empty, next 14); IFD1 at 14 with 1 or 2 entries, then the JPEG and trailing
        // bytes.
        const std::uint32_t entries = withStrips ? 2 : 1;
        const std::uint32_t jpegAt = 14 + 2 + 12 * entries + 4;
        bytes.Header(8).Word(0).Long(14).Word(static_cast<std::uint16_t>(entries));
        if (withStrips) {
            bytes.Entry(0x0111, 4, 1, jpegAt);
        }
        bytes.Entry(0x0201, 4, 1, jpegAt).Long(0);
        for (const std::uint8_t b : jpeg) {
            bytes.Byte(b);
        }
        bytes.Bytes({1, 2, 3});
        auto stream = StreamOf(bytes);
        auto parser = CreateTiffParser(*stream);
        const auto chain = Chain(*parser);
        ASSERT_EQ(chain.size(), 2u);
        EXPECT_FALSE(chain[0]->IsThumbnailDirectory());
        EXPECT_EQ(chain[1]->IsThumbnailDirectory(), !withStrips);
        TCapturingPersist thumbnail;
        EXPECT_TRUE(chain[1]->TryLoadThumbnail(thumbnail));
        EXPECT_EQ(thumbnail.Loaded, jpeg);
        EXPECT_FALSE(chain[0]->TryLoadThumbnail(thumbnail));
    }
}

TEST(TiffThumbnail, FailuresAreReportedAsFalse) {
    class TThrowingPersist final : public IStreamPersist {
    public:
        void LoadFromStream(TStream&) override { throw EReadError(); }
        void SaveToStream(TStream&) override {}
    };
    TTiffBytes bytes;
    bytes.Header(8).Word(1).Entry(0x0201, 4, 1, 30).Long(0).Bytes({0xFF, 0xD8, 0xFF, 0xD9});
    auto stream = StreamOf(bytes);
    auto parser = CreateTiffParser(*stream);
    TThrowingPersist throwing;
    EXPECT_FALSE(Chain(*parser).at(0)->TryLoadThumbnail(throwing));

    TTiffBytes notJPEG;
    notJPEG.Header(8).Word(1).Entry(0x0201, 4, 1, 30).Long(0).Bytes({0xFF, 0xD9, 0, 0});
    auto stream2 = StreamOf(notJPEG);
    auto parser2 = CreateTiffParser(*stream2);
    TCapturingPersist capture;
    EXPECT_FALSE(Chain(*parser2).at(0)->TryLoadThumbnail(capture));
}

TEST(TiffTag, StandAloneTagTakesItsDataFromTheSource) {
    class TSource final : public IStreamPersistEx {
    public:
        void LoadFromStream(TStream&) override {}
        void SaveToStream(TStream& stream) override { stream.WriteBuffer(Bytes{1, 2, 3, 4, 5}); }
        bool Empty() const override { return false; }
    };
    TSource source;
    TFoundTiffTag withSource(0x83BB, TTiffDataType::tdLong, &source);
    EXPECT_EQ(withSource.GetElementCount(), 1); // 5 div 4
    EXPECT_EQ(withSource.GetData().GetSize(), 5);
    EXPECT_FALSE(withSource.GetParent());

    TFoundTiffTag without(0x02BC, TTiffDataType::tdRational);
    EXPECT_EQ(without.GetElementCount(), 1);
    const auto data = without.GetData().GetBytes();
    EXPECT_EQ(Bytes(data.begin(), data.end()), Bytes(8, 0));
}
