#include "kestrix/FileSystem.h"

#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Kestrix::Exif {

namespace {

std::string OSReason(int error) {
    return std::strerror(error);
}

// Forces a folder's entries (a rename into it) to the disk.
void SyncFolder(const std::string& folder) {
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

} // namespace

std::string GetTempFolder() {
    std::error_code error;
    const auto folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : folder.string();
}

std::string ExtractFileDir(const std::string& path) {
    const auto parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string ResolveSymbolicLinks(const std::string& path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}

std::unique_ptr<TFileStream> CreateUniqueFile(const std::string& folder,
                                              const std::string& prefix) {
    std::string pattern = (std::filesystem::path(folder) / (prefix + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int handle = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle < 0) {
        throw EFCreateError(pattern, OSReason(errno));
    }
    ::close(handle);
    const std::string path(name.data());
    try {
        return std::make_unique<TFileStream>(path, TFileMode::fmOpenReadWrite);
    } catch (...) {
        DeleteFile(path);
        throw;
    }
}

std::uint64_t GetHardLinkCount(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_nlink);
}

void CopyFilePermissions(const std::string& source, const std::string& target) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0) {
        throw EWriteError(Format(Consts::SReadPermissionsError, source, OSReason(errno)));
    }
    // Only a privileged process may give the file away; others keep their own.
    if (::chown(target.c_str(), info.st_uid, info.st_gid) != 0) {
        [[maybe_unused]] const int ignored =
            ::chown(target.c_str(), static_cast<uid_t>(-1), info.st_gid);
    }
    if (::chmod(target.c_str(), info.st_mode & 07777) != 0) {
        throw EWriteError(Format(Consts::SSetPermissionsError, target, OSReason(errno)));
    }
}

void ReplaceFile(const std::string& source, const std::string& target) {
    if (::rename(source.c_str(), target.c_str()) != 0) {
        throw EWriteError(Format(Consts::SReplaceFileError, target, OSReason(errno)));
    }
    SyncFolder(ExtractFileDir(target));
}

bool DeleteFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0;
}

} // namespace Kestrix::Exif
