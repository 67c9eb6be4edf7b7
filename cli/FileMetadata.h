// The metadata containers of one image file, and the field names that reach
// their properties: "IPTC" + a text property of the IPTC container
// ("IPTCCity"), "SDA" + one of its list properties ("SDAKeywords"). Names
// without either prefix belong to the EXIF container.
#pragma once

#include "kestrix/PublishedProperties.h"

#include <memory>
#include <string>
#include <vector>

namespace Kestrix::Exif {
class TIPTCData;
}

namespace Pictavo::Cli {

struct TFieldRef {
    std::string FieldName;
    Kestrix::Exif::IPublishedObject* Container = nullptr;
    std::string PropertyName;
    Kestrix::Exif::TPropertyKind Kind = Kestrix::Exif::TPropertyKind::pkText;
};

class TFileMetadata {
public:
    TFileMetadata();
    ~TFileMetadata();
    TFileMetadata(const TFileMetadata&) = delete;
    TFileMetadata& operator=(const TFileMetadata&) = delete;

    // Raises EPropertyError "Property %s does not exist" (with the field name)
    // for a name no container publishes under that prefix, and "Invalid
    // property type: %s" when the prefix asks for the other kind.
    TFieldRef Resolve(const std::string& fieldName) const;

    // Every name Resolve accepts: the text fields, then the list fields.
    static std::vector<std::string> ListFieldNames();

    // False when no container recognises the file's format.
    bool LoadFromGraphic(const std::string& fileName);
    // Each container rewrites the file in turn; a failure leaves the file as
    // the previous save left it.
    void SaveToGraphic(const std::string& fileName);

private:
    std::unique_ptr<Kestrix::Exif::TIPTCData> FIPTC;
};

} // namespace Pictavo::Cli
