// Access to a container's published properties by name: each class keeps one
// table from property name to getter and setter, read as text (text, number,
// enumeration and date kinds, in their text form) or as a list of strings.
#pragma once

#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Text.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrix::Exif {

class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

enum class TPropertyKind { pkText, pkStrings };

// What callers that know properties only by their names see of a container.
class IPublishedObject {
public:
    virtual ~IPublishedObject() = default;
    // In publication order.
    virtual std::vector<std::string> GetPropertyNames() const = 0;
    virtual bool HasProperty(std::string_view name) const = 0;
    // The methods below raise EPropertyError "Property %s does not exist" for a
    // name that is not published, and "Invalid property type: %s" when text is
    // asked of a list property or a list of a text property. Setting a
    // read-only property raises "Property %s is read-only".
    virtual TPropertyKind GetPropertyKind(std::string_view name) const = 0;
    virtual std::string GetPropertyText(std::string_view name) const = 0;
    virtual void SetPropertyText(std::string_view name, const std::string& value) = 0;
    virtual std::vector<std::string> GetPropertyStrings(std::string_view name) const = 0;
    virtual void SetPropertyStrings(std::string_view name,
                                    const std::vector<std::string>& value) = 0;
};

// The published properties of one class, built once and shared by its objects.
template <typename TOwner> class TPublishedProperties {
public:
    using TTextGetter = std::function<std::string(const TOwner&)>;
    using TTextSetter = std::function<void(TOwner&, const std::string&)>;
    using TStringsGetter = std::function<std::vector<std::string>(const TOwner&)>;
    using TStringsSetter = std::function<void(TOwner&, const std::vector<std::string>&)>;

    struct TProperty {
        std::string Name;
        TPropertyKind Kind;
        TTextGetter GetText;
        TTextSetter SetText;
        TStringsGetter GetStrings;
        TStringsSetter SetStrings;
    };

    // An empty setter makes the property read-only.
    TPublishedProperties& AddText(std::string name, TTextGetter getter, TTextSetter setter) {
        FProperties.push_back(
            {std::move(name), TPropertyKind::pkText, std::move(getter), std::move(setter), {}, {}});
        return *this;
    }

    TPublishedProperties& AddStrings(std::string name, TStringsGetter getter,
                                     TStringsSetter setter) {
        FProperties.push_back({std::move(name),
                               TPropertyKind::pkStrings,
                               {},
                               {},
                               std::move(getter),
                               std::move(setter)});
        return *this;
    }

    const std::vector<TProperty>& GetProperties() const { return FProperties; }

    // Names are matched exactly (case-sensitive); nullptr when not published.
    const TProperty* Find(std::string_view name) const {
        for (const TProperty& property : FProperties) {
            if (property.Name == name) {
                return &property;
            }
        }
        return nullptr;
    }

    const TProperty& Get(std::string_view name) const {
        if (const TProperty* property = Find(name)) {
            return *property;
        }
        throw EPropertyError(Format(Consts::SUnknownProperty, std::string(name)));
    }

    const TProperty& Get(std::string_view name, TPropertyKind kind) const {
        const TProperty& property = Get(name);
        if (property.Kind != kind) {
            throw EPropertyError(Format(Consts::SInvalidPropertyType, std::string(name)));
        }
        return property;
    }

private:
    std::vector<TProperty> FProperties;
};

// Implements IPublishedObject for a class TOwner that derives from it and has
// a static `const TPublishedProperties<TOwner>& PublishedProperties()`.
template <typename TOwner> class TPublishedObject : public IPublishedObject {
public:
    std::vector<std::string> GetPropertyNames() const override {
        std::vector<std::string> names;
        for (const auto& property : Table().GetProperties()) {
            names.push_back(property.Name);
        }
        return names;
    }
    bool HasProperty(std::string_view name) const override { return Table().Find(name); }
    TPropertyKind GetPropertyKind(std::string_view name) const override {
        return Table().Get(name).Kind;
    }
    std::string GetPropertyText(std::string_view name) const override {
        return Table().Get(name, TPropertyKind::pkText).GetText(Self());
    }
    void SetPropertyText(std::string_view name, const std::string& value) override {
        const auto& property = Table().Get(name, TPropertyKind::pkText);
        CheckWritable(name, static_cast<bool>(property.SetText));
        property.SetText(Self(), value);
    }
    std::vector<std::string> GetPropertyStrings(std::string_view name) const override {
        return Table().Get(name, TPropertyKind::pkStrings).GetStrings(Self());
    }
    void SetPropertyStrings(std::string_view name, const std::vector<std::string>& value) override {
        const auto& property = Table().Get(name, TPropertyKind::pkStrings);
        CheckWritable(name, static_cast<bool>(property.SetStrings));
        property.SetStrings(Self(), value);
    }

private:
    static void CheckWritable(std::string_view name, bool writable) {
        if (!writable) {
            throw EPropertyError(Format(Consts::SReadOnlyProperty, std::string(name)));
        }
    }
    static const TPublishedProperties<TOwner>& Table() { return TOwner::PublishedProperties(); }
    const TOwner& Self() const { return static_cast<const TOwner&>(*this); }
    TOwner& Self() { return static_cast<TOwner&>(*this); }
};

} // namespace Kestrix::Exif
