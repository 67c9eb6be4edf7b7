#include "TiffRewriteSupport.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace Kestrix::Exif {

namespace {

constexpr bool HostIsBigEndian = std::endian::native == std::endian::big;
constexpr std::int64_t TinyInputSlack = 4096;
// Marks a directory of the main chain; no pointer tag ID is negative.
constexpr std::int32_t MainChain = -1;

} // namespace

std::int64_t TiffInputLength(ITiffParser& parser) {
    return std::max<std::int64_t>(0, parser.GetStream().GetSize() - parser.GetBasePosition());
}

void TTiffRewriteContext::Charge(ITiffParser& parser, std::int64_t bytes) {
    FLimit = std::max(FLimit, 2 * TiffInputLength(parser) + TinyInputSlack);
    FTaken += bytes;
    if (FTaken > FLimit) {
        throw EInvalidTiffData();
    }
}

void TTiffRewriteContext::ClaimMainDirectory(const IFoundTiffDirectory& directory) {
    if (const auto* found = dynamic_cast<const TFoundTiffDirectory*>(&directory)) {
        FDirectories.emplace(std::pair(found->GetParser().get(), found->GetOffset()), MainChain);
    }
}

bool TTiffRewriteContext::TryClaimSubDirectory(const IFoundTiffDirectory& directory,
                                               TTiffTagID pointerID) {
    const auto* found = dynamic_cast<const TFoundTiffDirectory*>(&directory);
    if (found == nullptr) {
        return true;
    }
    const auto [place, added] =
        FDirectories.emplace(std::pair(found->GetParser().get(), found->GetOffset()), pointerID);
    return added || place->second == pointerID;
}

void WriteTiffElements(TStream& stream, TEndianness endianness, TTiffDataType dataType,
                       std::span<const std::uint8_t> hostData) {
    const auto width = static_cast<std::size_t>(TiffByteOrderUnit(dataType));
    if (width == 1 || (endianness == TEndianness::BigEndian) == HostIsBigEndian) {
        stream.WriteBuffer(hostData);
        return;
    }
    std::vector<std::uint8_t> swapped(hostData.begin(), hostData.end());
    for (std::size_t i = 0; i + width <= swapped.size(); i += width) {
        std::reverse(swapped.begin() + static_cast<std::ptrdiff_t>(i),
                     swapped.begin() + static_cast<std::ptrdiff_t>(i + width));
    }
    stream.WriteBuffer(swapped);
}

void WriteTiffPadding(TStream& stream, std::int64_t written, std::int64_t size) {
    static constexpr std::array<std::uint8_t, 64> Zeros{};
    for (std::int64_t left = size - written; left > 0;) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(left, Zeros.size()));
        stream.WriteBuffer(Zeros.data(), chunk);
        left -= static_cast<std::int64_t>(chunk);
    }
}

} // namespace Kestrix::Exif
