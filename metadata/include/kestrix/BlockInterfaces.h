// The block view that TIFF tags share with the other metadata blocks, and the
// load/save contract of objects persisted through streams.
#pragma once

#include "kestrix/Streams.h"

namespace Kestrix::Exif {

class IStreamPersist {
public:
    virtual ~IStreamPersist() = default;
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
};

// A run of bytes that may carry Exif, IPTC or XMP data.
class IMetadataBlock {
public:
    virtual ~IMetadataBlock() = default;
    virtual TCustomMemoryStream& GetData() = 0;
    virtual bool IsExifBlock(bool checkID = true) = 0;
    virtual bool IsIPTCBlock(bool checkID = true) = 0;
    virtual bool IsXMPBlock(bool checkID = true) = 0;
};

} // namespace Kestrix::Exif
