// The library's base: its exception tree, the missing-aware tag value types and
// small byte helpers.
#pragma once

#include "kestrix/Consts.h"
#include "kestrix/Platform.h"
#include "kestrix/StreamHelper.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace Kestrix::Exif {

// ---------------------------------------------------------------------------
// Exceptions

class EKestrixExifException : public Exception {
public:
    using Exception::Exception;
};

// Declares a library exception whose default message is a fixed constant.
#define KESTRIX_EXCEPTION(Name, Parent, DefaultMessage)                                            \
    class Name : public Parent {                                                                   \
    public:                                                                                        \
        Name() : Parent(DefaultMessage) {}                                                         \
        using Parent::Parent;                                                                      \
    }

KESTRIX_EXCEPTION(EUnsupportedGraphicFormat, EKestrixExifException,
                  Consts::SUnsupportedGraphicFormat);
KESTRIX_EXCEPTION(EInvalidJPEGHeader, EKestrixExifException, Consts::SInvalidJPEGHeader);
KESTRIX_EXCEPTION(EJPEGSegmentTooLarge, EKestrixExifException, Consts::SJPEGSegmentTooLarge);
KESTRIX_EXCEPTION(EInvalidPSDHeader, EKestrixExifException, Consts::SInvalidPSDHeader);
KESTRIX_EXCEPTION(EInvalidTiffData, EKestrixExifException, Consts::SInvalidTiffData);
KESTRIX_EXCEPTION(ENotOnlyASCIIError, EInvalidTiffData, Consts::SNotOnlyASCIIError);
KESTRIX_EXCEPTION(EInvalidMakerNoteFormat, EInvalidTiffData, Consts::SInvalidMakerNoteFormat);

class ETagAlreadyExists : public EInvalidTiffData {
public:
    // "Tag with ID of "%d" already exists in section"
    explicit ETagAlreadyExists(int tagID);
};

class EExifDataPatcherError : public EKestrixExifException {
public:
    using EKestrixExifException::EKestrixExifException;
};
KESTRIX_EXCEPTION(EIllegalEditOfExifData, EExifDataPatcherError, Consts::SIllegalEditOfExifData);

// The two XMP errors stand outside the library tree.
KESTRIX_EXCEPTION(EInvalidXMPPacket, Exception, Consts::SInvalidXMPPacket);
class EInvalidXMPOperation : public EInvalidOperation {
public:
    using EInvalidOperation::EInvalidOperation;
};

#undef KESTRIX_EXCEPTION

// ---------------------------------------------------------------------------
// Tag value types: a number or a date with a missing-or-invalid state.

struct TDateTimeTagValue {
    static constexpr TDateTime MissingValue = -700000.0;
    // Anything before 1 January 0001 counts as missing.
    static constexpr TDateTime FirstValidValue = -693593.0;

    TDateTime FValue = MissingValue;

    constexpr TDateTimeTagValue() = default;
    constexpr TDateTimeTagValue(TDateTime value) : FValue(value) {}
    static TDateTimeTagValue CreateFromString(std::string_view text);
    static constexpr TDateTimeTagValue CreateMissingOrInvalid() { return {}; }
    constexpr bool MissingOrInvalid() const { return FValue < FirstValidValue; }
    constexpr explicit operator TDateTime() const { return FValue; }

    friend constexpr bool operator==(TDateTimeTagValue a, TDateTimeTagValue b) {
        return a.MissingOrInvalid() ? b.MissingOrInvalid() : a.FValue == b.FValue;
    }
    friend constexpr bool operator<(TDateTimeTagValue a, TDateTimeTagValue b) {
        return !a.MissingOrInvalid() && !b.MissingOrInvalid() && a.FValue < b.FValue;
    }
    friend constexpr bool operator<=(TDateTimeTagValue a, TDateTimeTagValue b) {
        return BothMissing(a, b) ||
               (!a.MissingOrInvalid() && !b.MissingOrInvalid() && a.FValue <= b.FValue);
    }
    friend constexpr bool operator>(TDateTimeTagValue a, TDateTimeTagValue b) { return b < a; }
    friend constexpr bool operator>=(TDateTimeTagValue a, TDateTimeTagValue b) { return b <= a; }

private:
    static constexpr bool BothMissing(TDateTimeTagValue a, TDateTimeTagValue b) {
        return a.MissingOrInvalid() && b.MissingOrInvalid();
    }
};

// The shared shape of the three integer types. Equality compares value and
// flag; the orderings hold only between two valid values, and <=, >= also hold
// between two missing ones.
template <typename T, typename Derived> struct TIntegerTagValue {
    T FValue = 0;
    bool FMissingOrInvalid = true;

    constexpr TIntegerTagValue() = default;
    constexpr TIntegerTagValue(T value) : FValue(value), FMissingOrInvalid(false) {}
    static constexpr Derived CreateMissingOrInvalid() { return Derived(); }
    constexpr bool MissingOrInvalid() const { return FMissingOrInvalid; }

    friend constexpr bool operator==(const Derived& a, const Derived& b) {
        return a.FValue == b.FValue && a.FMissingOrInvalid == b.FMissingOrInvalid;
    }
    friend constexpr bool operator<(const Derived& a, const Derived& b) {
        return BothValid(a, b) && a.FValue < b.FValue;
    }
    friend constexpr bool operator<=(const Derived& a, const Derived& b) {
        return BothMissing(a, b) || (BothValid(a, b) && a.FValue <= b.FValue);
    }
    friend constexpr bool operator>(const Derived& a, const Derived& b) { return b < a; }
    friend constexpr bool operator>=(const Derived& a, const Derived& b) { return b <= a; }

private:
    static constexpr bool BothValid(const Derived& a, const Derived& b) {
        return !a.FMissingOrInvalid && !b.FMissingOrInvalid;
    }
    static constexpr bool BothMissing(const Derived& a, const Derived& b) {
        return a.FMissingOrInvalid && b.FMissingOrInvalid;
    }
};

struct TLongIntTagValue : TIntegerTagValue<std::int32_t, TLongIntTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TLongIntTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::int32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    // A missing value stays missing.
    constexpr TLongIntTagValue operator-() const {
        return FMissingOrInvalid ? *this
                                 : TLongIntTagValue(static_cast<std::int32_t>(
                                       -static_cast<std::int64_t>(FValue)));
    }
};

struct TLongWordTagValue : TIntegerTagValue<std::uint32_t, TLongWordTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TLongWordTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::uint32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    constexpr explicit operator std::uint64_t() const { return FValue; }
};

struct TWordTagValue : TIntegerTagValue<std::uint16_t, TWordTagValue> {
    using TIntegerTagValue::TIntegerTagValue;
    static TWordTagValue CreateFromString(std::string_view text);
    constexpr explicit operator std::uint16_t() const { return FValue; }
    constexpr explicit operator std::int32_t() const { return FValue; }
    constexpr explicit operator std::int64_t() const { return FValue; }
    constexpr explicit operator std::uint64_t() const { return FValue; }
    // Widening keeps the state.
    constexpr operator TLongIntTagValue() const {
        return FMissingOrInvalid ? TLongIntTagValue() : TLongIntTagValue(FValue);
    }
    constexpr operator TLongWordTagValue() const {
        return FMissingOrInvalid ? TLongWordTagValue() : TLongWordTagValue(FValue);
    }
};

// ---------------------------------------------------------------------------
// Byte helpers

// Invalid UTF-8 decodes to U+FFFD.
std::string UTF8BytesToText(const void* buffer, std::size_t count);
// Two uppercase hexadecimal digits a byte, no separators.
std::string BytesToHex(const void* buffer, std::size_t count);

// ---------------------------------------------------------------------------
// Metadata blocks and JPEG segments

class IAdobeResBlock;           // Adobe image resources, declared with their reader
class IAdobeResBlockEnumerator; //

enum class TStreamOwnership { soReference, soOwned };

// An object that can load itself from a stream and save itself into one, and
// tell whether it holds anything to save.
class IStreamPersistEx : public IStreamPersist {
public:
    virtual bool Empty() const = 0;
};

// JPEG marker bytes used by name.
inline constexpr std::uint8_t jmSOI = 0xD8;
inline constexpr std::uint8_t jmEOI = 0xD9;
inline constexpr std::uint8_t jmSOS = 0xDA;
inline constexpr std::uint8_t jmApp0 = 0xE0;
inline constexpr std::uint8_t jmApp1 = 0xE1;
inline constexpr std::uint8_t jmApp13 = 0xED;

// Signatures of the blocks (all byte exact).
inline constexpr std::string_view JPEGFileHeader{"\xFF\xD8", 2};
inline constexpr std::string_view ExifHeader{"Exif\0\0", 6};
inline constexpr std::string_view XMPHeader{"http://ns.adobe.com/xap/1.0/\0", 29};
inline constexpr std::string_view XMPPacketStart{"<?xpacket ", 10};
inline constexpr std::string_view AdobeApp13Header{"Photoshop 3.0\0", 14};
inline constexpr std::string_view AdobeApp13LegacyHeader{"Adobe_Photoshop2.5:", 19};

// The most data one segment can carry: its length word counts itself too.
inline constexpr std::int64_t MaxJPEGSegmentDataSize = 65533;
// Images from this size up are rewritten through a temporary file, not memory.
inline constexpr std::int64_t InMemoryRewriteLimit = 0xFFFFFF;

// A marker that stands alone has neither a length nor data.
constexpr bool IsStandAloneJPEGMarker(std::uint8_t marker) {
    return marker <= 0x01 || (marker >= 0xD0 && marker <= 0xD9);
}

// A set of marker bytes.
class TJPEGMarkers {
public:
    constexpr TJPEGMarkers() = default;
    constexpr TJPEGMarkers(std::initializer_list<std::uint8_t> markers) {
        for (const std::uint8_t marker : markers) {
            Include(marker);
        }
    }
    static constexpr TJPEGMarkers All() {
        TJPEGMarkers result;
        for (auto& word : result.FBits) {
            word = ~std::uint64_t{0};
        }
        return result;
    }
    constexpr bool Contains(std::uint8_t marker) const {
        return (FBits[marker >> 6] >> (marker & 63)) & 1;
    }
    constexpr void Include(std::uint8_t marker) { FBits[marker >> 6] |= Bit(marker); }
    constexpr void Exclude(std::uint8_t marker) { FBits[marker >> 6] &= ~Bit(marker); }
    constexpr bool Empty() const {
        return std::all_of(FBits.begin(), FBits.end(), [](std::uint64_t w) { return w == 0; });
    }
    friend constexpr bool operator==(const TJPEGMarkers&, const TJPEGMarkers&) = default;

private:
    static constexpr std::uint64_t Bit(std::uint8_t marker) {
        return std::uint64_t{1} << (marker & 63);
    }
    std::array<std::uint64_t, 4> FBits{};
};

// The data of a metadata block: a memory stream that can be frozen. While
// frozen, every write, resize or reload raises EStreamError "Stream is read-only".
class TMetadataDataStream : public TMemoryStream {
public:
    bool GetDisableChanges() const { return FDisableChanges; }
    void SetDisableChanges(bool value) { FDisableChanges = value; }

    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t newSize) override;
    void Clear();
    void LoadFromStream(TStream& source);

private:
    void CheckChangesAllowed() const;
    bool FDisableChanges = false;
};

// A run of bytes that may carry Exif, IPTC or XMP data. With `checkID` set, a
// test also requires the block's own identifier (marker, resource ID) to fit.
class IMetadataBlock {
public:
    virtual ~IMetadataBlock() = default;
    virtual TMetadataDataStream& GetData() = 0;
    virtual bool IsExifBlock(bool checkID = true) = 0;
    virtual bool IsIPTCBlock(bool checkID = true) = 0;
    virtual bool IsXMPBlock(bool checkID = true) = 0;
};

class TMetadataBlock : public virtual IMetadataBlock {
public:
    using TDataStream = TMetadataDataStream;

    TMetadataBlock() = default;
    // The data is what `dataSource` saves (nothing when it is null).
    explicit TMetadataBlock(IStreamPersist* dataSource);
    // The data is `bytesToRead` bytes from the stream's position (none for <= 0);
    // a short read raises EReadError.
    TMetadataBlock(TStream& dataSource, std::int64_t bytesToRead);
    ~TMetadataBlock() override;
    TMetadataBlock(const TMetadataBlock&) = delete;
    TMetadataBlock& operator=(const TMetadataBlock&) = delete;

    TDataStream& GetData() override { return FData; }
    const TDataStream& GetData() const { return FData; }
    bool IsExifBlock(bool checkID = true) override;
    bool IsIPTCBlock(bool checkID = true) override;
    bool IsXMPBlock(bool checkID = true) override;

protected:
    // Whether the block's identifier marks it as a carrier of that kind of data.
    virtual bool HasExifBlockID() const { return false; }
    virtual bool HasIPTCBlockID() const { return false; }
    virtual bool HasXMPBlockID() const { return false; }

private:
    TDataStream FData;
};

// A JPEG marker segment: FF, the marker, then (unless the marker stands alone) a
// big-endian length word counting itself and the data, then the data.
class IJPEGSegment : public virtual IMetadataBlock {
public:
    // The Adobe resource blocks of an APP13 segment; none for any other segment.
    virtual std::shared_ptr<IAdobeResBlockEnumerator> GetEnumerator() = 0;
    virtual std::uint8_t GetMarkerNum() const = 0;
    virtual bool IsAdobeApp13() = 0;
};

// A segment found in a stream by the scanner.
class IFoundJPEGSegment : public virtual IJPEGSegment {
public:
    // The offset of the FF byte just before the marker byte.
    virtual std::int64_t GetOffset() const = 0;
    virtual std::int64_t GetOffsetOfData() const = 0;
    // Marker, length word and data: the bytes the segment takes in the stream.
    virtual std::int64_t GetTotalSize() const = 0;
};

// A segment built in memory.
class TUserJPEGSegment : public TMetadataBlock,
                         public virtual IJPEGSegment,
                         public IStreamPersistEx,
                         // Lets the enumerator of its Adobe blocks keep it alive.
                         public std::enable_shared_from_this<TUserJPEGSegment> {
public:
    explicit TUserJPEGSegment(std::uint8_t markerNum = 0, IStreamPersist* source = nullptr);

    std::shared_ptr<IAdobeResBlockEnumerator> GetEnumerator() override;
    std::uint8_t GetMarkerNum() const override { return FMarkerNum; }
    bool IsAdobeApp13() override;
    // Only an Adobe APP13 segment can be an IPTC block: one of its resource
    // blocks must be.
    bool IsIPTCBlock(bool checkID = true) override;

    // Reads a whole segment from its first FF byte; raises EReadError when the
    // length or the data is cut short (the data is then empty).
    void LoadFromStream(TStream& stream) override;
    // Raises EJPEGSegmentTooLarge when the data does not fit one segment.
    void SaveToStream(TStream& stream) override;
    bool Empty() const override;

protected:
    bool HasExifBlockID() const override { return FMarkerNum == jmApp1; }
    bool HasIPTCBlockID() const override { return FMarkerNum == jmApp13; }
    bool HasXMPBlockID() const override { return FMarkerNum == jmApp1; }
    std::int32_t GetAdobeHeaderSize() const { return FAdobeHeaderSize; }

private:
    std::uint8_t FMarkerNum;
    std::int32_t FAdobeHeaderSize = 0;
};

class TFoundJPEGSegment : public TUserJPEGSegment, public virtual IFoundJPEGSegment {
public:
    // `source` stands just after the segment's length word (just after the
    // marker for a marker that stands alone); `dataSize` bytes are read from it.
    TFoundJPEGSegment(std::uint8_t markerNum, TStream& source, std::int32_t dataSize);

    std::int64_t GetOffset() const override { return FOffset; }
    std::int64_t GetOffsetOfData() const override { return FOffset + 4; }
    std::int64_t GetTotalSize() const override;

private:
    std::int64_t FOffset;
};

class IJPEGHeaderParser;

// Walks a scanner with range-for: `for (const auto& segment : parser)`.
class TJPEGSegmentIterator {
public:
    using value_type = std::shared_ptr<IFoundJPEGSegment>;
    using difference_type = std::ptrdiff_t;

    TJPEGSegmentIterator() = default;
    explicit TJPEGSegmentIterator(IJPEGHeaderParser& parser);
    const value_type& operator*() const { return FCurrent; }
    TJPEGSegmentIterator& operator++();
    void operator++(int) { ++*this; }
    friend bool operator==(const TJPEGSegmentIterator& it, std::default_sentinel_t) {
        return it.FCurrent == nullptr;
    }

private:
    IJPEGHeaderParser* FParser = nullptr;
    value_type FCurrent;
};

// The scanner: yields the segments whose markers it looks for, in file order.
class IJPEGHeaderParser {
public:
    virtual ~IJPEGHeaderParser() = default;
    virtual std::shared_ptr<IFoundJPEGSegment> GetCurrent() const = 0;
    virtual IJPEGHeaderParser& GetEnumerator() { return *this; }
    virtual bool MoveNext() = 0;

    TJPEGSegmentIterator begin() { return TJPEGSegmentIterator(*this); }
    std::default_sentinel_t end() const { return {}; }
};

// Range-for straight over the scanner a function returns.
inline TJPEGSegmentIterator begin(const std::shared_ptr<IJPEGHeaderParser>& parser) {
    return parser->begin();
}
inline std::default_sentinel_t end(const std::shared_ptr<IJPEGHeaderParser>&) {
    return {};
}

class TJPEGHeaderParser : public IJPEGHeaderParser {
public:
    // Both read the SOI at the stream's position: EReadError when fewer than two
    // bytes are there, EInvalidJPEGHeader when they are not FF D8.
    TJPEGHeaderParser(TStream& stream, const TJPEGMarkers& markersToLookFor);
    TJPEGHeaderParser(std::shared_ptr<TStream> ownedStream, const TJPEGMarkers& markersToLookFor);

    std::shared_ptr<IFoundJPEGSegment> GetCurrent() const override { return FCurrent; }
    bool MoveNext() override;

private:
    void ReadStart();
    bool FindEndOfImage();
    void ReleaseStream();

    std::shared_ptr<IFoundJPEGSegment> FCurrent;
    std::uint8_t FLastMarker = 0;
    TJPEGMarkers FMarkersToLookFor;
    std::int64_t FSavedPos = 0;
    std::int64_t FStartPos = 0;
    TStream* FStream;
    std::shared_ptr<TStream> FOwnedStream;
    TStreamOwnership FStreamOwnership;
};

std::shared_ptr<IJPEGHeaderParser> ParseJPEGSegments(TStream& stream,
                                                     const TJPEGMarkers& markersToLookFor);
std::shared_ptr<IJPEGHeaderParser> ParseJPEGSegments(std::shared_ptr<TStream> ownedStream,
                                                     const TJPEGMarkers& markersToLookFor);

// True when the next two bytes are FF D8; the position is unchanged.
bool IsJPEGStream(TStream& stream);
// The bytes from the position through the end of the EOI marker (the rest of
// the stream when there is no EOI); the position is unchanged.
std::int64_t GetJPEGImageSize(TStream& stream);

// The segment writers refuse data longer than MaxJPEGSegmentDataSize with
// EJPEGSegmentTooLarge before writing anything.
void WriteJPEGStart(TStream& stream);
void WriteJPEGSegment(TStream& stream, std::uint8_t marker, std::span<const std::uint8_t> data);
// A count of 0 writes the whole data stream from its start; otherwise `count`
// bytes from its position, which advances by them.
void WriteJPEGSegment(TStream& stream, std::uint8_t marker, TStream& data, std::int64_t count = 0);
void WriteJPEGSegment(TStream& stream, IJPEGSegment& segment);

// Writes SOI, every APP0 segment, the new Exif APP1, the new XMP APP1, then the
// rest of the input without its first Exif and first XMP APP1 segments. A null
// source keeps the segment already there; an Empty one drops it.
void ReplaceJPEGApp1Blocks(TStream& input, TStream& output, IStreamPersistEx* exifSource,
                           IStreamPersistEx* xmpSource);

// Reads the current image from `input` and writes the updated image to `output`.
using TGraphicWriter = std::function<void(TStream& input, TStream& output)>;
// Picks the writer for the image in `stream` (at position 0); an empty writer
// means the format is not supported.
using TGraphicWriterSelector = std::function<TGraphicWriter(TStream& stream)>;

// Runs the writer into a temporary copy, then copies it over the stream; a
// failure before that leaves the stream unchanged. No writer raises
// EUnsupportedGraphicFormat.
void RewriteStreamInPlace(TStream& stream, const TGraphicWriterSelector& selectWriter);
// Writes the new image to a temporary file beside the original and renames it
// over the original; falls back to copying over the file when the folder takes
// no new file or the file has further hard links.
void RewriteFileInPlace(const std::string& fileName, const TGraphicWriterSelector& selectWriter);
void RewritePersistInPlace(IStreamPersist& object, const TGraphicWriterSelector& selectWriter);

// ---------------------------------------------------------------------------
// Adobe image resources and PSD files

// Resource IDs of the blocks that carry metadata.
inline constexpr std::uint16_t AdobeResIPTC = 0x0404; // 1028: IIM datasets
inline constexpr std::uint16_t AdobeResExif = 0x0422; // 1058: a TIFF structure
inline constexpr std::uint16_t AdobeResXMP = 0x0424;  // 1060: an XMP packet

inline constexpr std::string_view AdobeResBlockSignature{"8BIM", 4};
// "8BPS", version 1, six reserved zero bytes.
inline constexpr std::string_view PSDHeaderPrefix{"8BPS\0\1\0\0\0\0\0\0", 12};
// The smallest block: signature, ID, empty name with its pad byte, data size.
inline constexpr std::int64_t MinAdobeResBlockSize = 12;

// One image resource block. Layout, big-endian:
//   4  signature ("8BIM" when written by the library)
//   2  resource (type) ID
//   1  name length L, then L name bytes, then a zero byte when L is even
//   4  data size N (signed, never negative), then N data bytes, then a zero
//      byte when N is odd
class IAdobeResBlock : public virtual IMetadataBlock, public IStreamPersist {
public:
    // Always 4 bytes.
    virtual std::string GetSignature() const = 0;
    virtual void SetSignature(std::string_view value) = 0;
    virtual std::uint16_t GetTypeID() const = 0;
    virtual void SetTypeID(std::uint16_t value) = 0;
    // The name's bytes as stored (8-bit, not converted).
    virtual std::string GetName() const = 0;
    virtual void SetName(std::string_view value) = 0;
    // The bytes SaveToStream writes.
    virtual std::int64_t GetTotalSize() const = 0;
    // False when the last load ran out of bytes before the block ended.
    virtual bool GetLoadedCleanly() const = 0;
};

class TAdobeBlock : public TMetadataBlock, public virtual IAdobeResBlock {
public:
    // An empty block: signature 00 20 20 20, ID 0, no name, no data.
    TAdobeBlock();
    explicit TAdobeBlock(TStream& stream);
    // The data is what `dataSource` saves (nothing when it is null).
    TAdobeBlock(std::string_view signature, std::uint16_t typeID, std::string_view name,
                IStreamPersist* dataSource);

    std::string GetSignature() const override { return FSignature; }
    // The first 4 bytes; a shorter text gets one zero byte, then spaces.
    void SetSignature(std::string_view value) override;
    std::uint16_t GetTypeID() const override { return FTypeID; }
    void SetTypeID(std::uint16_t value) override { FTypeID = value; }
    std::string GetName() const override { return FName; }
    void SetName(std::string_view value) override { FName = value; }
    std::int64_t GetTotalSize() const override;
    bool GetLoadedCleanly() const override { return FLoadedCleanly; }

    // Reads one block; a block cut short raises nothing: it keeps what was read
    // completely, LoadedCleanly stays false and the stream stands after the
    // last part read in full.
    void LoadFromStream(TStream& stream) override;
    // As above, but no part of the block is read from at or beyond `endPos`.
    void LoadFromStream(TStream& stream, std::int64_t endPos);
    // Names longer than 255 bytes are cut to their first 255.
    void SaveToStream(TStream& stream) override;

protected:
    bool HasExifBlockID() const override { return FTypeID == AdobeResExif; }
    bool HasIPTCBlockID() const override { return FTypeID == AdobeResIPTC; }
    bool HasXMPBlockID() const override { return FTypeID == AdobeResXMP; }

private:
    void Reset();
    bool FLoadedCleanly = false;
    std::string FSignature;
    std::uint16_t FTypeID = 0;
    std::string FName;
};

class IAdobeResBlockEnumerator;

// Walks an enumerator with range-for.
class TAdobeResBlockIterator {
public:
    using value_type = std::shared_ptr<IAdobeResBlock>;
    using difference_type = std::ptrdiff_t;

    TAdobeResBlockIterator() = default;
    explicit TAdobeResBlockIterator(IAdobeResBlockEnumerator& enumerator);
    const value_type& operator*() const { return FCurrent; }
    TAdobeResBlockIterator& operator++();
    void operator++(int) { ++*this; }
    friend bool operator==(const TAdobeResBlockIterator& it, std::default_sentinel_t) {
        return it.FCurrent == nullptr;
    }

private:
    IAdobeResBlockEnumerator* FEnumerator = nullptr;
    value_type FCurrent;
};

// Yields the blocks of a run one after another; each is a fresh copy that the
// caller may keep.
class IAdobeResBlockEnumerator {
public:
    virtual ~IAdobeResBlockEnumerator() = default;
    virtual std::shared_ptr<IAdobeResBlock> GetCurrent() const = 0;
    virtual bool MoveNext() = 0;

    TAdobeResBlockIterator begin() { return TAdobeResBlockIterator(*this); }
    std::default_sentinel_t end() const { return {}; }
};

inline TAdobeResBlockIterator begin(const std::shared_ptr<IAdobeResBlockEnumerator>& blocks) {
    return blocks->begin();
}
inline std::default_sentinel_t end(const std::shared_ptr<IAdobeResBlockEnumerator>&) {
    return {};
}

class TAdobeResBlockEnumerator : public virtual IAdobeResBlockEnumerator {
public:
    // The run goes from the stream's position to its end. `keepAlive` holds
    // whatever owns the stream's bytes for as long as the enumerator lives.
    explicit TAdobeResBlockEnumerator(TStream& stream, std::shared_ptr<const void> keepAlive = {});
    explicit TAdobeResBlockEnumerator(std::shared_ptr<TStream> ownedStream);

    std::shared_ptr<IAdobeResBlock> GetCurrent() const override { return FCurrent; }
    // A block cut short is the last one yielded.
    bool MoveNext() override;

protected:
    TStream* GetStream() const { return FStream; }
    void SetRun(std::int64_t nextPos, std::int64_t posTooFar);

private:
    void ReleaseStream();

    std::shared_ptr<IAdobeResBlock> FCurrent;
    std::int64_t FNextPos = 0;
    std::int64_t FPosTooFar = 0;
    TStream* FStream;
    std::shared_ptr<TStream> FOwnedStream;
    std::shared_ptr<const void> FKeepAlive;
    TStreamOwnership FStreamOwnership;
};

// An enumerator over nothing.
std::shared_ptr<IAdobeResBlockEnumerator> CreateEmptyAdobeResBlockEnumerator();

// The colour modes Photoshop names. A file's number is carried through as it is,
// also when it lies outside these names.
enum class TAdobeColorMode : std::uint16_t {
    cmMonochrome = 0,
    cmGrayscale = 1,
    cmIndexed = 2,
    cmRGB = 3,
    cmCMYK = 4,
    cmMultichannel = 5,
    cmHalftone = 6,
    cmLAB = 7,
};

struct TPSDHeaderInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t Channels = 0;
    std::uint16_t Depth = 0;
    TAdobeColorMode ColorMode = TAdobeColorMode::cmMonochrome;
    std::vector<std::uint8_t> PaletteData;
};

// A PSD file, big-endian:
//   0       12  "8BPS", version 00 01, six zero bytes
//   12      2   channels
//   14      4   height
//   18      4   width
//   22      2   depth
//   24      2   colour mode
//   26      4   colour mode data length P, then P bytes (the palette)
//   30+P    4   image resources section length R, then R bytes of blocks
//   34+P+R  4   layer and mask information section length, then the layers
//               and the image data to the end of the file
struct TPSDInfo {
    TPSDHeaderInfo Header;
    // Each is the section's length field plus 4: they count their length field.
    std::int64_t ResourceSectionSize = 0;
    std::int64_t LayersSectionSize = 0;

    // Offsets of the sections' length fields from the start of the PSD data.
    std::int64_t GetResourceSectionOffset() const {
        return 30 + static_cast<std::int64_t>(Header.PaletteData.size());
    }
    std::int64_t GetLayersSectionOffset() const {
        return GetResourceSectionOffset() + ResourceSectionSize;
    }
};

// The resource blocks of a PSD file.
class IAdobeResBlockParser {
public:
    virtual ~IAdobeResBlockParser() = default;
    virtual IAdobeResBlockEnumerator& GetEnumerator() = 0;

    TAdobeResBlockIterator begin() { return GetEnumerator().begin(); }
    std::default_sentinel_t end() const { return {}; }
};

inline TAdobeResBlockIterator begin(const std::shared_ptr<IAdobeResBlockParser>& parser) {
    return parser->begin();
}
inline std::default_sentinel_t end(const std::shared_ptr<IAdobeResBlockParser>&) {
    return {};
}

class TAdobeResBlockParser : public TAdobeResBlockEnumerator, public IAdobeResBlockParser {
public:
    // Reads the header from the stream's position into `info` and stands at the
    // first resource block; the run ends with the resources section or the
    // stream, whichever comes first. Raises EInvalidPSDHeader for a wrong prefix
    // or a missing or negative section length, EReadError when the stream ends
    // in the fixed header fields or the palette.
    TAdobeResBlockParser(TStream& stream, TPSDInfo& info);
    TAdobeResBlockParser(std::shared_ptr<TStream> ownedStream, TPSDInfo& info);

    IAdobeResBlockEnumerator& GetEnumerator() override { return *this; }

private:
    void ReadHeader(TPSDInfo& info);
};

// True when the next 12 bytes are the PSD header prefix; the position is unchanged.
bool IsPSDStream(TStream& stream);
std::shared_ptr<IAdobeResBlockParser> ParsePSDResources(TStream& stream, TPSDInfo& info);
std::shared_ptr<IAdobeResBlockParser> ParsePSDResources(std::shared_ptr<TStream> ownedStream,
                                                        TPSDInfo& info);

// Blocks as an array: null entries are skipped.
using TAdobeResBlockArray = std::span<const std::shared_ptr<IAdobeResBlock>>;
using TAdobeResBlockList = std::vector<std::shared_ptr<IAdobeResBlock>>;
// A list of any metadata blocks, of which the Adobe resource blocks are used.
using TMetadataBlockList = std::vector<std::shared_ptr<IMetadataBlock>>;

// Writes the prefix and the header fields, then the palette with its length.
void WritePSDHeader(TStream& stream, const TPSDInfo& info);
// Writes the section length, then each present block in order.
void WritePSDResourceSection(TStream& stream, TAdobeResBlockArray blocks);
// Entries that are not Adobe resource blocks count as missing; a null list
// writes an empty section.
void WritePSDResourceSection(TStream& stream, const TMetadataBlockList* blocks);

// A block with signature "8BIM", that ID, no name and what the source saves.
std::shared_ptr<IAdobeResBlock> CreateAdobeBlock(std::uint16_t typeID, IStreamPersist* dataSource);
// An APP13 segment: "Photoshop 3.0" and a zero byte, then each block in order
// (null entries are skipped).
std::shared_ptr<TUserJPEGSegment> CreateAdobeApp13Segment(TAdobeResBlockArray blocks);
// The same for a list; a null list gives the prefix alone, an entry that is not
// an Adobe resource block raises EIntfCastError.
std::shared_ptr<TUserJPEGSegment> CreateAdobeApp13Segment(const TMetadataBlockList* blocks);

// ---------------------------------------------------------------------------
// Rebuilding a run of resource blocks when a container saves

// A block a saver puts in front of the run, made with CreateAdobeBlock from
// its source; none is made when the source is null or Empty.
struct TNewAdobeBlock {
    std::uint16_t TypeID;
    IStreamPersistEx* Source;
};

// Tells which old blocks a saver replaces, e.g. IsIPTCBlock(true).
using TAdobeBlockReplaced = std::function<bool(IAdobeResBlock& block)>;

// The new blocks first (in the order given), then every old block that is not
// replaced, in its old order. `oldBlocks` may be null.
TAdobeResBlockList RebuildAdobeResBlocks(std::span<const TNewAdobeBlock> newBlocks,
                                         IAdobeResBlockEnumerator* oldBlocks,
                                         const TAdobeBlockReplaced& isReplaced);

// Writes the PSD at the input's position to the output with its resources
// rebuilt: the header as read, the new resources section, then the input from
// its layer and mask section to its end.
void RewritePSDResources(TStream& input, TStream& output, std::span<const TNewAdobeBlock> newBlocks,
                         const TAdobeBlockReplaced& isReplaced);

// A new Adobe APP13 segment ("Photoshop 3.0" prefix, whichever prefix the old
// one had) with the blocks of `oldSegment` rebuilt; a null or non-Adobe old
// segment contributes no blocks.
std::shared_ptr<TUserJPEGSegment>
RebuildAdobeApp13Segment(IJPEGSegment* oldSegment, std::span<const TNewAdobeBlock> newBlocks,
                         const TAdobeBlockReplaced& isReplaced);

} // namespace Kestrix::Exif
