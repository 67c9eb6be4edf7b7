#include "Dump.h"
#include "kestrix/IPTC.h"
#include "kestrix/Text.h"

#include <vector>

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

// Dataset 1:90 holding ESC % G says the text of the whole block is UTF-8.
constexpr std::string_view UTF8MarkerBytes{"\x1B%G", 3};

struct TDataset {
    TIPTCTagInfo Info;
    std::span<const std::uint8_t> Data;
};

std::string_view AsChars(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsUTF8Marker(const TDataset& dataset) {
    return dataset.Info.SectionID == 1 && dataset.Info.TagID == 90 &&
           AsChars(dataset.Data) == UTF8MarkerBytes;
}

// Numbers of 1, 2 or 4 bytes are big-endian: unsigned byte and word, signed long.
std::string NumericValue(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (const std::uint8_t byte : data) {
        value = value << 8 | byte;
    }
    switch (data.size()) {
    case 1:
    case 2:
        return std::to_string(value);
    case 4:
        return std::to_string(static_cast<std::int32_t>(value));
    default:
        return ShortHex(data);
    }
}

std::string DatasetValue(const TDataset& dataset, bool utf8) {
    if (IsUTF8Marker(dataset)) {
        return "ESC % G (text is UTF-8)";
    }
    if (IsNumericIPTCTag(dataset.Info.SectionID, dataset.Info.TagID)) {
        return NumericValue(dataset.Data);
    }
    const std::string_view bytes = AsChars(dataset.Data);
    return ShortText(utf8 ? std::string(bytes) : AnsiToUTF8(bytes));
}

} // namespace

void DumpIPTC(std::span<const std::uint8_t> bytes, std::ostream& out, int indent) {
    TUserMemoryStream stream(bytes);
    std::vector<TDataset> datasets;
    TIPTCTagInfo info;
    while (TryReadIIMDatasetHeader(stream, info)) {
        const auto start = static_cast<std::size_t>(stream.GetPosition());
        const auto size = static_cast<std::size_t>(info.DataSize);
        datasets.push_back({info, bytes.subspan(start, size)});
        stream.Seek(info.DataSize, TSeekOrigin::soCurrent);
    }
    const bool utf8 = std::ranges::any_of(datasets, IsUTF8Marker);
    out << Indent(indent) << "IPTC datasets: " << datasets.size() << ", text "
        << (utf8 ? "UTF-8" : "Windows-1252") << '\n';
    if (!datasets.empty()) {
        out << Indent(indent + DumpIndentStep) << "dataset  length  value\n";
    }
    for (const TDataset& dataset : datasets) {
        const std::string id = Format("%d:%d", dataset.Info.SectionID, dataset.Info.TagID);
        out << Indent(indent + DumpIndentStep) << Format("%-7s  %6d  ", id, dataset.Info.DataSize)
            << DatasetValue(dataset, utf8) << '\n';
    }
    const std::int64_t rest = stream.BytesLeft();
    if (rest > 0) {
        out << Indent(indent + DumpIndentStep)
            << Format("%lld bytes after the last dataset are no dataset: ",
                      static_cast<long long>(rest))
            << ShortHex(bytes.subspan(static_cast<std::size_t>(stream.GetPosition()))) << '\n';
    }
}

} // namespace Pictavo::Cli
