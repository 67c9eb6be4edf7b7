// EXIF sections and tags as sources of a rewrite, the way the EXIF container
// saves into a TIFF file.
#include "TiffRewriteTestSupport.h"
#include "kestrix/Exif.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;
using namespace TiffRewriteTestSupport;

namespace {

// A view that borrows the object; the test keeps the object alive.
template <typename TInterface, typename T> std::shared_ptr<TInterface> Borrowed(T& object) {
    return std::shared_ptr<TInterface>(std::shared_ptr<void>(), &object);
}

class TExifSectionCallback final : public ITiffRewriteCallback {
public:
    TExifSectionCallback(TExifSection& general, TExifSection& details)
        : FGeneral(general), FDetails(details) {}

    void AddTagsToWrite(TTiffDirectoryRewriter& rewriter) override {
        const auto& source = rewriter.GetSource();
        if (source && !source->GetParent() && source->GetIndex() == 0) {
            rewriter.AddTag(FGeneral.FindTag(TagIDs::ttMake));
            rewriter.AddSubDirectory(TagIDs::ttExifOffset, Borrowed<ITiffDirectory>(FDetails),
                                     nullptr);
        }
    }
    void FilterOldTag(const ITiffDirectory&, TTiffTagID, bool&, TTiffDataType) override {}

private:
    TExifSection& FGeneral;
    TExifSection& FDetails;
};

} // namespace

// The EXIF sub-directory is written from an edited section loaded from the input:
// the section's tags in the output byte order, its maker note back where the
// offset schema says it was, and IFD0 gains a tag taken from another section.
TEST(TiffRewriteExifSection, SectionsAreWrittenAsDirectories) {
    for (const TEndianness order : {TEndianness::SmallEndian, TEndianness::BigEndian}) {
        SCOPED_TRACE(static_cast<int>(order));
        const Bytes strip = Pattern(16, 2);
        const Bytes makerNote = Pattern(40, 3);
        TTiffImage input(order);
        input.Header(8)
            .Directory(8, {ShortEntry(0x0100, 4), LongEntry(TagIDs::ttStripOffsets, 600),
                           LongEntry(TagIDs::ttStripByteCounts, 16),
                           LongEntry(TagIDs::ttExifOffset, 100)})
            .Directory(100, {OffsetEntry(TagIDs::ttExposureTime, TTiffDataType::tdRational, 1, 200),
                             OffsetEntry(TagIDs::ttMakerNote, TTiffDataType::tdUndefined, 40, 400),
                             {TagIDs::ttOffsetSchema, TTiffDataType::tdSLong, 1, 100}})
            .Long(200, 1)
            .Long(204, 50)
            .Put(400, makerNote)
            .Put(600, strip);
        TMemoryStream in(input.Get());
        auto parser = CreateTiffParser(in);
        const auto ifd0 = *parser->begin();
        const auto exif = parser->ParseSubDirectory(*ifd0->FindTag(TagIDs::ttExifOffset));
        ASSERT_TRUE(exif);

        TExtendableExifSection details(nullptr, TExifSectionKind::esDetails);
        details.Load(*exif, false);
        details.SetStringValue(TagIDs::ttDateTimeOriginal, "2024:01:02 03:04:05");
        TExtendableExifSection general(nullptr, TExifSectionKind::esGeneral);
        general.SetStringValue(TagIDs::ttMake, "Kestrix");
        TExifSectionCallback callback(general, details);

        in.SetPosition(0);
        TMemoryStream out;
        RewriteTiffStream(in, out, &callback);
        TParsedOutput output(out.TakeBytes());
        EXPECT_EQ(output.Parser().GetEndianness(), order);
        const auto newIfd0 = output.Chain()[0];
        EXPECT_EQ(IDsOf(*newIfd0),
                  (std::vector<TTiffTagID>{0x0100, TagIDs::ttMake, TagIDs::ttStripOffsets,
                                           TagIDs::ttStripByteCounts, TagIDs::ttExifOffset}));
        EXPECT_EQ(DataOf(*newIfd0, TagIDs::ttMake), (Bytes{'K', 'e', 's', 't', 'r', 'i', 'x', 0}));
        // IFD0 8..73, Make 74..81, the EXIF table (its schema tag gone) 82..123,
        // its data 124..151, the strip 152..167; the maker note ends the file.
        EXPECT_EQ(NumbersOf(*newIfd0, TagIDs::ttExifOffset), std::vector<std::uint32_t>{82});
        EXPECT_EQ(NumbersOf(*newIfd0, TagIDs::ttStripOffsets), std::vector<std::uint32_t>{152});
        EXPECT_EQ(Slice(output.Raw(), 152, 16), strip);
        EXPECT_EQ(output.Raw().size(), 340u);

        const auto newExif = output.SubDirectory(newIfd0, TagIDs::ttExifOffset);
        ASSERT_TRUE(newExif);
        EXPECT_EQ(IDsOf(*newExif),
                  (std::vector<TTiffTagID>{TagIDs::ttExposureTime, TagIDs::ttDateTimeOriginal,
                                           TagIDs::ttMakerNote}));
        EXPECT_EQ(NumbersOf(*newExif, TagIDs::ttExposureTime), (std::vector<std::uint32_t>{1, 50}));
        const std::string_view date = "2024:01:02 03:04:05";
        Bytes dateBytes(date.begin(), date.end());
        dateBytes.push_back(0);
        EXPECT_EQ(DataOf(*newExif, TagIDs::ttDateTimeOriginal), dateBytes);
        EXPECT_EQ(EntryOf(*newExif, TagIDs::ttMakerNote)->DataOffset, 300u);
        EXPECT_EQ(DataOf(*newExif, TagIDs::ttMakerNote), makerNote);
    }
}
