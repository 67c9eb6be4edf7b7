// Builds TIFF inputs with every directory and block at a chosen offset, and
// reads rewritten output back, for the rewriter's tests.
#pragma once

#include "kestrix/TiffUtils.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace TiffRewriteTestSupport {

using namespace Kestrix::Exif;
using Bytes = std::vector<std::uint8_t>;

// One directory entry. Value is the 32-bit value field; SHORT values are the
// low and high 16 bits for the first and second element, and Raw (when set)
// gives the field's 4 bytes as they stand in the file.
struct TEntry {
    TTiffTagID ID;
    TTiffDataType Type;
    std::uint32_t Count;
    std::uint32_t Value = 0;
    bool HasRaw = false;
    std::array<std::uint8_t, 4> Raw{};
};

inline TEntry LongEntry(TTiffTagID id, std::uint32_t value) {
    return {id, TTiffDataType::tdLong, 1, value};
}
inline TEntry ShortEntry(TTiffTagID id, std::uint16_t value) {
    return {id, TTiffDataType::tdShort, 1, value};
}
// Data of count elements held out of line at `offset`.
inline TEntry OffsetEntry(TTiffTagID id, TTiffDataType type, std::uint32_t count,
                          std::uint32_t offset) {
    return {id, type, count, offset};
}
inline TEntry RawEntry(TTiffTagID id, TTiffDataType type, std::uint32_t count,
                       std::array<std::uint8_t, 4> raw) {
    return {id, type, count, 0, true, raw};
}

class TTiffImage {
public:
    explicit TTiffImage(TEndianness endianness = TEndianness::SmallEndian)
        : FEndianness(endianness) {}

    TTiffImage& Header(std::uint32_t firstOffset) {
        const char mark = FEndianness == TEndianness::BigEndian ? 'M' : 'I';
        Put(0, Bytes{static_cast<std::uint8_t>(mark), static_cast<std::uint8_t>(mark)});
        Word(2, 42);
        return Long(4, firstOffset);
    }
    TTiffImage& Put(std::uint32_t offset, const Bytes& bytes) {
        if (FBytes.size() < offset + bytes.size()) {
            FBytes.resize(offset + bytes.size());
        }
        std::copy(bytes.begin(), bytes.end(), FBytes.begin() + offset);
        return *this;
    }
    TTiffImage& Put(std::uint32_t offset, std::string_view text) {
        return Put(offset, Bytes(text.begin(), text.end()));
    }
    TTiffImage& Word(std::uint32_t offset, std::uint16_t value) {
        return FEndianness == TEndianness::BigEndian
                   ? Put(offset,
                         {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)})
                   : Put(offset,
                         {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
    }
    TTiffImage& Long(std::uint32_t offset, std::uint32_t value) {
        return FEndianness == TEndianness::BigEndian
                   ? Word(offset, static_cast<std::uint16_t>(value >> 16))
                         .Word(offset + 2, static_cast<std::uint16_t>(value))
                   : Word(offset, static_cast<std::uint16_t>(value))
                         .Word(offset + 2, static_cast<std::uint16_t>(value >> 16));
    }
    // The entry count, the entries and the next-IFD offset at `offset`.
    TTiffImage& Directory(std::uint32_t offset, const std::vector<TEntry>& entries,
                          std::uint32_t next = 0) {
        Word(offset, static_cast<std::uint16_t>(entries.size()));
        std::uint32_t at = offset + 2;
        for (const TEntry& entry : entries) {
            Word(at, entry.ID).Word(at + 2, static_cast<std::uint16_t>(entry.Type));
            Long(at + 4, entry.Count);
            if (entry.HasRaw) {
                Put(at + 8, Bytes(entry.Raw.begin(), entry.Raw.end()));
            } else if (TiffElementSize(entry.Type) == 2) {
                Word(at + 8, static_cast<std::uint16_t>(entry.Value));
                Word(at + 10, static_cast<std::uint16_t>(entry.Value >> 16));
            } else {
                Long(at + 8, entry.Value);
            }
            at += 12;
        }
        return Long(at, next);
    }
    TTiffImage& Size(std::uint32_t size) {
        FBytes.resize(size);
        return *this;
    }
    const Bytes& Get() const { return FBytes; }

private:
    TEndianness FEndianness;
    Bytes FBytes;
};

// A run of distinct bytes, so a copy that lands wrong shows.
inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

// The rewritten bytes of `input`.
inline Bytes Rewrite(const Bytes& input, ITiffRewriteCallback* callback = nullptr) {
    TMemoryStream in(input);
    TMemoryStream out;
    RewriteTiffStream(in, out, callback);
    EXPECT_EQ(out.GetPosition(), out.GetSize());
    return out.TakeBytes();
}

// Rewritten output read back with the parser; it keeps its own copy of the bytes.
class TParsedOutput {
public:
    explicit TParsedOutput(Bytes bytes)
        : FStream(std::make_unique<TMemoryStream>(std::move(bytes))),
          FParser(CreateTiffParser(*FStream)) {
        for (const auto& directory : *FParser) {
            FChain.push_back(directory);
        }
    }
    const std::vector<std::shared_ptr<IFoundTiffDirectory>>& Chain() const { return FChain; }
    std::span<const std::uint8_t> Raw() const { return FStream->GetBytes(); }
    ITiffParser& Parser() { return *FParser; }

    // The sub-directory that `parent`'s pointer tag `id` leads to.
    std::shared_ptr<IFoundTiffDirectory>
    SubDirectory(const std::shared_ptr<IFoundTiffDirectory>& parent, TTiffTagID id) {
        const auto tag = parent->FindTag(id);
        return tag ? FParser->ParseSubDirectory(*tag) : nullptr;
    }

private:
    std::unique_ptr<TMemoryStream> FStream;
    std::shared_ptr<ITiffParser> FParser;
    std::vector<std::shared_ptr<IFoundTiffDirectory>> FChain;
};

inline std::optional<TTiffTagInfo> EntryOf(const IFoundTiffDirectory& directory, TTiffTagID id) {
    for (const TTiffTagInfo& info : directory.GetTagInfo()) {
        if (info.ID == id) {
            return info;
        }
    }
    return std::nullopt;
}

inline std::vector<TTiffTagID> IDsOf(const IFoundTiffDirectory& directory) {
    std::vector<TTiffTagID> ids;
    for (const TTiffTagInfo& info : directory.GetTagInfo()) {
        ids.push_back(info.ID);
    }
    return ids;
}

// The elements of a SHORT, LONG or SLONG tag as unsigned numbers; a rational
// gives its numerator and denominator.
inline std::vector<std::uint32_t> NumbersOf(IFoundTiffDirectory& directory, TTiffTagID id) {
    std::vector<std::uint32_t> numbers;
    const auto tag = directory.FindTag(id);
    if (!tag) {
        return numbers;
    }
    const auto data = tag->GetData().GetBytes();
    const int size = std::min(TiffElementSize(tag->GetDataType()), 4);
    if (size == 0) {
        return numbers;
    }
    for (std::size_t at = 0; at + size <= data.size(); at += size) {
        if (size == 2) {
            std::uint16_t value = 0;
            std::memcpy(&value, data.data() + at, 2);
            numbers.push_back(value);
        } else {
            std::uint32_t value = 0;
            std::memcpy(&value, data.data() + at, 4);
            numbers.push_back(value);
        }
    }
    return numbers;
}

inline Bytes DataOf(IFoundTiffDirectory& directory, TTiffTagID id) {
    const auto tag = directory.FindTag(id);
    if (!tag) {
        return {};
    }
    const auto data = tag->GetData().GetBytes();
    return {data.begin(), data.end()};
}

inline Bytes Slice(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) {
        return {};
    }
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

} // namespace TiffRewriteTestSupport
