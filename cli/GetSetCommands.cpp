#include "Commands.h"
#include "FileMetadata.h"
#include "Json.h"
#include "kestrix/BaseUtils.h"
#include "kestrix/IPTC.h"

#include <algorithm>
#include <variant>

namespace Pictavo::Cli {

using namespace Kestrix::Exif;

namespace {

using TFieldValue = std::variant<std::string, std::vector<std::string>>;

std::vector<TFieldRef> ResolveAll(const TFileMetadata& metadata,
                                  const std::vector<std::string>& fieldNames) {
    std::vector<TFieldRef> fields;
    fields.reserve(fieldNames.size());
    for (const std::string& name : fieldNames) {
        fields.push_back(metadata.Resolve(name));
    }
    return fields;
}

void LoadOrRefuse(TFileMetadata& metadata, const std::string& fileName) {
    if (!metadata.LoadFromGraphic(fileName)) {
        throw EUnsupportedGraphicFormat();
    }
}

TFieldValue ReadField(const TFieldRef& field) {
    if (field.Kind == TPropertyKind::pkStrings) {
        return field.Container->GetPropertyStrings(field.PropertyName);
    }
    return field.Container->GetPropertyText(field.PropertyName);
}

void WritePlain(std::ostream& out, const TFieldRef& field, const TFieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        out << field.FieldName << '=' << *text << '\n';
        return;
    }
    for (const std::string& element : std::get<std::vector<std::string>>(value)) {
        out << field.FieldName << '=' << element << '\n';
    }
}

void WriteJsonValue(std::ostream& out, const TFieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        out << JsonQuote(*text);
        return;
    }
    out << '[';
    const char* separator = "";
    for (const std::string& element : std::get<std::vector<std::string>>(value)) {
        out << separator << JsonQuote(element);
        separator = ", ";
    }
    out << ']';
}

// One object; a name asked for twice appears once.
void WriteJson(std::ostream& out, const std::vector<TFieldRef>& fields,
               const std::vector<TFieldValue>& values) {
    out << '{';
    std::vector<std::string> written;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (std::ranges::find(written, fields[i].FieldName) != written.end()) {
            continue;
        }
        out << (written.empty() ? "\n  " : ",\n  ") << JsonQuote(fields[i].FieldName) << ": ";
        WriteJsonValue(out, values[i]);
        written.push_back(fields[i].FieldName);
    }
    out << (written.empty() ? "}\n" : "\n}\n");
}

// The values a set command gives one field, in command-line order.
struct TFieldChange {
    TFieldRef Field;
    std::vector<std::string> Values;
};

std::vector<TFieldChange> CollectChanges(const TFileMetadata& metadata,
                                         const std::vector<TAssignment>& assignments) {
    std::vector<TFieldChange> changes;
    for (const TAssignment& assignment : assignments) {
        auto existing = std::ranges::find_if(changes, [&](const TFieldChange& change) {
            return change.Field.FieldName == assignment.FieldName;
        });
        if (existing == changes.end()) {
            changes.push_back({metadata.Resolve(assignment.FieldName), {assignment.Value}});
            continue;
        }
        if (existing->Field.Kind != TPropertyKind::pkStrings) {
            throw EUsageError(assignment.FieldName +
                              " is given more than once; only list fields take several values");
        }
        existing->Values.push_back(assignment.Value);
    }
    return changes;
}

void ApplyChange(const TFieldChange& change) {
    const TFieldRef& field = change.Field;
    if (field.Kind == TPropertyKind::pkText) {
        // Empty text removes the field.
        field.Container->SetPropertyText(field.PropertyName, change.Values.front());
        return;
    }
    // A lone empty value clears the list; an empty value among others stays
    // as an empty element.
    const bool clears = change.Values.size() == 1 && change.Values.front().empty();
    field.Container->SetPropertyStrings(field.PropertyName,
                                        clears ? std::vector<std::string>{} : change.Values);
}

} // namespace

TAssignment ParseAssignment(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        throw EUsageError("expected NAME=VALUE, got '" + argument + "'");
    }
    if (equals == 0) {
        throw EUsageError("missing field name in '" + argument + "'");
    }
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

void RunGet(const TGetOptions& options, std::ostream& out) {
    TFileMetadata metadata;
    const std::vector<TFieldRef> fields = ResolveAll(metadata, options.FieldNames);
    LoadOrRefuse(metadata, options.FileName);
    std::vector<TFieldValue> values;
    values.reserve(fields.size());
    for (const TFieldRef& field : fields) {
        values.push_back(ReadField(field));
    }
    if (options.Json) {
        WriteJson(out, fields, values);
        return;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        WritePlain(out, fields[i], values[i]);
    }
}

void RunSet(const TSetOptions& options) {
    TFileMetadata metadata;
    const std::vector<TFieldChange> changes = CollectChanges(metadata, options.Assignments);
    LoadOrRefuse(metadata, options.FileName);
    for (const TFieldChange& change : changes) {
        ApplyChange(change);
    }
    metadata.SaveToGraphic(options.FileName);
}

std::vector<std::string> ListFieldNames() {
    return TFileMetadata::ListFieldNames();
}

} // namespace Pictavo::Cli
