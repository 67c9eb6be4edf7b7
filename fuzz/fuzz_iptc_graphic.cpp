// Loads the IPTC of arbitrary bytes as an image, reads every property, saves it
// back into the image in memory and checks that the saved IPTC reads back.
#include "kestrix/IPTC.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace Kestrix::Exif;

namespace {

// An image held in memory, as the graphic forms of load and save take it.
class TImage : public IStreamPersist {
public:
    TImage(const std::uint8_t* data, std::size_t size) : FBytes(data, data + size) {}
    void LoadFromStream(TStream& stream) override {
        FBytes.resize(static_cast<std::size_t>(stream.BytesLeft()));
        stream.ReadBuffer(FBytes.data(), FBytes.size());
    }
    void SaveToStream(TStream& stream) override {
        stream.WriteBuffer(FBytes.data(), FBytes.size());
    }

private:
    std::vector<std::uint8_t> FBytes;
};

std::vector<std::uint8_t> IIMBytes(TIPTCData& data) {
    TMemoryStream stream;
    data.SaveToStream(stream);
    const auto bytes = stream.GetBytes();
    return {bytes.begin(), bytes.end()};
}

void ReadEveryProperty(const TIPTCData& data) {
    for (const std::string& name : data.GetPropertyNames()) {
        if (data.GetPropertyKind(name) == TPropertyKind::pkText) {
            data.GetPropertyText(name);
        } else {
            data.GetPropertyStrings(name);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TIPTCData iptc;
    try {
        TUserMemoryStream input(data, size);
        if (!iptc.LoadFromGraphic(input)) {
            return 0;
        }
    } catch (const Exception&) {
        return 0;
    }
    ReadEveryProperty(iptc);
    iptc.SetPropertyStrings("Keywords", {"fuzz", ""});

    TImage image(data, size);
    try {
        iptc.SaveToGraphic(image);
    } catch (const Exception&) {
        // Damaged images may be refused (segment too large, broken TIFF data).
        return 0;
    }
    const std::vector<std::uint8_t> written = IIMBytes(iptc);
    TIPTCData reloaded;
    if (!reloaded.LoadFromGraphic(image) || IIMBytes(reloaded) != written) {
        std::abort();
    }
    return 0;
}
