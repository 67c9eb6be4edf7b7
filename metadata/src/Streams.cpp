#include "kestrix/Streams.h"

#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace Kestrix::Exif {

std::int64_t TStream::GetSize() {
    const std::int64_t position = GetPosition();
    const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    SetPosition(position);
    return size;
}

std::int64_t TStream::BytesLeft() {
    const std::int64_t position = GetPosition();
    const std::int64_t size = GetSize();
    return position < size ? size - position : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count) {
        throw EReadError();
    }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count) {
        throw EWriteError();
    }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    if (count < 0) {
        throw EReadError();
    }
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&source)) {
        // Straight from the source's buffer: no intermediate copy.
        const std::int64_t position = memory->GetPosition();
        if (position < 0 || count > memory->GetSize() - position) {
            throw EReadError();
        }
        WriteBuffer(memory->GetMemory() + position, static_cast<std::size_t>(count));
        memory->Seek(count, TSeekOrigin::soCurrent);
        return count;
    }
    constexpr std::size_t ChunkSize = 1 << 16;
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::int64_t>(count, ChunkSize)));
    for (std::int64_t left = count; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, ChunkSize));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    return count;
}

// ---------------------------------------------------------------------------

std::size_t TCustomMemoryStream::Read(void* buffer, std::size_t count) {
    const auto size = static_cast<std::int64_t>(GetMemorySize());
    if (FPosition >= size || count == 0) {
        return 0;
    }
    const auto available = static_cast<std::uint64_t>(size - FPosition);
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(available, count));
    std::memcpy(buffer, GetMemory() + FPosition, n);
    FPosition += static_cast<std::int64_t>(n);
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning:
        base = 0;
        break;
    case TSeekOrigin::soCurrent:
        base = FPosition;
        break;
    case TSeekOrigin::soEnd:
        base = static_cast<std::int64_t>(GetMemorySize());
        break;
    }
    if ((offset < 0 && base < -offset) ||
        (offset > 0 && offset > std::numeric_limits<std::int64_t>::max() - base)) {
        throw EStreamError(Consts::SSeekBeforeStart);
    }
    FPosition = base + offset;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& destination) const {
    destination.WriteBuffer(GetMemory(), GetMemorySize());
}

void TCustomMemoryStream::SaveToFile(const std::string& path) const {
    TFileStream file(path, TFileMode::fmCreate);
    SaveToStream(file);
}

// ---------------------------------------------------------------------------

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    const auto end = static_cast<std::size_t>(FPosition) + count;
    if (end < count) {
        throw EWriteError();
    }
    if (end > FData.size()) {
        FData.resize(end); // a gap left by seeking past the end is zero-filled
    }
    std::memcpy(FData.data() + FPosition, buffer, count);
    FPosition = static_cast<std::int64_t>(end);
    return count;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
    if (newSize < 0) {
        throw EStreamError(Consts::SSeekBeforeStart);
    }
    FData.resize(static_cast<std::size_t>(newSize));
    FPosition = std::min(FPosition, newSize);
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const std::int64_t size = source.GetSize();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    source.ReadBuffer(bytes.data(), bytes.size());
    FData = std::move(bytes);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
    TFileStream file(path, TFileMode::fmOpenRead);
    LoadFromStream(file);
}

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
    FPosition = 0;
    return std::exchange(FData, {});
}

// ---------------------------------------------------------------------------

TUserMemoryStream::TUserMemoryStream(const void* memory, std::size_t size)
    : FMemory(static_cast<const std::uint8_t*>(memory)), FSize(size) {}

void TUserMemoryStream::ChangeMemory(const void* newMemory, std::size_t newSize) {
    FMemory = static_cast<const std::uint8_t*>(newMemory);
    FSize = newSize;
    FPosition = 0;
}

std::size_t TUserMemoryStream::Write(const void*, std::size_t) {
    throw EStreamError(Consts::SStreamReadOnly);
}

void TUserMemoryStream::SetSize(std::int64_t) {
    throw EStreamError(Consts::SStreamReadOnly);
}

} // namespace Kestrix::Exif
