// Help, version, usage errors and refused names: nothing here needs the file
// to be read, and nothing may change it.
#include "CliTestSupport.h"

namespace Pictavo::Cli::Testing {
namespace {

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"-h"},
                                               {"help"},
                                               {"get", "--help"},
                                               {"set", FFile, "-h"},
                                               {"dump", "--help"}}) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        const TRunResult result = RunCli(args);
        EXPECT_EQ(result.Status, ExitSuccess);
        EXPECT_NE(result.Out.find("Usage: pictavo-cli"), std::string::npos);
        EXPECT_EQ(result.Err, "");
    }
    const TRunResult version = Run({"--version"});
    EXPECT_EQ(version.Status, ExitSuccess);
    EXPECT_TRUE(version.Out.starts_with("pictavo-cli ")) << version.Out;
}

TEST_F(CliTest, GetHelpListsTheFieldNames) {
    const TRunResult result = Run({"get", "--help"});
    for (const char* name : {"IPTCCity", "IPTCCaptionOrAbstract", "SDAKeywords", "SDABylines"}) {
        EXPECT_NE(result.Out.find(std::string("  ") + name + "\n"), std::string::npos) << name;
    }
    EXPECT_EQ(result.Out.find("IPTCKeywords"), std::string::npos);
    EXPECT_EQ(result.Out.find("SDACity"), std::string::npos);
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndLeaveTheFileAlone) {
    const Bytes before = Content();
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate", FFile},
        {"--json"},
        {"get"},
        {"get", FFile},
        {"get", "--json", FFile},
        {"get", "--verbose", FFile, "IPTCCity"},
        {"set"},
        {"set", FFile},
        {"set", FFile, "IPTCCity"},
        {"set", FFile, "=Paris"},
        {"set", FFile, "IPTCCity=Paris", "Headline"},
        {"set", "--json", FFile, "IPTCCity=Paris"},
        {"set", FFile, "IPTCCity=Paris", "IPTCCity=Rome"},
        {"dump"},
        {"dump", FFile, FFile},
    };
    for (const auto& args : cases) {
        std::string trace;
        for (const auto& arg : args) {
            trace += arg + " ";
        }
        SCOPED_TRACE(trace);
        const TRunResult result = RunCli(args);
        EXPECT_EQ(result.Status, ExitUsage);
        EXPECT_EQ(result.Out, "");
        EXPECT_TRUE(result.Err.starts_with("pictavo-cli: ")) << result.Err;
        EXPECT_NE(result.Err.find("--help' for more information"), std::string::npos);
    }
    EXPECT_EQ(Content(), before);
}

TEST_F(CliTest, UnknownNamesFailWithOneAndLeaveTheFileAlone) {
    const Bytes before = Content();
    struct TCase {
        std::vector<std::string> Args;
        std::string Message;
    };
    const std::vector<TCase> cases{
        {{"set", FFile, "IPTCNoSuchField=x"}, "Property IPTCNoSuchField does not exist"},
        // A valid change beside the unknown name is not saved either.
        {{"set", FFile, "IPTCCity=Paris", "SDANoSuchList=x"},
         "Property SDANoSuchList does not exist"},
        // EXIF names are refused until the EXIF container publishes them.
        {{"set", FFile, "CameraMake=Canon"}, "Property CameraMake does not exist"},
        {{"set", FFile, "DTTVDateCreated=2026-01-01"}, "Property DTTVDateCreated does not exist"},
        {{"set", FFile, "IPTC=x"}, "Property IPTC does not exist"},
        {{"set", FFile, "iptccity=x"}, "Property iptccity does not exist"},
        // The prefix decides the kind: Keywords is a list, City is text.
        {{"set", FFile, "IPTCKeywords=x"}, "Invalid property type: IPTCKeywords"},
        {{"set", FFile, "SDACity=x"}, "Invalid property type: SDACity"},
        {{"get", FFile, "IPTCCity", "IPTCNoSuchField"}, "Property IPTCNoSuchField does not exist"},
        {{"get", "--json", FFile, "Copyright"}, "Property Copyright does not exist"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Message);
        const TRunResult result = RunCli(test.Args);
        EXPECT_EQ(result.Status, ExitFailure);
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(result.Err, "pictavo-cli: " + FFile + ": " + test.Message + "\n");
    }
    EXPECT_EQ(Content(), before);
}

TEST_F(CliTest, FilesInOtherFormatsAreRefusedUntouched) {
    const std::string png = (FFolder / "photo.png").string();
    const Bytes pngBytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
    WriteFileBytes(png, pngBytes);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", png, "IPTCCity=Paris"}, {"get", png, "IPTCCity"}, {"dump", png}}) {
        SCOPED_TRACE(args.front());
        const TRunResult result = RunCli(args);
        EXPECT_EQ(result.Status, ExitFailure);
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(result.Err, "pictavo-cli: " + png + ": Unsupported graphic format\n");
    }
    EXPECT_EQ(ReadFileBytes(png), pngBytes);
}

TEST_F(CliTest, MissingFileIsAFailure) {
    const std::string missing = (FFolder / "missing.jpg").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", missing, "IPTCCity=Paris"}, {"get", missing, "IPTCCity"}, {"dump", missing}}) {
        SCOPED_TRACE(args.front());
        const TRunResult result = RunCli(args);
        EXPECT_EQ(result.Status, ExitFailure);
        EXPECT_TRUE(result.Err.starts_with("pictavo-cli: " + missing + ": Cannot open file"))
            << result.Err;
    }
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(CliTest, DoubleDashEndsOptions) {
    // "--help" after "--" is a field name, not a request for help.
    const TRunResult result = Run({"get", FFile, "--", "--help"});
    EXPECT_EQ(result.Status, ExitFailure);
    EXPECT_EQ(result.Err, "pictavo-cli: " + FFile + ": Property --help does not exist\n");
}

} // namespace
} // namespace Pictavo::Cli::Testing
