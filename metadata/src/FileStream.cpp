#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kestrix::Exif {

namespace {

std::string OSReason(int error) {
    return std::strerror(error);
}

int OpenFlags(TFileMode mode) {
    switch (mode) {
    case TFileMode::fmOpenRead:
        return O_RDONLY;
    case TFileMode::fmOpenReadWrite:
        return O_RDWR;
    case TFileMode::fmCreate:
        return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

} // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode) : FFileName(path) {
    FHandle = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
    if (FHandle < 0) {
        const int error = errno;
        if (mode == TFileMode::fmCreate) {
            throw EFCreateError(path, OSReason(error));
        }
        throw EFOpenError(path, OSReason(error));
    }
    struct stat info {};
    if (::fstat(FHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(path, OSReason(EISDIR));
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) {
        ::close(FHandle);
    }
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    std::size_t done = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FHandle, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    std::size_t done = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(FHandle, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = SEEK_SET;
    if (origin == TSeekOrigin::soCurrent) {
        whence = SEEK_CUR;
    } else if (origin == TSeekOrigin::soEnd) {
        whence = SEEK_END;
    }
    const off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    if (result < 0) {
        throw EStreamError(Consts::SSeekBeforeStart);
    }
    return result;
}

std::int64_t TFileStream::GetSize() {
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) {
        return TStream::GetSize();
    }
    return info.st_size;
}

void TFileStream::SetSize(std::int64_t newSize) {
    if (newSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0) {
        throw EWriteError();
    }
    if (GetPosition() > newSize) {
        SetPosition(newSize);
    }
}

void TFileStream::Flush() {
    if (::fsync(FHandle) != 0) {
        throw EWriteError();
    }
}

} // namespace Kestrix::Exif
