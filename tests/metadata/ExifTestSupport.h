// A small section owner and TIFF byte builders for the EXIF model tests.
#pragma once

#include "kestrix/Exif.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

namespace ExifTestSupport {

using namespace Kestrix::Exif;

// Owns the six sections and records what they report.
class TTestExifOwner : public TExifSectionOwner {
public:
    explicit TTestExifOwner(bool extendable = true) {
        for (int kind = 1; kind <= 6; ++kind) {
            const auto sectionKind = static_cast<TExifSectionKind>(kind);
            if (extendable) {
                FSections[kind - 1] = std::make_unique<TExtendableExifSection>(this, sectionKind);
            } else {
                FSections[kind - 1] = std::make_unique<TExifSection>(this, sectionKind);
            }
        }
    }

    bool EnforceASCII = true;
    bool AlwaysWritePreciseTimes = false;
    TEndianness Endianness = TEndianness::SmallEndian;
    // Notifications as a container fires them: at once, or once at the
    // outermost EndUpdate.
    int Notifications = 0;
    int ChangedCalls = 0;
    int ResetMakerNoteTypeCalls = 0;
    int UpdateDepth = 0;
    TExifSection* LastChanged = nullptr;

    bool GetEnforceASCII() const override { return EnforceASCII; }
    bool GetAlwaysWritePreciseTimes() const override { return AlwaysWritePreciseTimes; }
    TEndianness GetEndianness() const override { return Endianness; }
    TExifSection& GetSection(TExifSectionKind kind) override {
        return *FSections[static_cast<int>(kind) - 1];
    }
    TExtendableExifSection& Extendable(TExifSectionKind kind) {
        return dynamic_cast<TExtendableExifSection&>(GetSection(kind));
    }
    void BeginUpdate() override { ++UpdateDepth; }
    void EndUpdate() override {
        if (--UpdateDepth == 0 && FChangedWhileUpdating) {
            FChangedWhileUpdating = false;
            ++Notifications;
        }
    }
    void Changed(TExifSection* section) override {
        ++ChangedCalls;
        LastChanged = section;
        if (UpdateDepth > 0) {
            FChangedWhileUpdating = true;
        } else {
            ++Notifications;
        }
    }
    void ResetMakerNoteType() override { ++ResetMakerNoteTypeCalls; }

private:
    std::array<std::unique_ptr<TExifSection>, 6> FSections;
    bool FChangedWhileUpdating = false;
};

// TIFF bytes in either byte order.
class TBytes {
public:
    explicit TBytes(TEndianness endianness = TEndianness::SmallEndian) : FEndianness(endianness) {}

    TBytes& Header(std::uint32_t firstOffset = 8) {
        const char mark = FEndianness == TEndianness::BigEndian ? 'M' : 'I';
        return Byte(mark).Byte(mark).Word(42).Long(firstOffset);
    }
    TBytes& Byte(std::uint8_t value) {
        FBytes.push_back(value);
        return *this;
    }
    TBytes& Bytes(std::initializer_list<std::uint8_t> values) {
        FBytes.insert(FBytes.end(), values);
        return *this;
    }
    TBytes& Text(const char* text) {
        FBytes.insert(FBytes.end(), text, text + std::strlen(text));
        return *this;
    }
    TBytes& Word(std::uint16_t value) {
        return FEndianness == TEndianness::BigEndian ? Byte(value >> 8).Byte(value & 0xFF)
                                                     : Byte(value & 0xFF).Byte(value >> 8);
    }
    TBytes& Long(std::uint32_t value) {
        return FEndianness == TEndianness::BigEndian ? Word(value >> 16).Word(value & 0xFFFF)
                                                     : Word(value & 0xFFFF).Word(value >> 16);
    }
    // A 12-byte entry whose value field holds `value` as a 32-bit number.
    TBytes& Entry(std::uint16_t id, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        return Word(id).Word(type).Long(count).Long(value);
    }
    // An entry whose value field holds these bytes, left-justified.
    TBytes& InlineEntry(std::uint16_t id, std::uint16_t type, std::uint32_t count,
                        std::initializer_list<std::uint8_t> value) {
        Word(id).Word(type).Long(count).Bytes(value);
        return Zeros(4 - value.size());
    }
    TBytes& Zeros(std::size_t count) {
        FBytes.insert(FBytes.end(), count, 0);
        return *this;
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(FBytes.size()); }
    const std::vector<std::uint8_t>& Get() const { return FBytes; }

private:
    TEndianness FEndianness;
    std::vector<std::uint8_t> FBytes;
};

// The first directory of a TIFF structure, its parser keeping the stream alive.
inline std::shared_ptr<IFoundTiffDirectory> FirstDirectory(const std::vector<std::uint8_t>& bytes) {
    auto parser = CreateTiffParser(std::make_unique<TMemoryStream>(bytes));
    for (const auto& directory : *parser) {
        return directory;
    }
    return nullptr;
}

// A tag outside any section holding the given elements in host byte order.
template <typename T>
std::unique_ptr<TExifTag> TagOf(TTiffDataType type, std::initializer_list<T> values,
                                TTiffTagID id = 1) {
    auto tag = std::make_unique<TExifTag>(id, type, 0);
    std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    const int elementSize = TiffElementSize(type);
    tag->UpdateData(type, static_cast<std::int32_t>(bytes.size() / elementSize), bytes.data());
    return tag;
}

inline std::vector<std::uint8_t> BytesOf(const TExifTag& tag) {
    return {tag.GetBytes().begin(), tag.GetBytes().end()};
}

template <typename T> std::vector<T> ValuesOf(const TExifTag& tag) {
    std::vector<T> values(tag.GetBytes().size() / sizeof(T));
    std::memcpy(values.data(), tag.GetBytes().data(), values.size() * sizeof(T));
    return values;
}

inline std::vector<int> IDsOf(const TExifSection& section) {
    std::vector<int> ids;
    for (const TExifTag& tag : section) {
        ids.push_back(tag.GetID());
    }
    return ids;
}

} // namespace ExifTestSupport
