// IPTC IIM datasets and records.
#pragma once

#include "kestrix/BaseUtils.h"
#include "kestrix/PublishedProperties.h"
#include "kestrix/TiffUtils.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrix::Exif {

using TIPTCTagID = std::uint8_t;     // the dataset number, 0..255
using TIPTCSectionID = std::uint8_t; // the record number, 1..9

class TIPTCTagIDs {
public:
    TIPTCTagIDs() = default;
    TIPTCTagIDs(std::initializer_list<TIPTCTagID> ids);
    bool Contains(TIPTCTagID id) const { return FBits.test(id); }
    void Include(TIPTCTagID id) { FBits.set(id); }
    void Exclude(TIPTCTagID id) { FBits.reset(id); }
    bool Empty() const { return FBits.none(); }

private:
    std::bitset<256> FBits;
};

// The stored byte of each priority is the ASCII digit noted beside it.
enum class TIPTCPriority : std::uint8_t {
    ipTagMissing,
    ipLowest,      // "8"
    ipVeryLow,     // "7"
    ipLow,         // "6"
    ipNormal,      // "5"
    ipNormalHigh,  // "4"
    ipHigh,        // "3"
    ipVeryHigh,    // "2"
    ipHighest,     // "1"
    ipUserDefined, // "9"
    ipReserved     // "0"
};

// Values 5..99 are valid too; they have no names.
enum class TIPTCActionAdvised : std::uint8_t {
    iaTagMissing,
    iaObjectKill,
    iaObjectReplace,
    iaObjectAppend,
    iaObjectReference
};

// Datasets 1:0, 1:20, 1:22, 1:120, 1:122 and 2:0 hold big-endian binary numbers;
// every other dataset holds text.
bool IsNumericIPTCTag(TIPTCSectionID sectionID, TIPTCTagID tagID);

// What a record needs from the container that owns it.
class TIPTCSectionOwner {
public:
    // True when dataset text is UTF-8, false for the legacy (Windows-1252) code page.
    virtual bool GetUTF8Encoded() = 0;

protected:
    ~TIPTCSectionOwner() = default;
};

class TIPTCSection;

// One IIM dataset. Datasets made by a record belong to it; a dataset constructed
// directly stays detached and belongs to whoever made it.
class TIPTCTag {
public:
    enum class TChangeType { ctID, ctData };

    explicit TIPTCTag(TIPTCTagID id = 0) : FID(id) {}
    TIPTCTag(const TIPTCTag&) = delete;
    TIPTCTag& operator=(const TIPTCTag&) = delete;

    // Removes the dataset from its record and frees it; a detached dataset is left alone.
    void Delete();
    // A null source empties the bytes and keeps the number.
    void Assign(const TIPTCTag* source);
    void Changed(TChangeType type);

    TIPTCTagID GetID() const { return FID; }
    void SetID(TIPTCTagID id);
    // Null when the dataset holds no bytes.
    const std::uint8_t* GetData() const { return FData.empty() ? nullptr : FData.data(); }
    std::span<const std::uint8_t> GetBytes() const { return FData; }
    std::int32_t GetDataSize() const { return static_cast<std::int32_t>(FData.size()); }
    // Keeps the leading bytes; added bytes are zero. A negative size raises ERangeError.
    void SetDataSize(std::int32_t newDataSize);
    TIPTCSection* GetSection() const { return FSection; }
    // -1 when detached; setting it moves the dataset within its record.
    int GetIndex() const;
    void SetIndex(int newIndex);
    bool IsNumeric() const;

    // Overwrites the bytes, keeping the size. (Not an UpdateData overload: a byte
    // array would decay to it instead of taking the span form.)
    void UpdateDataInPlace(const void* buffer);
    void UpdateData(std::int32_t newDataSize, const void* buffer);
    void UpdateData(std::span<const std::uint8_t> bytes);
    // Reads `newDataSize` bytes from the stream's position. When the stream holds
    // fewer (or the size is negative) EReadError is raised before anything is
    // allocated and the dataset is unchanged.
    void UpdateData(std::int32_t newDataSize, TStream& source);

    // Decoded as UTF-8 when the owning container says so, else as Windows-1252
    // (also for a detached dataset or an ownerless record). Invalid UTF-8 decodes
    // to U+FFFD.
    std::string ReadString() const;
    // The bytes unchanged.
    std::string ReadUTF8String() const { return {FData.begin(), FData.end()}; }
    // Encodes UTF-8 text as ReadString decodes it; characters Windows-1252 lacks become '?'.
    void WriteString(std::string_view text);
    // Stores the bytes unchanged.
    void WriteRawString(std::string_view bytes);

    // Numeric datasets of 1, 2 or 4 bytes read as decimal numbers (unsigned byte,
    // unsigned word, signed long, big-endian); everything else as ReadString.
    std::string GetAsString() const;
    // Numeric datasets take an integer (EConvertError otherwise, dataset
    // unchanged) stored as a 2-byte big-endian word of its low 16 bits.
    void SetAsString(const std::string& value);

private:
    friend class TIPTCSection;

    void Resize(std::int32_t newDataSize);

    std::vector<std::uint8_t> FData;
    TIPTCTagID FID;
    TIPTCSection* FSection = nullptr;
};

// One IIM record: an ordered list of datasets that it owns.
class TIPTCSection {
    using TTagList = std::vector<std::unique_ptr<TIPTCTag>>;

public:
    // Yields the datasets in list order as references.
    class TEnumerator {
    public:
        using value_type = TIPTCTag;
        using difference_type = std::ptrdiff_t;
        TEnumerator() = default;
        explicit TEnumerator(TTagList::const_iterator at) : FAt(at) {}
        TIPTCTag& operator*() const { return **FAt; }
        TIPTCTag* operator->() const { return FAt->get(); }
        TEnumerator& operator++() {
            ++FAt;
            return *this;
        }
        TEnumerator operator++(int) {
            TEnumerator before = *this;
            ++FAt;
            return before;
        }
        bool operator==(const TEnumerator&) const = default;

    private:
        TTagList::const_iterator FAt;
    };

    // `id` is 1..9 (ERangeError otherwise); the owner may be null.
    TIPTCSection(TIPTCSectionOwner* owner, TIPTCSectionID id);
    ~TIPTCSection();
    TIPTCSection(const TIPTCSection&) = delete;
    TIPTCSection& operator=(const TIPTCSection&) = delete;

    TIPTCSectionID GetID() const { return FID; }
    TIPTCSectionOwner* GetOwner() const { return FOwner; }
    int Count() const { return static_cast<int>(FTags.size()); }
    // EListError outside 0..Count-1.
    TIPTCTag& GetTag(int index) const;
    bool GetModified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    // True only while the datasets are known to be in ascending number order.
    bool GetDefinitelySorted() const { return FDefinitelySorted; }
    // For a loader that has checked the order itself.
    void SetDefinitelySorted(bool value) { FDefinitelySorted = value; }
    TEnumerator begin() const { return TEnumerator(FTags.begin()); }
    TEnumerator end() const { return TEnumerator(FTags.end()); }

    // EListError when `index` is outside 0..Count.
    TIPTCTag& Insert(int index, TIPTCTagID id);
    TIPTCTag& Append(TIPTCTagID id) { return Insert(Count(), id); }
    // Dataset 0 goes to the end; any other lands after the last lower-numbered
    // dataset, so before existing datasets of the same number.
    TIPTCTag& Add(TIPTCTagID id);
    bool Find(TIPTCTagID id, TIPTCTag*& tag) const;
    TIPTCTag* Find(TIPTCTagID id) const;
    bool TagExists(TIPTCTagID id, std::int32_t minSize = 1) const;
    TIPTCTag& AddOrUpdate(TIPTCTagID id, std::span<const std::uint8_t> bytes);
    // Delete every matching dataset; the result is the smallest position
    // deleted, or -1 when none matched.
    int Remove(TIPTCTagID id);
    int Remove(const TIPTCTagIDs& ids);
    void Delete(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    // Stable: datasets of one number keep their relative order.
    void Sort();

    // Typed views. The first dataset of a number is the one Find yields; getters
    // never raise and return empty or missing values for absent or malformed data.
    std::string GetStringValue(TIPTCTagID id) const;
    // Empty text removes every dataset of that number.
    void SetStringValue(TIPTCTagID id, const std::string& value);
    TWordTagValue GetWordValue(TIPTCTagID id) const;
    void SetWordValue(TIPTCTagID id, TWordTagValue value);
    TIPTCPriority GetPriorityValue(TIPTCTagID id) const;
    void SetPriorityValue(TIPTCTagID id, TIPTCPriority value);
    // CCYYMMDD.
    TDateTimeTagValue GetDateValue(TIPTCTagID id) const;
    void SetDateValue(TIPTCTagID id, TDateTimeTagValue value);
    // A date dataset (CCYYMMDD) and a time dataset (HHMMSS+HHMM or HHMMSS-HHMM).
    // With `asUtc` the offset is taken off, across midnight if need be; a time
    // without a date is a time of day on day zero.
    TDateTimeTagValue GetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID,
                                       bool asUtc = false) const;
    void SetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID, TDateTimeTagValue value,
                          bool aheadOfUtc, std::uint8_t utcOffsetHrs, std::uint8_t utcOffsetMins);
    // Uses the local time zone's offset from UTC in force now.
    void SetDateTimeValue(TIPTCTagID dateID, TIPTCTagID timeID, TDateTimeTagValue value);
    std::vector<std::string> GetRepeatableValue(TIPTCTagID id) const;
    void GetRepeatableValue(TIPTCTagID id, std::vector<std::string>& dest,
                            bool clearDestFirst) const;
    // Replaces every dataset of that number, in order, where the first old one
    // was (or at the sorted place); an empty string gives a zero-length dataset.
    void SetRepeatableValue(TIPTCTagID id, std::span<const std::string> values);
    // One "key<separator>value" line per pair, the shorter side padded with empty text.
    void GetRepeatablePairs(TIPTCTagID keyID, TIPTCTagID valueID, std::vector<std::string>& dest,
                            bool clearDestFirst, char separator = '=') const;
    // Keys and values interleave; empty parts (and lines without the separator) add nothing.
    void SetRepeatablePairs(TIPTCTagID keyID, TIPTCTagID valueID,
                            std::span<const std::string> pairs, char separator = '=');

private:
    friend class TIPTCTag;

    int IndexOf(const TIPTCTag& tag) const;
    // The position after the last dataset numbered below `id`, or 0.
    int SortedInsertPosition(TIPTCTagID id) const;
    void InsertStrings(int position, TIPTCTagID id, std::span<const std::string> values);

    bool FDefinitelySorted = false;
    TIPTCSectionID FID;
    bool FModified = false;
    TIPTCSectionOwner* FOwner;
    TTagList FTags;
};

// ---------------------------------------------------------------------------
// The IIM byte format. Each dataset: 0x1C, record, dataset, the length word L
// (big-endian), extended length bytes, then the data. No terminator, no padding.

// The header of one IIM dataset.
struct TIPTCTagInfo {
    std::uint8_t SectionID = 0; // the record number, 1..9
    std::uint8_t TagID = 0;     // the dataset number
    std::int32_t DataSize = 0;
};

// Reads a dataset header: 0x1C, record 1..9, dataset, then the length word L
// (0..0x7FFF, or 0xFFFC/0xFFFE/0xFFFF followed by a 4-byte signed, 2- or 1-byte
// length; every other L with the top bit set is refused). On success the stream
// is left at the first data byte unless `alwaysResetPosition`; on failure it is
// put back. The length is not checked against the stream.
bool TryReadIIMHeader(TStream& stream, TIPTCTagInfo& info, bool alwaysResetPosition);

// TryReadIIMHeader (stream left at the data) that also refuses a length that is
// negative or larger than the bytes left. Loaders stop at the first refused
// header, so a truncated last dataset is dropped rather than padded or shortened.
bool TryReadIIMDatasetHeader(TStream& stream, TIPTCTagInfo& info);

// Lengths up to 0x7FFF take the 2-byte form, longer ones FF FC and 4 bytes.
void WriteIIMDataset(TStream& stream, TIPTCSectionID sectionID, TIPTCTagID tagID,
                     std::span<const std::uint8_t> data);
// Every dataset of the record in list order.
void WriteIIMDatasets(TStream& stream, const TIPTCSection& section);

// ---------------------------------------------------------------------------
// The IPTC container

// The dataset numbers of the records the container names.
namespace IPTCTags {
// Record 1, the envelope.
inline constexpr TIPTCTagID ModelVersion = 0;
inline constexpr TIPTCTagID Destination = 5;
inline constexpr TIPTCTagID FileFormat = 20;
inline constexpr TIPTCTagID FileFormatVersion = 22;
inline constexpr TIPTCTagID ServiceIdentifier = 30;
inline constexpr TIPTCTagID EnvelopeNumberString = 40;
inline constexpr TIPTCTagID ProductID = 50;
inline constexpr TIPTCTagID EnvelopePriority = 60;
inline constexpr TIPTCTagID DateSent = 70;
inline constexpr TIPTCTagID TimeSent = 80;
inline constexpr TIPTCTagID CodedCharacterSet = 90;
inline constexpr TIPTCTagID UNOCode = 100;
inline constexpr TIPTCTagID ARMIdentifier = 120;
inline constexpr TIPTCTagID ARMVersion = 122;
// Record 2, the application record.
inline constexpr TIPTCTagID RecordVersion = 0;
inline constexpr TIPTCTagID ObjectTypeRef = 3;
inline constexpr TIPTCTagID ObjectAttributeRef = 4;
inline constexpr TIPTCTagID ObjectName = 5;
inline constexpr TIPTCTagID EditStatus = 7;
inline constexpr TIPTCTagID Urgency = 10;
inline constexpr TIPTCTagID SubjectRef = 12;
inline constexpr TIPTCTagID CategoryCode = 15;
inline constexpr TIPTCTagID SupplementaryCategory = 20;
inline constexpr TIPTCTagID FixtureIdentifier = 22;
inline constexpr TIPTCTagID Keyword = 25;
inline constexpr TIPTCTagID ContentLocationCode = 26;
inline constexpr TIPTCTagID ContentLocationName = 27;
inline constexpr TIPTCTagID ReleaseDate = 30;
inline constexpr TIPTCTagID ExpirationDate = 37;
inline constexpr TIPTCTagID SpecialInstructions = 40;
inline constexpr TIPTCTagID ActionAdvised = 42;
inline constexpr TIPTCTagID DateCreated = 55;
inline constexpr TIPTCTagID TimeCreated = 60;
inline constexpr TIPTCTagID DigitalCreationDate = 62;
inline constexpr TIPTCTagID OriginatingProgram = 65;
inline constexpr TIPTCTagID ProgramVersion = 70;
inline constexpr TIPTCTagID ObjectCycleCode = 75;
inline constexpr TIPTCTagID Byline = 80;
inline constexpr TIPTCTagID BylineTitle = 85;
inline constexpr TIPTCTagID City = 90;
inline constexpr TIPTCTagID SubLocation = 92;
inline constexpr TIPTCTagID ProvinceOrState = 95;
inline constexpr TIPTCTagID CountryCode = 100;
inline constexpr TIPTCTagID CountryName = 101;
inline constexpr TIPTCTagID OriginalTransmissionRef = 103;
inline constexpr TIPTCTagID Headline = 105;
inline constexpr TIPTCTagID Credit = 110;
inline constexpr TIPTCTagID Source = 115;
inline constexpr TIPTCTagID CopyrightNotice = 116;
inline constexpr TIPTCTagID Contact = 118;
inline constexpr TIPTCTagID CaptionOrAbstract = 120;
inline constexpr TIPTCTagID WriterOrEditor = 122;
inline constexpr TIPTCTagID ImageTypeCode = 130;
inline constexpr TIPTCTagID LanguageIdentifier = 135;
inline constexpr TIPTCTagID AudioTypeCode = 150;
} // namespace IPTCTags

inline constexpr TIPTCSectionID IPTCEnvelopeRecord = 1;
inline constexpr TIPTCSectionID IPTCApplicationRecord = 2;
inline constexpr TIPTCSectionID IPTCFirstDescriptorRecord = 7;
inline constexpr TIPTCSectionID IPTCObjectDataRecord = 8;
inline constexpr TIPTCSectionID IPTCSecondDescriptorRecord = 9;

// Dataset 1:90 holding exactly these bytes (ESC % G) marks the text as UTF-8.
inline constexpr std::string_view IPTCUTF8Marker{"\x1B%G", 3};

// The IPTC of one image: nine records, the text encoding they use, and the
// load and save of the whole block in JPEG (APP13 resource 0x0404), PSD
// (resource 0x0404) and TIFF (tag 33723) files.
class TIPTCData final : public TPublishedObject<TIPTCData>,
                        public TIPTCSectionOwner,
                        public IStreamPersistEx {
public:
    // Yields records 1 to 9 in order.
    class TEnumerator {
    public:
        using value_type = TIPTCSection;
        using difference_type = std::ptrdiff_t;
        TEnumerator() = default;
        TEnumerator(const TIPTCData* source, int currentID)
            : FSource(source), FCurrentID(currentID) {}
        TIPTCSection& operator*() const;
        TIPTCSection* operator->() const { return &**this; }
        TEnumerator& operator++() {
            ++FCurrentID;
            return *this;
        }
        TEnumerator operator++(int) {
            TEnumerator before = *this;
            ++FCurrentID;
            return before;
        }
        bool operator==(const TEnumerator&) const = default;

    private:
        const TIPTCData* FSource = nullptr;
        int FCurrentID = 1;
    };

    // Empty, with UTF8Encoded set.
    TIPTCData();
    ~TIPTCData() override;
    TIPTCData(const TIPTCData&) = delete;
    TIPTCData& operator=(const TIPTCData&) = delete;

    // The table behind the by-name access of IPublishedObject.
    static const TPublishedProperties<TIPTCData>& PublishedProperties();

    // Empties the load errors, drops deferred data and clears every record;
    // UTF8Encoded stays as it is.
    void Clear();
    // False while deferred data is pending; else true when no record holds a dataset.
    bool Empty() const override;
    // False while deferred data is pending; else true when any record is modified.
    bool GetModified() const;
    // Completes any deferred load, then sets every record's flag.
    void SetModified(bool value);
    TMetadataLoadErrors GetLoadErrors() const { return FLoadErrors; }
    void SetLoadErrors(TMetadataLoadErrors value) { FLoadErrors = value; }

    // Raw IIM bytes parsed on first use, and written back unparsed when never used.
    const std::shared_ptr<IMetadataBlock>& GetDataToLazyLoad() const { return FDataToLazyLoad; }
    // A different block clears the container first.
    void SetDataToLazyLoad(std::shared_ptr<IMetadataBlock> value);

    // True when dataset text is UTF-8 (completes any deferred load).
    bool GetUTF8Encoded() override;
    // Re-encodes every text dataset when the value changes.
    void SetUTF8Encoded(bool value);
    // Loaded text is taken as UTF-8 even without the 1:90 marker.
    bool GetAlwaysAssumeUTF8Encoding() const { return FAlwaysAssumeUTF8Encoding; }
    void SetAlwaysAssumeUTF8Encoding(bool value) { FAlwaysAssumeUTF8Encoding = value; }

    // Records 1..9 (ERangeError otherwise); each completes any deferred load.
    TIPTCSection& GetSection(TIPTCSectionID id) const;
    TIPTCSection& GetEnvelopeSection() const { return GetSection(IPTCEnvelopeRecord); }
    TIPTCSection& GetApplicationSection() const { return GetSection(IPTCApplicationRecord); }
    TIPTCSection& GetFirstDescriptorSection() const {
        return GetSection(IPTCFirstDescriptorRecord);
    }
    TIPTCSection& GetObjectDataSection() const { return GetSection(IPTCObjectDataRecord); }
    TIPTCSection& GetSecondDescriptorSection() const {
        return GetSection(IPTCSecondDescriptorRecord);
    }
    // Complete any deferred load.
    TEnumerator begin() const;
    TEnumerator end() const { return TEnumerator(this, IPTCSecondDescriptorRecord + 1); }

    // Replaces the content with the datasets read from the stream's position.
    void LoadFromStream(TStream& stream) override;
    // Appends the datasets read from the stream's position; reading stops
    // quietly at the first bytes that are no valid dataset header.
    void AddFromStream(TStream& stream);
    // The datasets of records 1..9 in list order (deferred data unparsed);
    // adds or removes the 1:90 marker to match UTF8Encoded.
    void SaveToStream(TStream& stream) override;

    // From a JPEG, PSD or TIFF image at the stream's position; false (and
    // cleared) for any other format. A recognised file without IPTC loads empty.
    bool LoadFromGraphic(TStream& stream);
    bool LoadFromGraphic(const std::string& fileName);
    bool LoadFromGraphic(IStreamPersist& graphic);
    // Rewrites the image with this IPTC; EUnsupportedGraphicFormat for any
    // other format, the file then left unchanged.
    void SaveToGraphic(const std::string& fileName);
    void SaveToGraphic(IStreamPersist& graphic);

    // Sorts every record by dataset number (stable).
    void SortTags();
    // Copies the records (or shares the deferred block) of `source`; null clears.
    void Assign(const TIPTCData* source);

    // Supplies tag 33723 to the TIFF rewriter and drops the old one.
    ITiffRewriteCallback& GetTiffRewriteCallback() const { return *FTiffRewriteCallback; }

    // Typed access to the first dataset of a number (see TIPTCSection); every
    // accessor completes any deferred load first.
    std::string GetStringValue(TIPTCSectionID section, TIPTCTagID id) const;
    void SetStringValue(TIPTCSectionID section, TIPTCTagID id, const std::string& value);
    std::vector<std::string> GetRepeatableValue(TIPTCSectionID section, TIPTCTagID id) const;
    void SetRepeatableValue(TIPTCSectionID section, TIPTCTagID id,
                            std::span<const std::string> values);
    TWordTagValue GetWordValue(TIPTCSectionID section, TIPTCTagID id) const;
    void SetWordValue(TIPTCSectionID section, TIPTCTagID id, TWordTagValue value);
    TDateTimeTagValue GetDateValue(TIPTCSectionID section, TIPTCTagID id) const;
    void SetDateValue(TIPTCSectionID section, TIPTCTagID id, TDateTimeTagValue value);
    TIPTCPriority GetPriorityValue(TIPTCSectionID section, TIPTCTagID id) const;
    void SetPriorityValue(TIPTCSectionID section, TIPTCTagID id, TIPTCPriority value);

    // 1:70 + 1:80 and 2:55 + 2:60, read without taking the offset off; the
    // setters without offset use the local time zone's offset in force now.
    TDateTimeTagValue GetDateTimeSent() const;
    void SetDateTimeSent(TDateTimeTagValue value);
    void SetDateTimeSent(TDateTimeTagValue value, bool aheadOfUtc, std::uint8_t utcOffsetHrs,
                         std::uint8_t utcOffsetMins);
    TDateTimeTagValue GetDateTimeCreated() const;
    void SetDateTimeCreated(TDateTimeTagValue value);
    void SetDateTimeCreated(TDateTimeTagValue value, bool aheadOfUtc, std::uint8_t utcOffsetHrs,
                            std::uint8_t utcOffsetMins);

    // 2:42 as a number: 1..99 (the named members cover 1..4), else iaTagMissing.
    TIPTCActionAdvised GetActionAdvised() const;
    // iaTagMissing removes 2:42; anything else is written as two digits.
    void SetActionAdvised(TIPTCActionAdvised value);

    // Keywords (2:25), `dest` cleared first.
    void GetKeywords(std::vector<std::string>& dest) const;
    void SetKeywords(std::span<const std::string> newWords);
    // "code=name" lines of 2:26 and 2:27.
    void GetContentLocationValues(std::vector<std::string>& strings, char separator = '=') const;
    void SetContentLocationValues(std::span<const std::string> strings, char separator = '=');
    // "byline=title" lines of 2:80 and 2:85; the PSCreator forms are the same.
    void GetBylineValues(std::vector<std::string>& strings, char separator = '=') const;
    void SetBylineValues(std::span<const std::string> strings, char separator = '=');
    void GetPSCreatorValues(std::vector<std::string>& strings, char separator = '=') const {
        GetBylineValues(strings, separator);
    }
    void SetPSCreatorValues(std::span<const std::string> strings, char separator = '=') {
        SetBylineValues(strings, separator);
    }

private:
    // Parsing deferred data changes no value a reader can see, so const
    // readers may run it.
    void CompleteDeferredLoad() const;
    TIPTCData& Self() const { return const_cast<TIPTCData&>(*this); }

    bool FAlwaysAssumeUTF8Encoding = false;
    mutable std::shared_ptr<IMetadataBlock> FDataToLazyLoad;
    TMetadataLoadErrors FLoadErrors;
    std::array<std::unique_ptr<TIPTCSection>, 9> FSections;
    std::unique_ptr<ITiffRewriteCallback> FTiffRewriteCallback;
    bool FUTF8Encoded = true;
};

} // namespace Kestrix::Exif
