// Byte streams: the one way the library reads and writes bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace Kestrix::Exif {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Read and Write move at most `count` bytes and return how many they moved.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Returns the new position. Seeking before the start raises EStreamError;
    // seeking past the end is allowed (a later write fills the gap with zeros).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t GetSize();
    virtual void SetSize(std::int64_t newSize) = 0;

    std::int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    // Bytes between the position and the end; 0 when the position is past the end.
    std::int64_t BytesLeft();

    // Read exactly `count` bytes or raise EReadError "Stream read error".
    void ReadBuffer(void* buffer, std::size_t count);
    // Write all `count` bytes or raise EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, std::size_t count);
    void WriteBuffer(std::span<const std::uint8_t> bytes) {
        WriteBuffer(bytes.data(), bytes.size());
    }
    // Copies `count` bytes from the source's position; a count of 0 copies the
    // whole source from its start. Raises EReadError when the source ends early.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A stream over one contiguous buffer that callers may read in place.
class TCustomMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t GetSize() override { return static_cast<std::int64_t>(GetMemorySize()); }

    virtual const std::uint8_t* GetMemory() const = 0;
    virtual std::size_t GetMemorySize() const = 0;
    std::span<const std::uint8_t> GetBytes() const { return {GetMemory(), GetMemorySize()}; }
    void SaveToStream(TStream& destination) const;
    void SaveToFile(const std::string& path) const;

protected:
    std::int64_t FPosition = 0;
};

// A growable memory stream that owns its buffer.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}

    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t newSize) override;
    const std::uint8_t* GetMemory() const override { return FData.data(); }
    std::size_t GetMemorySize() const override { return FData.size(); }
    std::uint8_t* GetMemory() { return FData.data(); }
    std::span<std::uint8_t> GetMutableBytes() { return FData; }
    void Clear();
    // Replace the content by the whole of a stream or file; the position moves to 0.
    void LoadFromStream(TStream& source);
    void LoadFromFile(const std::string& path);
    std::vector<std::uint8_t> TakeBytes();

private:
    std::vector<std::uint8_t> FData;
};

// A read-only stream over memory the caller owns and keeps alive.
class TUserMemoryStream : public TCustomMemoryStream {
public:
    TUserMemoryStream(const void* memory, std::size_t size);
    explicit TUserMemoryStream(std::span<const std::uint8_t> bytes)
        : TUserMemoryStream(bytes.data(), bytes.size()) {}
    void ChangeMemory(const void* newMemory, std::size_t newSize);

    // Writing or resizing raises EStreamError "Stream is read-only".
    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t newSize) override;
    const std::uint8_t* GetMemory() const override { return FMemory; }
    std::size_t GetMemorySize() const override { return FSize; }

private:
    const std::uint8_t* FMemory;
    std::size_t FSize;
};

// An object that loads itself from a stream and saves itself into one.
class IStreamPersist {
public:
    virtual ~IStreamPersist() = default;
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
};

enum class TFileMode { fmOpenRead, fmOpenReadWrite, fmCreate };

// A file opened for the stream's lifetime. Opening failures raise EFOpenError or
// EFCreateError naming the path and the OS reason.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t GetSize() override;
    void SetSize(std::int64_t newSize) override;
    // Forces the written bytes to the disk; raises EWriteError on failure.
    void Flush();
    const std::string& GetFileName() const { return FFileName; }

private:
    std::string FFileName;
    int FHandle = -1;
};

} // namespace Kestrix::Exif
