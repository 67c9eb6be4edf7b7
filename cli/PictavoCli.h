// pictavo-cli: reads, writes and lists the metadata of JPEG, TIFF and PSD files
// from the command line. The whole tool runs through RunPictavoCli so that
// tests can drive it with in-memory output streams.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace Pictavo::Cli {

inline constexpr int ExitSuccess = 0;
// The operation failed; the message is on the error stream.
inline constexpr int ExitFailure = 1;
// The command line was not understood.
inline constexpr int ExitUsage = 2;

inline constexpr const char* ProgramName = "pictavo-cli";

// `args` are the arguments after the program name.
int RunPictavoCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

} // namespace Pictavo::Cli
