// The EXIF model: editable tags and sections (tag directories).
//
// A section holds its tags in ascending ID order and owns them; tag data lives
// in host byte order and is converted only when a TIFF structure is read or
// written. Sections and tags also serve as ITiffDirectory/ITiffTag views; such
// a view borrows the object and must not outlive it.
#pragma once

#include "kestrix/TiffUtils.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrix::Exif {

// ---------------------------------------------------------------------------
// Section kinds

enum class TExifSectionKindEx : std::uint8_t {
    esUserDefined, // a section outside a container's six
    esGeneral,     // IFD0, the main image
    esDetails,     // the Exif sub-directory (pointer tag 0x8769)
    esInterop,     // the interoperability sub-directory (pointer tag 0xA005, in esDetails)
    esGPS,         // the GPS sub-directory (pointer tag 0x8825)
    esThumbnail,   // IFD1, the thumbnail
    esMakerNote,   // the maker note's own directory
};

// The six sections a container owns; the same ordinals as TExifSectionKindEx.
enum class TExifSectionKind : std::uint8_t {
    esGeneral = 1,
    esDetails,
    esInterop,
    esGPS,
    esThumbnail,
    esMakerNote,
};

constexpr TExifSectionKindEx ToKindEx(TExifSectionKind kind) {
    return static_cast<TExifSectionKindEx>(kind);
}
constexpr bool operator==(TExifSectionKindEx a, TExifSectionKind b) {
    return a == ToKindEx(b);
}

class TExifSection;
class TExtendableExifSection;

// What a section needs of the container that owns it.
class TExifSectionOwner {
public:
    // Refuse characters above 127 in ASCII tags.
    virtual bool GetEnforceASCII() const = 0;
    // Create the sub-second tag when a date-time is written and it is missing.
    virtual bool GetAlwaysWritePreciseTimes() const = 0;
    virtual TEndianness GetEndianness() const = 0;
    virtual TExifSection& GetSection(TExifSectionKind kind) = 0;
    // Changes between BeginUpdate and the matching EndUpdate are reported once.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void Changed(TExifSection* section) = 0;
    // The maker note tag was deleted or changed: forget its interpreter.
    virtual void ResetMakerNoteType() = 0;

protected:
    ~TExifSectionOwner() = default;
};

// The size of a padding tag: 2 bytes of marker, the rest zero.
using TExifPaddingTagSize = std::int32_t;
inline constexpr TExifPaddingTagSize MinExifPaddingTagSize = 2;

// ---------------------------------------------------------------------------
// Tags

// One tag: ID, data type, element count and data bytes in host byte order.
class TExifTag final : public ITiffTag {
public:
    // A tag outside any section; a negative count becomes 0. The data is zero-filled.
    TExifTag(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount);
    ~TExifTag() override;
    TExifTag(const TExifTag&) = delete;
    TExifTag& operator=(const TExifTag&) = delete;

    // Removes the tag from its section and frees it; a tag outside a section is
    // left alone. The tag must not be used afterwards.
    void Delete();
    // No source empties the data. A tag in another section (or in none) also
    // takes the source's ID.
    void Assign(const TExifTag* source);
    // Clears the text cache and reports the change to the section.
    void Changed();

    // Overwrites DataSize() bytes; type and count stay. Null changes nothing.
    void UpdateData(const void* newData);
    // Changes type and count; with newData (DataSize() bytes of the new shape)
    // copies it in, without it keeps the values of integer elements across a
    // change of element size and zero-fills the rest.
    void UpdateData(TTiffDataType newDataType, std::int32_t newElementCount,
                    const void* newData = nullptr);

    // Comma text of the elements, hex for UNDEFINED, the text of ASCII and
    // Windows string tags. Cached until the next change.
    std::string GetAsString() const;
    // Parses the text by the tag's current type; ERangeError for integers out of
    // range, EConvertError for non-numbers, ENotOnlyASCIIError (when the owner
    // enforces ASCII); the tag is unchanged on any error.
    void SetAsString(const std::string& value);
    std::string ToString() const { return GetAsString(); }
    // EListError outside 0..ElementCount-1.
    std::string GetElementAsString(std::int32_t index) const;

    // BYTE/SBYTE zero-extended, SHORT/SSHORT; `defaultValue` otherwise.
    std::uint16_t ReadWord(std::int32_t index, std::uint16_t defaultValue) const;
    // As ReadWord, plus LONG/SLONG.
    std::uint32_t ReadLongWord(std::int32_t index, std::uint32_t defaultValue) const;
    // RATIONAL/SRATIONAL elements (the bit pattern as stored).
    TTiffLongWordFraction ReadFraction(std::int32_t index,
                                       TTiffLongWordFraction defaultValue) const;

    // A BYTE tag 0x9C9B..0x9C9F of the main image section: UTF-16LE text with a
    // two-byte terminator.
    bool HasWindowsStringData() const;
    bool IsPadding() const;
    // Becomes the padding tag 0xEA1C: `size` UNDEFINED bytes 1C EA 00 ...
    void SetAsPadding(TExifPaddingTagSize size);

    // The entry in a TIFF directory: ID, type, count, then the value itself
    // (padded to 4 bytes) or `dataOffset` when the data is longer than 4 bytes.
    void WriteEntry(TStream& stream, TEndianness endianness, std::uint32_t dataOffset) const;
    // The out-of-line data (nothing when it fits the entry), element by element
    // in the given byte order; no padding.
    void WriteEntryData(TStream& stream, TEndianness endianness) const;

    std::span<const std::uint8_t> GetBytes() const { return FData.GetBytes(); }
    std::int32_t GetDataSize() const { return FElementCount * TiffElementSize(FDataType); }
    void SetDataType(TTiffDataType value);
    void SetElementCount(std::int32_t value);
    // ETagAlreadyExists when the section holds the ID already.
    void SetID(TTiffTagID value);
    std::int64_t GetOriginalDataOffset64() const { return FOriginalDataOffset; }
    std::int32_t GetOriginalDataSize() const { return FOriginalDataSize; }
    TExifSection* GetSection() const { return FSection; }
    bool GetWellFormed() const { return FWellFormed; }

    // ITiffTag. The data stream refuses writes: edits go through UpdateData.
    TMetadataDataStream& GetData() override { return FData; }
    bool IsExifBlock(bool checkID = true) override;
    bool IsIPTCBlock(bool checkID = true) override;
    bool IsXMPBlock(bool checkID = true) override;
    TTiffDataType GetDataType() const override { return FDataType; }
    std::shared_ptr<ITiffDirectory> GetParent() const override;
    std::int32_t GetElementCount() const override { return FElementCount; }
    TTiffTagID GetID() const override { return FID; }
    std::uint32_t GetOriginalDataOffset() const override {
        return static_cast<std::uint32_t>(FOriginalDataOffset);
    }

private:
    friend class TExifSection;

    TExifTag(TExifSection* section, TTiffTagID id, TTiffDataType dataType,
             std::int32_t elementCount);

    // What every edit of ID or size must pass; raises before anything changes.
    void CheckChange(TTiffTagID newID, std::int64_t newDataSize);
    void ResizeData(std::int32_t newSize);
    std::uint8_t* MutableData();
    void ParseAsString(const std::string& value);
    bool EnforcesASCII() const;

    mutable std::string FAsStringCache;
    TMetadataDataStream FData;
    TTiffDataType FDataType;
    std::int32_t FElementCount = 0;
    TTiffTagID FID;
    std::int64_t FOriginalDataOffset = 0;
    std::int32_t FOriginalDataSize = 0;
    bool FWellFormed = true;
    TExifSection* FSection = nullptr;
};

// ---------------------------------------------------------------------------
// Sections

// One EXIF directory: its tags in ascending ID order.
class TExifSection : public ITiffDirectory {
    using TTagList = std::vector<std::unique_ptr<TExifTag>>;

public:
    // Walks the tags; the current tag may be deleted without the next one
    // being skipped.
    class TEnumerator {
    public:
        explicit TEnumerator(const TTagList& tags) : FTags(&tags) {}
        bool MoveNext();
        TExifTag& Current() const { return *FCurrent; }

    private:
        TExifTag* FCurrent = nullptr;
        std::size_t FIndex = 0;
        const TTagList* FTags;
    };

    // `owner` may be null: the section then skips everything that needs one.
    TExifSection(TExifSectionOwner* owner, TExifSectionKindEx kind);
    TExifSection(TExifSectionOwner* owner, TExifSectionKind kind)
        : TExifSection(owner, ToKindEx(kind)) {}
    // Frees the tags without reporting changes.
    ~TExifSection() override;
    TExifSection(const TExifSection&) = delete;
    TExifSection& operator=(const TExifSection&) = delete;

    // Replaces the content by the directory's entries, sorted by ID. From a TIFF
    // file's own IFD0 only the tags of the EXIF model are taken.
    void Load(const IFoundTiffDirectory& directory, bool fromTiffFile);
    void Clear();
    // The first tag with that ID, or null.
    TExifTag* Find(TTiffTagID id) const;
    bool Find(TTiffTagID id, TExifTag*& tag) const;
    bool Remove(TTiffTagID id);
    void Remove(std::span<const TTiffTagID> ids);
    void Remove(std::initializer_list<TTiffTagID> ids) {
        Remove(std::span(ids.begin(), ids.size()));
    }
    bool RemovePaddingTag();
    bool IsExtendable() const { return FExtendable; }

    // Typed getters; all fail (or give the default or missing value) for a
    // missing tag, another type, or an index outside the elements.
    bool TryGetByteValue(TTiffTagID id, std::int32_t index, std::uint8_t& value) const;
    bool TryGetWordValue(TTiffTagID id, std::int32_t index, std::uint16_t& value) const;
    bool TryGetLongWordValue(TTiffTagID id, std::int32_t index, std::uint32_t& value) const;
    std::uint8_t GetByteValue(TTiffTagID id, std::int32_t index, std::uint8_t defaultValue,
                              std::uint8_t minValue, std::uint8_t maxValue) const;
    std::uint16_t GetWordValue(TTiffTagID id, std::int32_t index, std::uint16_t defaultValue,
                               std::uint16_t minValue, std::uint16_t maxValue) const;
    std::int16_t GetSmallIntValue(TTiffTagID id, std::int32_t index, std::int16_t defaultValue,
                                  std::int16_t minValue, std::int16_t maxValue) const;
    TWordTagValue GetWordValue(TTiffTagID id, std::int32_t index) const;
    TLongWordTagValue GetLongWordValue(TTiffTagID id, std::int32_t index) const;
    std::uint32_t GetLongWordValue(TTiffTagID id, std::int32_t index,
                                   std::uint32_t defaultValue) const;
    TLongIntTagValue GetLongIntValue(TTiffTagID id, std::int32_t index) const;
    std::int32_t GetLongIntValue(TTiffTagID id, std::int32_t index,
                                 std::int32_t defaultValue) const;
    TTiffLongWordFraction GetFractionValue(TTiffTagID id, std::int32_t index) const;
    TTiffLongWordFraction GetFractionValue(TTiffTagID id, std::int32_t index,
                                           TTiffLongWordFraction defaultValue) const;

    // ASCII tags: the text without one final NUL, blank or control byte.
    bool TryGetStringValue(TTiffTagID id, std::string& value) const;
    std::string GetStringValue(TTiffTagID id, const std::string& defaultValue = {}) const;
    bool TryGetWindowsStringValue(TTiffTagID id, std::string& value) const;
    std::string GetWindowsStringValue(TTiffTagID id, const std::string& defaultValue = {}) const;

    // "yyyy:mm:dd hh:nn:ss" in `mainID`, milliseconds from the sub-second tag
    // `subSecsID` (0 for none) of the owner's details section.
    TDateTimeTagValue GetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID) const;
    // A missing value removes both tags.
    void SetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID, TDateTimeTagValue value);

    // Typed setters: the tag takes the setter's type and grows to hold `index`.
    TExifTag& SetByteValue(TTiffTagID id, std::int32_t index, std::uint8_t value);
    TExifTag& SetWordValue(TTiffTagID id, std::int32_t index, std::uint16_t value);
    TExifTag& SetLongWordValue(TTiffTagID id, std::int32_t index, std::uint32_t value);
    // A missing value (0/0) removes the element when it is the last one, the
    // tag when it is the only one, else is stored.
    void SetFractionValue(TTiffTagID id, std::int32_t index, TTiffLongWordFraction value);
    void SetSignedFractionValue(TTiffTagID id, std::int32_t index, TTiffLongIntFraction value);
    // Empty text removes the tag.
    void SetStringValue(TTiffTagID id, const std::string& value);
    void SetWindowsStringValue(TTiffTagID id, const std::string& value);

    TExifSectionKindEx GetKind() const { return FKind; }
    TMetadataLoadErrors GetLoadErrors() const { return FLoadErrors; }
    void SetLoadErrors(TMetadataLoadErrors value) { FLoadErrors = value; }
    bool GetModified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    TExifSectionOwner* GetOwner() const { return FOwner; }
    // HeaderOffset of the first entry of the directory last loaded; 0 when none.
    std::int64_t GetFirstTagHeaderOffset() const { return FFirstTagHeaderOffset; }
    TExifTag& GetTag(std::int32_t index) const; // EListError outside 0..Count-1

    TEnumerator GetTagEnumerator() const { return TEnumerator(FTagList); }
    // for (TExifTag& tag : section)
    TEnumeratorIterator<TEnumerator> begin() const {
        return TEnumeratorIterator<TEnumerator>(GetTagEnumerator());
    }
    std::default_sentinel_t end() const { return {}; }

    // ITiffDirectory
    std::unique_ptr<ITiffDirectoryEnumerator> GetEnumerator() override;
    std::int32_t GetIndex() const override;
    std::shared_ptr<ITiffDirectory> GetParent() const override;
    std::int32_t GetCount() const override { return static_cast<std::int32_t>(FTagList.size()); }
    std::shared_ptr<ITiffTag> FindTag(TTiffTagID id) override;
    bool TagExists(TTiffTagID id, TTiffDataTypes validDataTypes, std::int32_t minElementCount = 1,
                   std::int32_t maxElementCount = INT32_MAX) override;

protected:
    TExifSection(TExifSectionOwner* owner, TExifSectionKindEx kind, bool extendable);

    // A new zero-filled tag at its sorted place. ETagAlreadyExists when the ID
    // is present, EIllegalEditOfExifData in a section that is not extendable.
    TExifTag& Add(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount);
    TExifTag& AddOrUpdate(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount,
                          const void* data = nullptr);
    // Runs `edit` inside the owner's update bracket (just runs it without owner).
    template <typename TEdit> void InUpdateBracket(TEdit&& edit);

private:
    friend class TExifTag;

    // Reports a change: Modified, and the owner's Changed for a container's section.
    void Changed();
    void DeleteTag(const TExifTag& tag);
    std::size_t IndexOf(const TExifTag& tag) const;
    // The place of the first tag with a larger ID (the end when none).
    std::size_t SortedInsertPosition(TTiffTagID id) const;
    void TagIDChanged(const TExifTag& tag);
    // The owner's details section, or null without owner.
    TExifSection* DetailsSection() const;
    template <typename T>
    TExifTag& SetElement(TTiffTagID id, std::int32_t index, TTiffDataType type, T value);
    template <typename TFraction>
    void SetFractionElement(TTiffTagID id, std::int32_t index, TTiffDataType type, TFraction value);

    std::int64_t FFirstTagHeaderOffset = 0;
    TExifSectionKindEx FKind;
    TMetadataLoadErrors FLoadErrors;
    bool FModified = false;
    TExifSectionOwner* FOwner;
    TTagList FTagList;
    bool FExtendable;
};

// A section that may gain tags, change tag IDs and grow tag data.
class TExtendableExifSection : public TExifSection {
public:
    TExtendableExifSection(TExifSectionOwner* owner, TExifSectionKindEx kind)
        : TExifSection(owner, kind, true) {}
    TExtendableExifSection(TExifSectionOwner* owner, TExifSectionKind kind)
        : TExtendableExifSection(owner, ToKindEx(kind)) {}

    using TExifSection::Add;
    // Finds or adds the tag, then gives it the type, count and (when given) data.
    using TExifSection::AddOrUpdate;
    // The data is what `source` saves, its last element padded with zero bytes.
    TExifTag& AddOrUpdate(TTiffTagID id, TTiffDataType dataType, IStreamPersist& source);
    // Replaces the tags by copies of the source's (none: just clears).
    void Assign(const TExifSection* source);
    void CopyTags(const TExifSection& section);
};

template <typename TEdit> void TExifSection::InUpdateBracket(TEdit&& edit) {
    if (FOwner == nullptr) {
        edit();
        return;
    }
    FOwner->BeginUpdate();
    try {
        edit();
    } catch (...) {
        FOwner->EndUpdate();
        throw;
    }
    FOwner->EndUpdate();
}

} // namespace Kestrix::Exif
