// get and set through the IPTC container on copies of the sample JPEG.
#include "CliTestSupport.h"

namespace Pictavo::Cli::Testing {
namespace {

TEST_F(CliTest, GetPrintsTextAndOneLinePerListElement) {
    const TRunResult result = Run({"get", FFile, "IPTCCity", "SDAKeywords", "IPTCHeadline",
                                   "SDAContacts", "IPTCCopyrightNotice", "IPTCPSCreator"});
    EXPECT_EQ(result.Status, ExitSuccess) << result.Err;
    // Headline is not set (empty text); Contacts is an empty list (no line).
    EXPECT_EQ(result.Out, "IPTCCity=Zürich\n"
                          "SDAKeywords=lake\n"
                          "SDAKeywords=mountains\n"
                          "IPTCHeadline=\n"
                          "IPTCCopyrightNotice=© 2026 Jane Doe\n"
                          "IPTCPSCreator=Jane Doe\n");
    EXPECT_EQ(result.Err, "");
}

TEST_F(CliTest, GetJsonPrintsOneObjectWithListsAsArrays) {
    const TRunResult result =
        Run({"get", "--json", FFile, "SDAKeywords", "IPTCCity", "SDAContacts", "IPTCCity"});
    EXPECT_EQ(result.Status, ExitSuccess) << result.Err;
    EXPECT_EQ(result.Out, "{\n"
                          "  \"SDAKeywords\": [\"lake\", \"mountains\"],\n"
                          "  \"IPTCCity\": \"Zürich\",\n"
                          "  \"SDAContacts\": []\n"
                          "}\n");
}

TEST_F(CliTest, SetThenGetRoundTripsTextAndLists) {
    const TRunResult set =
        Run({"set", FFile, "IPTCCity=Paris", "SDAKeywords=one", "SDAKeywords=", "SDAKeywords=three",
             "IPTCHeadline=Schöne Grüße", "SDABylines=Ann Example"});
    ASSERT_EQ(set.Status, ExitSuccess) << set.Err;
    EXPECT_EQ(set.Out, "");
    EXPECT_EQ(set.Err, "");
    const TRunResult get = Run(
        {"get", FFile, "IPTCCity", "SDAKeywords", "IPTCHeadline", "SDABylines", "IPTCObjectName"});
    EXPECT_EQ(get.Status, ExitSuccess) << get.Err;
    // An empty value among others stays as an empty element; fields not
    // named keep their values.
    EXPECT_EQ(get.Out, "IPTCCity=Paris\n"
                       "SDAKeywords=one\n"
                       "SDAKeywords=\n"
                       "SDAKeywords=three\n"
                       "IPTCHeadline=Schöne Grüße\n"
                       "SDABylines=Ann Example\n"
                       "IPTCObjectName=Sample image\n");
}

TEST_F(CliTest, EmptyValuesRemoveTextAndClearLists) {
    ASSERT_EQ(Run({"set", FFile, "IPTCCity=", "SDAKeywords="}).Status, ExitSuccess);
    const TRunResult get = Run({"get", "--json", FFile, "IPTCCity", "SDAKeywords", "SDABylines"});
    EXPECT_EQ(get.Out, "{\n"
                       "  \"IPTCCity\": \"\",\n"
                       "  \"SDAKeywords\": [],\n"
                       "  \"SDABylines\": [\"Jane Doe\"]\n"
                       "}\n");
}

TEST_F(CliTest, JsonEscapesQuotesBackslashesAndLineBreaks) {
    ASSERT_EQ(Run({"set", FFile, "IPTCCaptionOrAbstract=say \"hi\"\r\nC:\\photos\tend\x01"}).Status,
              ExitSuccess);
    const TRunResult get = Run({"get", "--json", FFile, "IPTCCaptionOrAbstract"});
    EXPECT_EQ(get.Out,
              "{\n"
              "  \"IPTCCaptionOrAbstract\": \"say \\\"hi\\\"\\r\\nC:\\\\photos\\tend\\u0001\"\n"
              "}\n");
}

TEST_F(CliTest, ValuesMayContainEqualsSigns) {
    ASSERT_EQ(Run({"set", FFile, "IPTCHeadline=a=b="}).Status, ExitSuccess);
    EXPECT_EQ(Run({"get", FFile, "IPTCHeadline"}).Out, "IPTCHeadline=a=b=\n");
}

TEST_F(CliTest, ARefusedValueLeavesTheFileByteIdentical) {
    const Bytes before = Content();
    for (const char* refused : {"IPTCUrgency=urgent", "IPTCEmpty=true"}) {
        SCOPED_TRACE(refused);
        const TRunResult result = RunCli({"set", FFile, "IPTCCity=Paris", refused});
        EXPECT_EQ(result.Status, ExitFailure);
        EXPECT_TRUE(result.Err.starts_with("pictavo-cli: " + FFile + ": ")) << result.Err;
    }
    EXPECT_EQ(Content(), before);
}

TEST_F(CliTest, ASaveThatFailsLeavesTheFileByteIdentical) {
    // More IPTC than one APP13 segment can carry: the save is refused.
    const Bytes before = Content();
    const std::string longText(40000, 'k');
    const TRunResult result =
        RunCli({"set", FFile, "SDAKeywords=" + longText, "SDAKeywords=" + longText});
    EXPECT_EQ(result.Status, ExitFailure);
    EXPECT_TRUE(result.Err.starts_with("pictavo-cli: " + FFile + ": ")) << result.Err;
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(RunCli({"get", FFile, "SDAKeywords"}).Out,
              "SDAKeywords=lake\nSDAKeywords=mountains\n");
}

TEST_F(CliTest, SetKeepsTheImageDataAndTheExifBytes) {
    const Bytes before = Content();
    ASSERT_EQ(Run({"set", FFile, "IPTCCity=Paris"}).Status, ExitSuccess);
    const Bytes after = Content();
    // The sample's first 298 bytes are SOI, APP0 and the Exif APP1; its APP13
    // (138 bytes with marker and length) follows; the rest is the image.
    constexpr std::size_t app13Start = 298;
    constexpr std::size_t app13End = 298 + 138;
    ASSERT_GT(after.size(), app13Start);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + app13Start, after.begin()));
    const std::size_t tail = before.size() - app13End;
    EXPECT_TRUE(std::equal(before.end() - static_cast<std::ptrdiff_t>(tail), before.end(),
                           after.end() - static_cast<std::ptrdiff_t>(tail)));
}

} // namespace
} // namespace Pictavo::Cli::Testing
