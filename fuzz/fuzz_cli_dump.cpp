// The dump command's listing of arbitrary bytes as JPEG, PSD or TIFF: every
// damaged structure must be listed or refused with a library error.
#include "Dump.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Streams.h"

#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Kestrix::Exif::TUserMemoryStream stream(data, size);
    std::ostringstream out;
    try {
        Pictavo::Cli::DumpGraphic(stream, out);
    } catch (const Kestrix::Exif::Exception&) {
        // Unsupported formats and headers the parsers refuse.
    }
    return 0;
}
