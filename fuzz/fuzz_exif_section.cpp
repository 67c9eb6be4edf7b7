// Loads arbitrary bytes as a TIFF structure into EXIF sections the way a
// container does (IFD0, IFD1, the Exif, GPS and interoperability directories),
// reads every tag in every form, writes each directory back and checks that it
// reads back as the same tags.
#include "kestrix/Exif.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace Kestrix::Exif;

namespace {

class TOwner final : public TExifSectionOwner {
public:
    TOwner() {
        for (int kind = 1; kind <= 6; ++kind) {
            FSections[kind - 1] =
                std::make_unique<TExtendableExifSection>(this, static_cast<TExifSectionKind>(kind));
        }
    }
    bool GetEnforceASCII() const override { return true; }
    bool GetAlwaysWritePreciseTimes() const override { return true; }
    TEndianness GetEndianness() const override { return TEndianness::SmallEndian; }
    TExifSection& GetSection(TExifSectionKind kind) override {
        return *FSections[static_cast<int>(kind) - 1];
    }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Changed(TExifSection*) override {}
    void ResetMakerNoteType() override {}

private:
    std::array<std::unique_ptr<TExifSection>, 6> FSections;
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void ReadEverything(TExifSection& section) {
    for (TExifTag& tag : section) {
        tag.GetAsString();
        for (std::int32_t i = 0; i < std::min(tag.GetElementCount(), 64); ++i) {
            tag.GetElementAsString(i);
            tag.ReadWord(i, 0);
            tag.ReadLongWord(i, 0);
            tag.ReadFraction(i, {});
        }
        tag.IsPadding();
        tag.IsIPTCBlock(false);
        std::string text;
        section.TryGetStringValue(tag.GetID(), text);
        section.TryGetWindowsStringValue(tag.GetID(), text);
        section.GetDateTimeValue(tag.GetID(), TagIDs::ttSubsecTime);
        section.GetSmallIntValue(tag.GetID(), 0, 0, -10, 10);
        section.GetLongIntValue(tag.GetID(), 0);
    }
}

// Writes the section as one directory and loads it back.
void CheckRoundTrip(TExifSection& section, TEndianness order) {
    TMemoryStream stream;
    const std::uint8_t mark = order == TEndianness::BigEndian ? 'M' : 'I';
    stream.WriteBuffer(std::array<std::uint8_t, 2>{mark, mark});
    WriteWord(stream, 42, order);
    WriteLongWord(stream, 8, order);
    WriteWord(stream, static_cast<std::uint16_t>(section.GetCount()), order);
    std::uint32_t dataOffset = 8 + 2 + 12 * static_cast<std::uint32_t>(section.GetCount()) + 4;
    for (const TExifTag& tag : section) {
        tag.WriteEntry(stream, order, dataOffset);
        if (tag.GetDataSize() > 4) {
            dataOffset += static_cast<std::uint32_t>(tag.GetDataSize());
        }
    }
    WriteLongWord(stream, 0, order);
    for (const TExifTag& tag : section) {
        tag.WriteEntryData(stream, order);
    }
    stream.SetPosition(0);
    auto parser = CreateTiffParser(stream);
    TExifSection loaded(nullptr, TExifSectionKindEx::esUserDefined);
    for (const auto& directory : *parser) {
        loaded.Load(*directory, false);
        break;
    }
    // Tags that were refused on loading went back as empty entries of their own.
    Check(loaded.GetCount() == section.GetCount());
    for (std::int32_t i = 0; i < section.GetCount(); ++i) {
        const TExifTag& a = section.GetTag(i);
        const TExifTag& b = loaded.GetTag(i);
        Check(a.GetID() == b.GetID() && a.GetDataType() == b.GetDataType() &&
              a.GetElementCount() == b.GetElementCount());
        Check(a.GetBytes().size() == b.GetBytes().size() &&
              std::memcmp(a.GetBytes().data(), b.GetBytes().data(), a.GetBytes().size()) == 0);
    }
}

void EditCopies(TExifSection& section) {
    TExtendableExifSection copy(nullptr, TExifSectionKindEx::esGeneral);
    copy.CopyTags(section);
    for (TExifTag& tag : copy) {
        const std::string text = tag.GetAsString();
        try {
            tag.SetAsString(text);
        } catch (const Exception&) {
            // Texts of ASCII tags with other characters are refused; nothing else is.
        }
        tag.SetDataType(TTiffDataType::tdShort);
        tag.SetElementCount(tag.GetElementCount() / 2);
    }
    copy.SetDateTimeValue(TagIDs::ttDateTime, 0, copy.GetDateTimeValue(TagIDs::ttDateTime, 0));
    while (copy.RemovePaddingTag()) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TUserMemoryStream stream(data, size);
    TOwner owner;
    try {
        auto parser = CreateTiffParser(stream);
        const bool fromTiffFile = size > 0 && (data[size - 1] & 1) != 0;
        for (const auto& directory : *parser) {
            if (directory->GetIndex() == 0) {
                owner.GetSection(TExifSectionKind::esGeneral).Load(*directory, fromTiffFile);
            } else {
                owner.GetSection(TExifSectionKind::esThumbnail).Load(*directory, fromTiffFile);
                break;
            }
        }
        const struct {
            TExifSectionKind From;
            TTiffTagID Pointer;
            TExifSectionKind To;
        } links[] = {
            {TExifSectionKind::esGeneral, TagIDs::ttExifOffset, TExifSectionKind::esDetails},
            {TExifSectionKind::esGeneral, TagIDs::ttGPSOffset, TExifSectionKind::esGPS},
            {TExifSectionKind::esDetails, TagIDs::ttInteropOffset, TExifSectionKind::esInterop},
        };
        for (const auto& link : links) {
            if (auto pointer = owner.GetSection(link.From).FindTag(link.Pointer)) {
                if (auto directory = parser->ParseSubDirectory(*pointer)) {
                    owner.GetSection(link.To).Load(*directory, fromTiffFile);
                }
            }
        }
    } catch (const Exception&) {
        // Bad headers and reads beyond the stream are documented outcomes.
    }
    for (int kind = 1; kind <= 5; ++kind) {
        TExifSection& section = owner.GetSection(static_cast<TExifSectionKind>(kind));
        ReadEverything(section);
        CheckRoundTrip(section, TEndianness::BigEndian);
        CheckRoundTrip(section, TEndianness::SmallEndian);
        EditCopies(section);
    }
    return 0;
}
