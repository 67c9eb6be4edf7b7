// Loading and saving the IPTC container in JPEG, PSD and TIFF files.
#include "kestrix/IPTC.h"

namespace Kestrix::Exif {

bool TIPTCData::LoadFromGraphic(TStream&) {
    Clear();
    return false;
}

bool TIPTCData::LoadFromGraphic(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    return LoadFromGraphic(stream);
}

bool TIPTCData::LoadFromGraphic(IStreamPersist& graphic) {
    TMemoryStream stream;
    graphic.SaveToStream(stream);
    stream.SetPosition(0);
    return LoadFromGraphic(stream);
}

void TIPTCData::SaveToGraphic(const std::string&) {
    throw EUnsupportedGraphicFormat();
}

void TIPTCData::SaveToGraphic(IStreamPersist&) {
    throw EUnsupportedGraphicFormat();
}

} // namespace Kestrix::Exif
