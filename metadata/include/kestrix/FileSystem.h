// File-system operations beyond opening a stream: unique files, links,
// permissions and the atomic replacement of a file.
#pragma once

#include "kestrix/Streams.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Kestrix::Exif {

// The system's folder for temporary files.
std::string GetTempFolder();
// The folder part of a path ("." for a bare file name).
std::string ExtractFileDir(const std::string& path);
// The path with every symbolic link resolved, so that a replacement lands on
// the file itself and not on the link; the path unchanged when it cannot be resolved.
std::string ResolveSymbolicLinks(const std::string& path);

// Creates a new, empty file named `prefix` plus a unique suffix in `folder`,
// open for reading and writing. Raises EFCreateError.
std::unique_ptr<TFileStream> CreateUniqueFile(const std::string& folder, const std::string& prefix);

// How many directory entries name the file (1 for an ordinary file).
std::uint64_t GetHardLinkCount(const std::string& path);
// Gives `target` the permission bits of `source`, and its owner and group
// where the process may set them. Raises EWriteError when the bits cannot be set.
void CopyFilePermissions(const std::string& source, const std::string& target);
// Renames `source` over `target` in one step and forces the folder entry to
// the disk. Raises EWriteError; `target` is then untouched.
void ReplaceFile(const std::string& source, const std::string& target);
// Deletes a file; false when it could not be deleted.
bool DeleteFile(const std::string& path) noexcept;

} // namespace Kestrix::Exif
