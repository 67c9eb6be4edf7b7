#include "Dump.h"
#include "kestrix/TagIDs.h"
#include "kestrix/Text.h"
#include "kestrix/TiffUtils.h"

#include <cstring>
#include <unordered_set>

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

// Sub-directories are followed this deep and this often per structure, each
// offset once, so pointer tags cannot make the listing endless or explosive.
constexpr int MaxSubDirectoryDepth = 8;
constexpr int MaxSubDirectories = 64;
constexpr std::size_t MaxNumbersShown = 8;

std::string TypeName(TTiffDataType type) {
    static constexpr const char* names[] = {"",          "BYTE",  "ASCII",     "SHORT",  "LONG",
                                            "RATIONAL",  "SBYTE", "UNDEFINED", "SSHORT", "SLONG",
                                            "SRATIONAL", "FLOAT", "DOUBLE",    "IFD"};
    return IsValidTiffDataType(type) ? names[static_cast<std::uint16_t>(type)]
                                     : Format("type %u", static_cast<unsigned>(type));
}

std::string PointerName(TTiffTagID id) {
    switch (id) {
    case TagIDs::ttExifOffset:
        return "Exif";
    case TagIDs::ttGPSOffset:
        return "GPS";
    case TagIDs::ttInteropOffset:
        return "Interoperability";
    default:
        return Format("0x%04X", static_cast<unsigned>(id));
    }
}

std::string LoadErrorsText(TMetadataLoadErrors errors) {
    if (errors.Empty()) {
        return "none";
    }
    std::string result;
    const auto add = [&](TMetadataLoadError error, const char* name) {
        if (errors.Contains(error)) {
            result += result.empty() ? name : std::string(", ") + name;
        }
    };
    add(TMetadataLoadError::leBadOffset, "bad offset");
    add(TMetadataLoadError::leBadTagCount, "bad tag count");
    add(TMetadataLoadError::leBadTagHeader, "bad tag header");
    return result;
}

// Elements of the data, in host byte order, each turned to text by `render`.
template <typename T, typename Render>
std::string Elements(std::span<const std::uint8_t> data, std::size_t maxShown, Render render) {
    const std::size_t count = data.size() / sizeof(T);
    std::string result;
    for (std::size_t i = 0; i < count && i < maxShown; ++i) {
        T value;
        std::memcpy(&value, data.data() + i * sizeof(T), sizeof(T));
        result += (i == 0 ? "" : " ") + render(value);
    }
    if (count > maxShown) {
        result += " ...";
    }
    return result;
}

template <typename T> std::string Numbers(std::span<const std::uint8_t> data) {
    return Elements<T>(data, MaxNumbersShown, [](T v) { return std::to_string(v); });
}

template <typename TPart> std::string Fractions(std::span<const std::uint8_t> data) {
    return Elements<TTiffFraction<TPart>>(data, MaxNumbersShown / 2, [](auto v) {
        return Format("%lld/%lld", static_cast<long long>(v.Numerator),
                      static_cast<long long>(v.Denominator));
    });
}

template <typename T> std::string Floats(std::span<const std::uint8_t> data) {
    return Elements<T>(data, MaxNumbersShown / 2,
                       [](T v) { return FloatToStr(static_cast<double>(v)); });
}

std::string BytesValue(std::span<const std::uint8_t> data) {
    // Version tags and the like are text in all but name.
    if (!data.empty() && IsPrintableASCII(data)) {
        return ShortText({reinterpret_cast<const char*>(data.data()), data.size()});
    }
    return ShortHex(data);
}

std::string AsciiValue(std::span<const std::uint8_t> data) {
    const std::string_view chars(reinterpret_cast<const char*>(data.data()), data.size());
    return ShortText(AnsiToUTF8(chars.substr(0, chars.find('\0'))));
}

std::string ShortValue(TTiffTagID id, TTiffDataType type, std::span<const std::uint8_t> data) {
    if (id == TagIDs::ttIPTC) {
        return "IPTC, below";
    }
    if (id == TagIDs::ttXMP) {
        return "XMP packet";
    }
    switch (type) {
    case TTiffDataType::tdAscii:
        return AsciiValue(data);
    case TTiffDataType::tdByte:
    case TTiffDataType::tdUndefined:
        return BytesValue(data);
    case TTiffDataType::tdSByte:
        return Numbers<std::int8_t>(data);
    case TTiffDataType::tdShort:
        return Numbers<std::uint16_t>(data);
    case TTiffDataType::tdSShort:
        return Numbers<std::int16_t>(data);
    case TTiffDataType::tdLong:
    case TTiffDataType::tdIFD:
        return Numbers<std::uint32_t>(data);
    case TTiffDataType::tdSLong:
        return Numbers<std::int32_t>(data);
    case TTiffDataType::tdRational:
        return Fractions<std::uint32_t>(data);
    case TTiffDataType::tdSRational:
        return Fractions<std::int32_t>(data);
    case TTiffDataType::tdFloat:
        return Floats<float>(data);
    case TTiffDataType::tdDouble:
        return Floats<double>(data);
    }
    return "(malformed entry)";
}

class TTiffDumper {
public:
    TTiffDumper(ITiffParser& parser, std::ostream& out) : FParser(parser), FOut(out) {}

    void DumpChain(int indent) {
        for (const std::shared_ptr<IFoundTiffDirectory>& directory : FParser) {
            DumpDirectory(directory, Format("IFD%d", directory->GetIndex()), indent, 0);
        }
    }

private:
    void DumpDirectory(const std::shared_ptr<IFoundTiffDirectory>& directory,
                       const std::string& title, int indent, int depth) {
        const auto* found = dynamic_cast<const TFoundTiffDirectory*>(directory.get());
        const std::int64_t offset = found != nullptr ? found->GetOffset() : -1;
        FVisitedOffsets.insert(offset);
        FOut << Indent(indent) << title << " at offset " << offset << ": " << directory->GetCount()
             << " entries, load errors: " << LoadErrorsText(directory->GetLoadErrors()) << '\n';
        if (directory->GetCount() > 0) {
            FOut << Indent(indent + DumpIndentStep) << "tag     type          count  value\n";
        }
        std::vector<std::shared_ptr<ITiffTag>> pointers;
        std::vector<TTiffTagInfo> iptcEntries;
        const TTiffTagInfoDynArray entries = directory->GetTagInfo();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const TTiffTagInfo& entry = entries[i];
            FOut << Indent(indent + DumpIndentStep)
                 << Format("0x%04X  %-9s  %9d  ", static_cast<unsigned>(entry.ID),
                           TypeName(entry.DataType), entry.ElementCount);
            if (!entry.IsWellFormed()) {
                FOut << "(malformed entry)\n";
                continue;
            }
            std::shared_ptr<ITiffTag> tag;
            try {
                tag = std::make_shared<TFoundTiffTag>(
                    std::static_pointer_cast<TFoundTiffDirectory>(directory),
                    static_cast<std::int32_t>(i));
            } catch (const std::exception& error) {
                FOut << "(data unreadable: " << error.what() << ")\n";
                continue;
            }
            FOut << ShortValue(entry.ID, entry.DataType, BlockBytes(*tag)) << '\n';
            if (IsSubDirectoryPointer(entry.ID, entry.DataType, entry.ElementCount)) {
                pointers.push_back(tag);
            }
            if (entry.ID == TagIDs::ttIPTC) {
                iptcEntries.push_back(entry);
            }
        }
        for (const TTiffTagInfo& entry : iptcEntries) {
            DumpIPTC(RawBytes(entry), FOut, indent + DumpIndentStep);
        }
        for (const auto& tag : pointers) {
            DumpSubDirectory(*tag, indent + DumpIndentStep, depth + 1);
        }
    }

    // The data as stored: writers often give the IPTC tag the type LONG, and
    // the tag's data in host byte order would have its IIM bytes swapped.
    std::vector<std::uint8_t> RawBytes(const TTiffTagInfo& entry) {
        TStream& stream = FParser.GetStream();
        const std::int64_t start = FParser.GetBasePosition() + entry.DataOffset;
        const std::int64_t size = stream.GetSize();
        if (start > size || entry.DataSize() > size - start) {
            return {};
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.DataSize()));
        stream.SetPosition(start);
        stream.ReadBuffer(bytes.data(), bytes.size());
        return bytes;
    }

    void DumpSubDirectory(ITiffTag& pointer, int indent, int depth) {
        const std::string title = PointerName(pointer.GetID()) + " sub-directory";
        std::uint32_t target = 0;
        std::memcpy(&target, BlockBytes(pointer).data(), sizeof target);
        if (FVisitedOffsets.contains(target)) {
            FOut << Indent(indent) << title << " at offset " << target << ": listed above\n";
            return;
        }
        if (depth > MaxSubDirectoryDepth || FSubDirectories >= MaxSubDirectories) {
            FOut << Indent(indent) << title << " at offset " << target << ": not followed\n";
            return;
        }
        ++FSubDirectories;
        const std::shared_ptr<IFoundTiffDirectory> directory = FParser.ParseSubDirectory(pointer);
        if (!directory) {
            FVisitedOffsets.insert(target);
            FOut << Indent(indent) << title << " at offset " << target << ": unusable\n";
            return;
        }
        DumpDirectory(directory,
                      title + " (pointer tag " +
                          Format("0x%04X", static_cast<unsigned>(pointer.GetID())) + ")",
                      indent, depth);
    }

    ITiffParser& FParser;
    std::ostream& FOut;
    std::unordered_set<std::int64_t> FVisitedOffsets;
    int FSubDirectories = 0;
};

} // namespace

void DumpTiff(TStream& stream, std::ostream& out, int indent, const std::string& where) {
    std::shared_ptr<ITiffParser> parser;
    try {
        parser = CreateTiffParser(stream);
    } catch (const std::exception& error) {
        out << Indent(indent) << "TIFF structure " << where << ": " << error.what() << '\n';
        return;
    }
    out << Indent(indent) << "TIFF structure " << where << ", "
        << (parser->GetEndianness() == TEndianness::BigEndian ? "big-endian (MM)"
                                                              : "little-endian (II)")
        << "; offsets below count from it\n";
    try {
        TTiffDumper(*parser, out).DumpChain(indent + DumpIndentStep);
    } catch (const std::exception& error) {
        out << Indent(indent + DumpIndentStep) << "listing stopped: " << error.what() << '\n';
    }
}

} // namespace Pictavo::Cli
