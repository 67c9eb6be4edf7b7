#pragma once

// Shell helpers shared by the interop tests, which check our files against independent tools
// (exiftool, exiv2, ImageMagick, libtiff tools). Kept in one place so every test finds tools,
// quotes paths and places scratch files the same way.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace InteropSupport {

inline bool ToolInstalled(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// PICTAVO_TMP (set by ctest to a folder under the build tree) or the system temp folder, plus the
// test's own subfolder so tests running in parallel never share files.
inline std::filesystem::path ScratchFolder(const std::string& subfolder) {
    const char* configured = std::getenv("PICTAVO_TMP");
    const std::filesystem::path root = configured != nullptr && *configured != '\0'
                                           ? std::filesystem::path(configured)
                                           : std::filesystem::temp_directory_path();
    const std::filesystem::path folder = root / subfolder;
    std::filesystem::create_directories(folder);
    return folder;
}

// Single quotes for the shell; scratch paths never contain a quote themselves.
inline std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// Runs a command silently; true when it exits with status 0.
inline bool RunTool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// What happens to a captured command's standard error.
enum class StdErr {
    Keep,    // left on the test's own stderr: notes there are not part of the answer
    Merge,   // captured along with standard output
    Discard, // thrown away
};

// Runs a shell command and returns its standard output (exit status ignored); fails the test when
// the command cannot be started at all.
inline std::string RunAndCapture(const std::string& command,
                                 const StdErr stderrMode = StdErr::Keep) {
    const std::string redirect = stderrMode == StdErr::Merge     ? " 2>&1"
                                 : stderrMode == StdErr::Discard ? " 2>/dev/null"
                                                                 : "";
    std::string output;
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + redirect).c_str(), "r"),
                                                     ::pclose);
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    std::array<char, 4096> chunk{};
    while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) {
        output.append(chunk.data(), n);
    }
    return output;
}

} // namespace InteropSupport
