#include "Commands.h"
#include "Dump.h"
#include "kestrix/TiffUtils.h"

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

void DumpGraphic(TStream& stream, std::ostream& out) {
    const std::int64_t size = stream.GetSize();
    TEndianness endianness;
    if (IsJPEGStream(stream)) {
        out << Format("JPEG image, %lld bytes\n", static_cast<long long>(size));
        DumpJPEG(stream, out);
    } else if (IsPSDStream(stream)) {
        out << Format("Photoshop (PSD) image, %lld bytes\n", static_cast<long long>(size));
        DumpPSD(stream, out);
    } else if (CheckTiffHeader(stream, endianness, false)) {
        out << Format("TIFF image, %lld bytes\n", static_cast<long long>(size));
        DumpTiff(stream, out, 0, "at file offset 0");
    } else {
        throw EUnsupportedGraphicFormat();
    }
}

void RunDump(const std::string& fileName, std::ostream& out) {
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    DumpGraphic(stream, out);
}

} // namespace Pictavo::Cli
