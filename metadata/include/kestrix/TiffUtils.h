// TIFF structures: the header, the chain of image file directories (IFDs),
// sub-directories reached through pointer tags, and the data of single tags.
//
// Layout (every offset counts from the header's first byte, the base position;
// numbers are in the byte order the header declares):
//   header  0: "II" or "MM"   2: magic 42   4: offset of the first IFD
//   IFD     2-byte entry count, count x 12-byte entries, 4-byte next-IFD offset
//   entry   0: tag ID   2: type code   4: element count
//           8: the value when it fits in 4 bytes (left-justified), else its offset
#pragma once

#include "kestrix/BaseUtils.h"
#include "kestrix/Enumerator.h"
#include "kestrix/Platform.h"
#include "kestrix/StreamHelper.h"
#include "kestrix/TagIDs.h"

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Kestrix::Exif {

using TTiffTagID = std::uint16_t;

// The 16-bit type code as stored. Codes 1..13 are valid; a file may hold any
// other value, which makes its entry malformed.
enum class TTiffDataType : std::uint16_t {
    tdByte = 1,       // unsigned 8-bit
    tdAscii = 2,      // 8-bit characters, NUL-terminated
    tdShort = 3,      // unsigned 16-bit
    tdLong = 4,       // unsigned 32-bit
    tdRational = 5,   // unsigned 32-bit numerator, then denominator
    tdSByte = 6,      // signed 8-bit
    tdUndefined = 7,  // opaque byte
    tdSShort = 8,     // signed 16-bit
    tdSLong = 9,      // signed 32-bit
    tdSRational = 10, // signed 32-bit numerator, then denominator
    tdFloat = 11,     // IEEE single
    tdDouble = 12,    // IEEE double
    tdIFD = 13,       // unsigned 32-bit offset of a sub-directory
};

constexpr bool IsValidTiffDataType(TTiffDataType type) {
    const auto code = static_cast<std::uint16_t>(type);
    return code >= 1 && code <= 13;
}

// Bytes per element; 0 for a code outside 1..13.
constexpr int TiffElementSize(TTiffDataType type) {
    constexpr int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return IsValidTiffDataType(type) ? sizes[static_cast<std::uint16_t>(type)] : 0;
}

// The width of the numbers a type's data is byte-swapped in: each half of a
// rational is a number of its own, so the numerator stays first.
constexpr int TiffByteOrderUnit(TTiffDataType type) {
    const int size = TiffElementSize(type);
    if (size == 1 || size == 2) {
        return size;
    }
    return type == TTiffDataType::tdDouble ? 8 : 4;
}

// A set of type codes over 16 bits (bit n = code n).
class TTiffDataTypes {
public:
    constexpr TTiffDataTypes() = default;
    constexpr TTiffDataTypes(std::initializer_list<TTiffDataType> types) {
        for (const TTiffDataType type : types) {
            Include(type);
        }
    }
    static constexpr TTiffDataTypes All() { return FromBits(0x3FFE); }
    static constexpr TTiffDataTypes FromBits(std::uint16_t bits) {
        TTiffDataTypes result;
        result.FBits = bits;
        return result;
    }

    // Codes above 15 are never members.
    constexpr bool Contains(TTiffDataType type) const {
        const auto code = static_cast<std::uint16_t>(type);
        return code <= 15 && (FBits & (1u << code)) != 0;
    }
    constexpr void Include(TTiffDataType type) {
        const auto code = static_cast<std::uint16_t>(type);
        if (code <= 15) {
            FBits = static_cast<std::uint16_t>(FBits | (1u << code));
        }
    }
    constexpr void Exclude(TTiffDataType type) {
        const auto code = static_cast<std::uint16_t>(type);
        if (code <= 15) {
            FBits = static_cast<std::uint16_t>(FBits & ~(1u << code));
        }
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint16_t GetBits() const { return FBits; }
    friend constexpr bool operator==(TTiffDataTypes, TTiffDataTypes) = default;

private:
    std::uint16_t FBits = 0;
};

// One raw directory entry as read.
struct TTiffTagInfo {
    std::uint32_t HeaderOffset = 0; // the entry's first byte, from the base position
    std::uint32_t DataOffset = 0;   // the data, from the base position; HeaderOffset + 8 inline
    TTiffTagID ID = 0;
    TTiffDataType DataType = TTiffDataType{0};
    std::int32_t ElementCount = 0;

    // A valid type code and ElementCount x element size within 0..2147483647.
    constexpr bool IsWellFormed() const {
        const int elementSize = TiffElementSize(DataType);
        return elementSize != 0 && ElementCount >= 0 &&
               static_cast<std::int64_t>(ElementCount) * elementSize <= INT32_MAX;
    }
    // 0 for a malformed entry.
    constexpr std::int32_t DataSize() const {
        return IsWellFormed() ? ElementCount * TiffElementSize(DataType) : 0;
    }
};

using TTiffTagInfoDynArray = std::vector<TTiffTagInfo>;

enum class TMetadataLoadError : std::uint8_t { leBadOffset, leBadTagCount, leBadTagHeader };

class TMetadataLoadErrors {
public:
    constexpr TMetadataLoadErrors() = default;
    constexpr TMetadataLoadErrors(std::initializer_list<TMetadataLoadError> errors) {
        for (const TMetadataLoadError error : errors) {
            Include(error);
        }
    }
    constexpr bool Contains(TMetadataLoadError error) const { return (FBits & Bit(error)) != 0; }
    constexpr void Include(TMetadataLoadError error) {
        FBits = static_cast<std::uint8_t>(FBits | Bit(error));
    }
    constexpr void Exclude(TMetadataLoadError error) {
        FBits = static_cast<std::uint8_t>(FBits & ~Bit(error));
    }
    constexpr bool Empty() const { return FBits == 0; }
    friend constexpr bool operator==(TMetadataLoadErrors, TMetadataLoadErrors) = default;

private:
    static constexpr unsigned Bit(TMetadataLoadError error) {
        return 1u << static_cast<unsigned>(error);
    }
    std::uint8_t FBits = 0;
};

// A fixed-point decimal with four places: Scaled holds the value x 10000.
struct TFixedDecimal {
    std::int64_t Scaled = 0;
    // Rounds to the nearest ten-thousandth, halves away from zero; raises
    // ERangeError outside the 64-bit range.
    static TFixedDecimal FromDouble(double value);
};

// A rational of two 32-bit parts. A denominator of 0 means missing or invalid.
template <typename TPart> struct TTiffFraction {
    TPart Numerator = 0;
    TPart Denominator = 0;

    constexpr TTiffFraction() = default;
    constexpr TTiffFraction(TPart numerator, TPart denominator)
        : Numerator(numerator), Denominator(denominator) {}
    // The reduced fraction of value/10000 (0 gives 0/1); ERangeError when a
    // reduced part does not fit TPart.
    static TTiffFraction Create(TFixedDecimal quotient);
    static constexpr TTiffFraction Create(TPart numerator, TPart denominator) {
        return {numerator, denominator};
    }
    // "n/d" or "n" (denominator 1); 0/0 when any part is not a decimal integer
    // of TPart's range.
    static TTiffFraction CreateFromString(std::string_view text);
    static constexpr TTiffFraction CreateMissingOrInvalid() { return {}; }

    constexpr bool MissingOrInvalid() const { return Denominator == 0; }
    // Empty when missing, "n" when the denominator is 1, else "n/d".
    std::string AsString() const;
    // 0 when the denominator is 0.
    long double Quotient() const;

    // The numerator in the low half, the denominator in the high half.
    constexpr std::uint64_t GetPackedValue() const {
        return static_cast<std::uint32_t>(Numerator) |
               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Denominator)) << 32);
    }
    constexpr void SetPackedValue(std::uint64_t value) {
        Numerator = static_cast<TPart>(static_cast<std::uint32_t>(value));
        Denominator = static_cast<TPart>(static_cast<std::uint32_t>(value >> 32));
    }
    friend constexpr bool operator==(TTiffFraction, TTiffFraction) = default;
};

using TTiffLongWordFraction = TTiffFraction<std::uint32_t>;
using TTiffLongIntFraction = TTiffFraction<std::int32_t>;
static_assert(sizeof(TTiffLongWordFraction) == 8 && sizeof(TTiffLongIntFraction) == 8);

extern template struct TTiffFraction<std::uint32_t>;
extern template struct TTiffFraction<std::int32_t>;

// ---------------------------------------------------------------------------
// Interfaces. ITiffDirectory and ITiffTag are the read view shared by parsed
// structures and by the editable EXIF sections and tags.

class ITiffTag;
class ITiffDirectory;
class IFoundTiffDirectory;
class ITiffParser;

// A tag of a directory, its data in host byte order (the block's GetData()).
class ITiffTag : public virtual IMetadataBlock {
public:
    virtual TTiffDataType GetDataType() const = 0;
    // May be empty.
    virtual std::shared_ptr<ITiffDirectory> GetParent() const = 0;
    virtual std::int32_t GetElementCount() const = 0;
    virtual TTiffTagID GetID() const = 0;
    // The data's offset from the base position in the structure it was read from.
    virtual std::uint32_t GetOriginalDataOffset() const = 0;
};

class ITiffDirectoryEnumerator {
public:
    virtual ~ITiffDirectoryEnumerator() = default;
    virtual std::shared_ptr<ITiffTag> Current() = 0;
    virtual bool MoveNext() = 0;
};

// Lets a polymorphic enumerator drive a range-for.
struct TTiffDirectoryEnumeration {
    std::unique_ptr<ITiffDirectoryEnumerator> Enumerator;
    bool MoveNext() { return Enumerator->MoveNext(); }
    std::shared_ptr<ITiffTag> Current() { return Enumerator->Current(); }
};

class ITiffDirectory {
public:
    virtual ~ITiffDirectory() = default;

    virtual std::unique_ptr<ITiffDirectoryEnumerator> GetEnumerator() = 0;
    // The position in the main chain (0, 1, ...), the ID of the pointer tag of
    // a sub-directory, or -1 for a directory outside both.
    virtual std::int32_t GetIndex() const = 0;
    // May be empty.
    virtual std::shared_ptr<ITiffDirectory> GetParent() const = 0;
    virtual std::int32_t GetCount() const = 0;
    // Empty when not found. The scan relies on ascending IDs: it stops at the
    // first ID equal to or above the one wanted.
    virtual std::shared_ptr<ITiffTag> FindTag(TTiffTagID id) = 0;
    // Found, of a type in validDataTypes, and minElementCount <= count <= maxElementCount.
    virtual bool TagExists(TTiffTagID id, TTiffDataTypes validDataTypes,
                           std::int32_t minElementCount = 1,
                           std::int32_t maxElementCount = INT32_MAX) = 0;

    // for (const std::shared_ptr<ITiffTag>& tag : directory)
    TEnumeratorIterator<TTiffDirectoryEnumeration> begin() {
        return TEnumeratorIterator<TTiffDirectoryEnumeration>({GetEnumerator()});
    }
    std::default_sentinel_t end() { return {}; }
};

// A directory as read from a stream. It never changes after loading.
class IFoundTiffDirectory : public ITiffDirectory {
public:
    virtual TMetadataLoadErrors GetLoadErrors() const = 0;
    virtual std::shared_ptr<ITiffParser> GetParser() const = 0;
    // A copy of the entries, in file order.
    virtual TTiffTagInfoDynArray GetTagInfo() const = 0;
    virtual bool IsLastDirectory() const = 0;
    // IFD1 of an EXIF block: the last of the chain, with a JPEG thumbnail
    // offset (0x0201) and no strips or tiles.
    virtual bool IsThumbnailDirectory() = 0;
    // Loads the JPEG thumbnail into dest; false (never an exception) on failure.
    virtual bool TryLoadThumbnail(IStreamPersist& dest) = 0;
};

// Walks the main IFD chain. A next-IFD offset beyond the stream, or one that
// points back to a directory already visited, ends the walk.
class TTiffParserEnumerator {
public:
    TTiffParserEnumerator(std::shared_ptr<ITiffParser> source, std::int64_t maxPossibleOffset,
                          std::int32_t nextOffset);
    bool MoveNext();
    const std::shared_ptr<IFoundTiffDirectory>& Current() const { return FCurrent; }

private:
    std::shared_ptr<IFoundTiffDirectory> FCurrent;
    std::int64_t FMaxPossibleOffset;
    std::int32_t FNextIndex = 0;
    std::int32_t FNextOffset;
    std::shared_ptr<ITiffParser> FSource;
    std::unordered_set<std::int32_t> FVisitedOffsets;
    // What the directories walked so far occupy at the least.
    std::int64_t FBytesWalked = 0;
};

class ITiffParser : public std::enable_shared_from_this<ITiffParser> {
public:
    virtual ~ITiffParser() = default;

    virtual std::int64_t GetBasePosition() const = 0;
    virtual TEndianness GetEndianness() const = 0;
    virtual TTiffParserEnumerator GetEnumerator() = 0;
    virtual TStream& GetStream() = 0;
    // Reads the entry's DataSize() bytes into buffer (at least that long),
    // converted to host byte order element by element. EReadError when the
    // stream ends early.
    virtual void LoadTagData(const TTiffTagInfo& tagInfo, std::span<std::uint8_t> buffer) = 0;
    // The sub-directory a pointer tag leads to; empty when the tag is no
    // pointer or the directory is unusable.
    virtual std::shared_ptr<IFoundTiffDirectory> ParseSubDirectory(ITiffTag& offsetTag) = 0;
    virtual std::shared_ptr<IFoundTiffDirectory>
    ParseSubDirectory(std::shared_ptr<ITiffDirectory> parent, const TTiffTagInfo& offsetTag) = 0;

    // for (const std::shared_ptr<IFoundTiffDirectory>& directory : *parser)
    TEnumeratorIterator<TTiffParserEnumerator> begin() {
        return TEnumeratorIterator<TTiffParserEnumerator>(GetEnumerator());
    }
    std::default_sentinel_t end() { return {}; }
};

// ---------------------------------------------------------------------------
// Parsed structures

// Reads the entry table at basePosition + offset. Counts are cut to what the
// stream can hold, malformed entries are kept and flagged, two malformed
// entries in a row end the table; the stream is left after the last entry read.
TTiffTagInfoDynArray LoadDirectoryEntries(TStream& stream, TEndianness endianness,
                                          TMetadataLoadErrors& loadErrors,
                                          std::int64_t basePosition, std::int64_t offset,
                                          std::int64_t internalOffset);

class TTiffParser final : public ITiffParser {
public:
    // Reads the header at the stream's position; EInvalidTiffData when it fails.
    explicit TTiffParser(TStream& stream);
    explicit TTiffParser(std::unique_ptr<TStream> stream);
    // A structure without header: first directory offset 0.
    TTiffParser(TStream& stream, std::int64_t basePosition, TEndianness endianness);

    std::int64_t GetBasePosition() const override { return FBasePosition; }
    TEndianness GetEndianness() const override { return FEndianness; }
    TTiffParserEnumerator GetEnumerator() override;
    TStream& GetStream() override { return *FStream; }
    void LoadTagData(const TTiffTagInfo& tagInfo, std::span<std::uint8_t> buffer) override;
    std::shared_ptr<IFoundTiffDirectory> ParseSubDirectory(ITiffTag& offsetTag) override;
    std::shared_ptr<IFoundTiffDirectory> ParseSubDirectory(std::shared_ptr<ITiffDirectory> parent,
                                                           const TTiffTagInfo& offsetTag) override;

    std::int32_t GetFirstDirOffset() const { return FFirstDirOffset; }
    // Stream size - base position - 4: the largest acceptable next-IFD offset.
    std::int64_t GetMaxOffsetValue() const { return FMaxOffsetValue; }

private:
    void ReadHeader();
    std::shared_ptr<IFoundTiffDirectory> ParseSubDirectoryAt(std::shared_ptr<ITiffDirectory> parent,
                                                             TTiffTagID id, std::uint32_t offset);

    std::int64_t FBasePosition = 0;
    std::int64_t FMaxOffsetValue = 0;
    TEndianness FEndianness = TEndianness::SmallEndian;
    std::int32_t FFirstDirOffset = 0;
    std::unique_ptr<TStream> FOwnedStream;
    TStream* FStream = nullptr;
};

class TFoundTiffDirectory final : public IFoundTiffDirectory,
                                  public std::enable_shared_from_this<TFoundTiffDirectory> {
    struct TPrivate {};

public:
    // Always yields a directory, whatever its load errors.
    static std::shared_ptr<TFoundTiffDirectory> Create(std::shared_ptr<ITiffParser> parser,
                                                       std::shared_ptr<ITiffDirectory> parent,
                                                       std::int32_t index, std::int64_t offset,
                                                       std::int64_t internalOffset);
    // Empty unless the directory loads without errors or has more than 2 entries.
    static std::shared_ptr<TFoundTiffDirectory> TryCreate(std::shared_ptr<ITiffParser> parser,
                                                          std::shared_ptr<ITiffDirectory> parent,
                                                          std::int32_t index, std::int64_t offset);

    TFoundTiffDirectory(TPrivate, std::shared_ptr<ITiffParser> parser,
                        std::shared_ptr<ITiffDirectory> parent, std::int32_t index,
                        std::int64_t offset, std::int64_t internalOffset);

    std::unique_ptr<ITiffDirectoryEnumerator> GetEnumerator() override;
    std::int32_t GetIndex() const override { return FIndex; }
    std::shared_ptr<ITiffDirectory> GetParent() const override { return FParent; }
    std::int32_t GetCount() const override { return static_cast<std::int32_t>(FTags.size()); }
    std::shared_ptr<ITiffTag> FindTag(TTiffTagID id) override;
    bool TagExists(TTiffTagID id, TTiffDataTypes validDataTypes, std::int32_t minElementCount = 1,
                   std::int32_t maxElementCount = INT32_MAX) override;

    TMetadataLoadErrors GetLoadErrors() const override { return FLoadErrors; }
    std::shared_ptr<ITiffParser> GetParser() const override { return FParser; }
    TTiffTagInfoDynArray GetTagInfo() const override { return FTags; }
    bool IsLastDirectory() const override { return !FMoreToFollow; }
    bool IsThumbnailDirectory() override;
    bool TryLoadThumbnail(IStreamPersist& dest) override;

    // The entries in place, without the copy GetTagInfo makes.
    std::span<const TTiffTagInfo> GetTags() const { return FTags; }
    // Where the entry table starts, from the base position.
    std::int64_t GetOffset() const { return FOffset; }
    // Set by the chain walk once it knows what follows.
    void SetMoreToFollow(bool value) { FMoreToFollow = value; }

private:
    // The index of the entry with this ID, or -1; stops at the first ID >= id.
    int FindIndex(TTiffTagID id) const;

    std::int32_t FIndex;
    TMetadataLoadErrors FLoadErrors;
    std::shared_ptr<ITiffDirectory> FParent;
    std::shared_ptr<ITiffParser> FParser;
    TTiffTagInfoDynArray FTags;
    bool FMoreToFollow = false;
    std::int64_t FOffset;
};

// A tag as read from a directory, or a stand-alone tag that carries a
// metadata block into a rewritten structure. Its data is in host byte order.
class TFoundTiffTag final : public TMetadataBlock, public ITiffTag {
public:
    // Entry `index` of a loaded directory; the data is read at once and frozen.
    TFoundTiffTag(std::shared_ptr<TFoundTiffDirectory> parent, std::int32_t index);
    // A tag outside any directory. With a source, the data is what it saves
    // and the count is data size / element size; without one, the data is one
    // zero-filled element.
    TFoundTiffTag(TTiffTagID id, TTiffDataType dataType, IStreamPersistEx* dataSource = nullptr);

    TTiffDataType GetDataType() const override { return FInfo.DataType; }
    std::shared_ptr<ITiffDirectory> GetParent() const override { return FParent; }
    std::int32_t GetElementCount() const override { return FInfo.ElementCount; }
    TTiffTagID GetID() const override { return FInfo.ID; }
    std::uint32_t GetOriginalDataOffset() const override { return FInfo.DataOffset; }
    const TTiffTagInfo& GetTagInfo() const { return FInfo; }

protected:
    bool HasIPTCBlockID() const override { return FInfo.ID == TagIDs::ttIPTC; }
    bool HasXMPBlockID() const override { return FInfo.ID == TagIDs::ttXMP; }

private:
    std::shared_ptr<TFoundTiffDirectory> FParent;
    TTiffTagInfo FInfo;
};

// ---------------------------------------------------------------------------
// Stand-alone routines

// Tests the 4 bytes at the position as a TIFF header. The byte order comes from
// how 42 is stored (2A 00 little-endian, 00 2A big-endian); the mark only has
// to be "II" or "MM". The position stays after the 4 bytes only when the test
// passes and movePastHeader is set.
bool CheckTiffHeader(TStream& stream, TEndianness& endianness, bool movePastHeader);

// A parser over the TIFF header at the stream's position. EInvalidTiffData
// "Invalid TIFF data" when the header or the first IFD offset is missing.
std::shared_ptr<ITiffParser> CreateTiffParser(TStream& stream);
std::shared_ptr<ITiffParser> CreateTiffParser(std::unique_ptr<TStream> stream);

// The directory at offset of a structure without header (maker notes), index -1.
// internalOffset is added to every data offset read.
std::shared_ptr<IFoundTiffDirectory> ParseDirectoryAt(TStream& stream, TEndianness endianness,
                                                      std::int64_t basePosition,
                                                      std::int64_t offset,
                                                      std::int64_t internalOffset);

// A single-element IFD tag, or a single-element LONG tag other than the image
// structure tags that hold offsets or sizes of image data.
bool IsSubDirectoryPointer(TTiffTagID id, TTiffDataType dataType, std::int32_t elementCount);

} // namespace Kestrix::Exif

// ===========================================================================
// Rewriting a TIFF structure
//
// A rewrite lays every directory of the input out again from offset 8: for each
// main-chain directory its entry table, the out-of-line data of its tags in ID
// order with each sub-directory (entry table, data, image blocks) placed where
// its pointer tag comes, then its image blocks (strips, tiles or a JPEG
// thumbnail); then the next directory. Nothing is aligned. The one block that
// keeps its place is the maker note of the EXIF sub-directory, whose own
// offsets would break if it moved.

namespace Kestrix::Exif {

class TTiffDirectoryRewriter;
class TTiffRewriteContext;

// The caller's hook into a rewrite.
class ITiffRewriteCallback {
public:
    virtual ~ITiffRewriteCallback() = default;
    // Called once per directory before its old tags are taken over: the only
    // time AddTag and AddSubDirectory may be called; may call IgnoreDirectory.
    virtual void AddTagsToWrite(TTiffDirectoryRewriter& rewriter) = 0;
    // Called for each old tag that would otherwise be kept; clearing `rewrite`
    // drops it.
    virtual void FilterOldTag(const ITiffDirectory& source, TTiffTagID tagID, bool& rewrite,
                              TTiffDataType dataType) = 0;
};

// One directory to write, and the sub-directories it points to.
class TTiffDirectoryRewriter {
public:
    // One strip, tile or thumbnail block. Old offsets count from the input's
    // base position, new ones from the output header.
    struct TImageItem {
        std::uint32_t ByteCount = 0;
        std::uint32_t OldOffset = 0;
        std::uint32_t NewOffset = 0;
    };
    // In the order of the source's offsets tag.
    using TImageInfo = std::vector<TImageItem>;

    // A tag to write: its entry and how to produce its value bytes.
    class TTagToWrite {
    public:
        TTagToWrite(TTiffDirectoryRewriter& parent, const TTiffTagInfo& info)
            : FInfo(info), FParent(parent) {}
        virtual ~TTagToWrite() = default;
        TTagToWrite(const TTagToWrite&) = delete;
        TTagToWrite& operator=(const TTagToWrite&) = delete;

        std::uint32_t GetNewDataOffset() const { return FNewDataOffset; }
        void SetNewDataOffset(std::uint32_t value) { FNewDataOffset = value; }
        TTiffDataType GetDataType() const { return FInfo.DataType; }
        std::int32_t GetElementCount() const { return FInfo.ElementCount; }
        TTiffTagID GetID() const { return FInfo.ID; }
        std::uint32_t GetOldDataOffset() const { return FInfo.DataOffset; }
        TTiffDirectoryRewriter& GetParent() const { return FParent; }
        std::int32_t DataSize() const { return FInfo.DataSize(); }
        // Writes exactly DataSize() bytes, at least 4 (zero bytes after short
        // values), in the given byte order.
        virtual void WriteData(TStream& stream, TEndianness endianness) = 0;

    protected:
        std::uint32_t FNewDataOffset = 0;
        TTiffTagInfo FInfo;
        TTiffDirectoryRewriter& FParent;
    };

    // A rewriter for `source` (may be empty: only the tags the callback adds are
    // written). The callback, which may be null, is consulted for this
    // directory and every sub-directory taken over from a parsed source.
    TTiffDirectoryRewriter(std::shared_ptr<ITiffDirectory> source, ITiffRewriteCallback* callback);
    ~TTiffDirectoryRewriter();
    TTiffDirectoryRewriter(const TTiffDirectoryRewriter&) = delete;
    TTiffDirectoryRewriter& operator=(const TTiffDirectoryRewriter&) = delete;

    // The three adders work only inside the callback's AddTagsToWrite
    // (EInvalidOperation otherwise) and raise ETagAlreadyExists for an ID
    // already added.
    void AddTag(std::shared_ptr<ITiffTag> source);
    // The source's saved bytes become the tag's data; its element count is
    // their size div the type's element size.
    void AddTag(TTiffTagID id, IStreamPersistEx& source, TTiffDataType dataType);
    // Writes `subDirectory` (rebuilt with `callback`, which may be null) and a
    // LONG pointer tag `offsetID` to it, unless that rewriter ignores its
    // directory.
    void AddSubDirectory(TTiffTagID offsetID, std::shared_ptr<ITiffDirectory> subDirectory,
                         ITiffRewriteCallback* callback);
    // Leaves the directory out; in a main chain its neighbours are linked up.
    void IgnoreDirectory() { FRewriteSource = false; }

    const std::shared_ptr<ITiffDirectory>& GetSource() const { return FSource; }
    bool GetRewriteSource() const { return FRewriteSource; }
    const TImageInfo& GetImageInfo() const { return FImageInfo; }
    // Where the entry table goes, from the output header; set by the layout.
    std::uint32_t GetNewIFDOffset() const { return FNewIFDOffset; }
    // The tags in ascending ID order.
    std::size_t GetTagCount() const { return FTagsToWrite.size(); }
    TTagToWrite& GetTag(std::size_t index) const { return *FTagsToWrite[index]; }
    // Null when no tag has this ID.
    TTagToWrite* FindTag(TTiffTagID id) const;

private:
    friend void RewriteTiffStream(TStream& input, TStream& output, ITiffRewriteCallback* callback);
    friend class TTiffRewriteLayout;

    TTiffDirectoryRewriter(std::shared_ptr<ITiffDirectory> source, ITiffRewriteCallback* callback,
                           std::shared_ptr<TTiffRewriteContext> context);
    void TakeOverParsedTags(IFoundTiffDirectory& source, ITiffRewriteCallback* callback);
    void TakeOverTags(ITiffRewriteCallback* callback);
    // `taken` marks the IDs in the list (65536 flags); a retained tag's ID is added.
    bool RetainOldTag(const TTiffTagInfo& info, ITiffRewriteCallback* callback,
                      std::vector<bool>& taken) const;
    std::vector<bool> TakenIDs() const;
    void FindImageBlocks();
    bool TryTakeImageBlocks(TTiffTagID offsetsID, TTiffTagID byteCountsID);
    void CheckAddingAllowed() const;
    // Puts the tag at its sorted place; false (the tag freed) when its ID is
    // already taken.
    bool TryInsert(std::unique_ptr<TTagToWrite> tag);
    // Old tags are appended and sorted once, so a directory stored in reverse
    // order costs no more than a sorted one.
    void SortTags();
    void RemoveTag(TTiffTagID id);
    void Write(TStream& output, std::int64_t outputBase, TEndianness endianness,
               std::uint32_t nextIFDOffset, std::vector<std::uint8_t>& copyBuffer);
    void CopyImageBlocks(TStream& output, std::int64_t outputBase,
                         std::vector<std::uint8_t>& copyBuffer);

    bool FDoneInitialization = false;
    TImageInfo FImageInfo;
    std::uint32_t FNewIFDOffset = 0;
    bool FRewriteSource = true;
    std::shared_ptr<ITiffDirectory> FSource;
    TTiffTagInfoDynArray FSourceInfo;
    std::shared_ptr<ITiffParser> FSourceParser;
    std::vector<std::unique_ptr<TTagToWrite>> FTagsToWrite;
    std::shared_ptr<TTiffRewriteContext> FContext;
};

// An entry of a parsed source directory.
class TInternaTiffTagToWrite final : public TTiffDirectoryRewriter::TTagToWrite {
public:
    enum class TKind {
        itNormal,          // the data copied
        itImageOffsets,    // the new offsets of the directory's image blocks
        itImageByteCounts, // the byte counts of the directory's image blocks
    };

    TInternaTiffTagToWrite(TTiffDirectoryRewriter& parent, std::shared_ptr<ITiffParser> parser,
                           const TTiffTagInfo& info)
        : TTagToWrite(parent, info), FParser(std::move(parser)) {}

    const std::shared_ptr<ITiffParser>& GetParser() const { return FParser; }
    // The entry as read; the data type is LONG once image offsets or counts
    // stored as SHORT are rewritten.
    const TTiffTagInfo& GetInfo() const { return FInfo; }
    TKind GetKind() const { return FKind; }
    // Image offsets and counts are written as 32-bit numbers, so an entry
    // stored as SHORT becomes LONG.
    void SetKind(TKind kind);
    void WriteData(TStream& stream, TEndianness endianness) override;

private:
    std::shared_ptr<ITiffParser> FParser;
    TKind FKind = TKind::itNormal;
    TTiffTagInfo FSourceInfo = FInfo;
};

// A tag given from outside: an EXIF tag, or a metadata block wrapped as a tag.
class TExternalTiffTagToWrite final : public TTiffDirectoryRewriter::TTagToWrite {
public:
    TExternalTiffTagToWrite(TTiffDirectoryRewriter& parent, std::shared_ptr<ITiffTag> source);

    const std::shared_ptr<ITiffTag>& GetSource() const { return FTag; }
    // Data shorter than the element count says is padded with zero bytes.
    void WriteData(TStream& stream, TEndianness endianness) override;

private:
    std::shared_ptr<ITiffTag> FTag;
};

// A pointer to a sub-directory, always written as one LONG.
class TTiffSubDirToWrite final : public TTiffDirectoryRewriter::TTagToWrite {
public:
    TTiffSubDirToWrite(TTiffDirectoryRewriter& parent, TTiffTagID id, std::uint32_t oldDataOffset,
                       std::unique_ptr<TTiffDirectoryRewriter> directory);

    TTiffDirectoryRewriter& GetDirectory() const { return *FDirectory; }
    void WriteData(TStream& stream, TEndianness endianness) override;

private:
    std::unique_ptr<TTiffDirectoryRewriter> FDirectory;
};

// The callback of the IPTC and XMP containers: their block goes into IFD0 as
// tag `metadataTagID` (UNDEFINED) unless they are empty, and the old tag of
// that ID is dropped from every directory of the main chain.
class TSimpleTiffRewriteCallbackImpl final : public ITiffRewriteCallback {
public:
    TSimpleTiffRewriteCallbackImpl(IStreamPersistEx& owner, TTiffTagID metadataTagID)
        : FOwner(owner), FMetadataTagID(metadataTagID) {}

    IStreamPersistEx& GetOwner() const { return FOwner; }
    void AddTagsToWrite(TTiffDirectoryRewriter& rewriter) override;
    void FilterOldTag(const ITiffDirectory& source, TTiffTagID tagID, bool& rewrite,
                      TTiffDataType dataType) override;

private:
    IStreamPersistEx& FOwner;
    TTiffTagID FMetadataTagID;
};

// Rewrites the TIFF structure at the input's position into the output at its
// position, in the input's byte order, consulting the callback (may be null).
// EInvalidTiffData when the input is no TIFF, or when its directories refer to
// far more data than it holds; EReadError when image data runs past its end.
// The output is left just after the structure.
void RewriteTiffStream(TStream& input, TStream& output, ITiffRewriteCallback* callback);

// "II" or "MM", 42 and the first IFD offset, in that byte order.
void WriteTiffFileHeader(TStream& stream, TEndianness endianness, std::uint32_t firstIFDOffset);

} // namespace Kestrix::Exif
