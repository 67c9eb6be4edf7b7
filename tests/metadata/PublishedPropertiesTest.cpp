#include "kestrix/PublishedProperties.h"

#include <gtest/gtest.h>

using namespace Kestrix::Exif;

namespace {

class TSample : public TPublishedObject<TSample> {
public:
    std::string City;
    std::vector<std::string> Keywords;

    static const TPublishedProperties<TSample>& PublishedProperties() {
        static const auto table = [] {
            TPublishedProperties<TSample> t;
            t.AddText(
                 "City", [](const TSample& s) { return s.City; },
                 [](TSample& s, const std::string& v) { s.City = v; })
                .AddStrings(
                    "Keywords", [](const TSample& s) { return s.Keywords; },
                    [](TSample& s, const std::vector<std::string>& v) { s.Keywords = v; });
            return t;
        }();
        return table;
    }
};

std::string ErrorOf(auto action) {
    try {
        action();
    } catch (const EPropertyError& e) {
        return e.GetMessage();
    }
    return "no error";
}

} // namespace

TEST(PublishedProperties, ReadsAndWritesByName) {
    TSample sample;
    IPublishedObject& object = sample;
    object.SetPropertyText("City", "Z\xC3\xBCrich");
    object.SetPropertyStrings("Keywords", {"a", "b"});
    EXPECT_EQ(object.GetPropertyText("City"), "Z\xC3\xBCrich");
    EXPECT_EQ(object.GetPropertyStrings("Keywords"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(object.GetPropertyNames(), (std::vector<std::string>{"City", "Keywords"}));
    EXPECT_EQ(object.GetPropertyKind("Keywords"), TPropertyKind::pkStrings);
    EXPECT_TRUE(object.HasProperty("City"));
    EXPECT_FALSE(object.HasProperty("city"));
}

TEST(PublishedProperties, RefusesUnknownNamesAndWrongKinds) {
    TSample sample;
    EXPECT_EQ(ErrorOf([&] { sample.GetPropertyText("Town"); }), "Property Town does not exist");
    EXPECT_EQ(ErrorOf([&] { sample.SetPropertyText("city", "x"); }),
              "Property city does not exist");
    EXPECT_EQ(ErrorOf([&] { sample.GetPropertyText("Keywords"); }),
              "Invalid property type: Keywords");
    EXPECT_EQ(ErrorOf([&] { sample.SetPropertyStrings("City", {}); }),
              "Invalid property type: City");
    EXPECT_EQ(sample.City, "");
}
