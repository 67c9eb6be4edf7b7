#include "FileMetadata.h"

#include "kestrix/IPTC.h"

#include <string_view>

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

constexpr std::string_view IPTCTextPrefix = "IPTC";
constexpr std::string_view IPTCListPrefix = "SDA";

[[noreturn]] void RaiseUnknownField(const std::string& fieldName) {
    throw EPropertyError(Format(Consts::SUnknownProperty, fieldName));
}

} // namespace

TFileMetadata::TFileMetadata() : FIPTC(std::make_unique<TIPTCData>()) {}

TFileMetadata::~TFileMetadata() = default;

TFieldRef TFileMetadata::Resolve(const std::string& fieldName) const {
    const std::string_view name = fieldName;
    TFieldRef ref{fieldName, nullptr, {}, TPropertyKind::pkText};
    if (name.starts_with(IPTCTextPrefix)) {
        ref.Container = FIPTC.get();
        ref.PropertyName = name.substr(IPTCTextPrefix.size());
        ref.Kind = TPropertyKind::pkText;
    } else if (name.starts_with(IPTCListPrefix)) {
        ref.Container = FIPTC.get();
        ref.PropertyName = name.substr(IPTCListPrefix.size());
        ref.Kind = TPropertyKind::pkStrings;
    } else {
        // The field table's "DTTV" rows (IPTC dates) are never read or written
        // by name; every other name is an EXIF one, and the EXIF container
        // publishes no properties yet.
        RaiseUnknownField(fieldName);
    }
    if (!ref.Container->HasProperty(ref.PropertyName)) {
        RaiseUnknownField(fieldName);
    }
    if (ref.Container->GetPropertyKind(ref.PropertyName) != ref.Kind) {
        throw EPropertyError(Format(Consts::SInvalidPropertyType, fieldName));
    }
    return ref;
}

std::vector<std::string> TFileMetadata::ListFieldNames() {
    const TFileMetadata metadata;
    std::vector<std::string> textFields;
    std::vector<std::string> listFields;
    for (const std::string& name : metadata.FIPTC->GetPropertyNames()) {
        if (metadata.FIPTC->GetPropertyKind(name) == TPropertyKind::pkText) {
            textFields.push_back(std::string(IPTCTextPrefix) + name);
        } else {
            listFields.push_back(std::string(IPTCListPrefix) + name);
        }
    }
    textFields.insert(textFields.end(), listFields.begin(), listFields.end());
    return textFields;
}

bool TFileMetadata::LoadFromGraphic(const std::string& fileName) {
    return FIPTC->LoadFromGraphic(fileName);
}

void TFileMetadata::SaveToGraphic(const std::string& fileName) {
    FIPTC->SaveToGraphic(fileName);
}

} // namespace Pictavo::Cli
