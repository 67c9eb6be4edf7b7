#include "JPEGTestSupport.h"
#include "kestrix/BaseUtils.h"
#include "kestrix/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>

using namespace Kestrix::Exif;
using namespace Kestrix::Exif::Testing;
namespace fs = std::filesystem;

namespace {

// Appends "!" to the image: enough to see that the writer's output landed.
TGraphicWriter AppendMark() {
    return [](TStream& input, TStream& output) {
        output.CopyFrom(input, input.BytesLeft());
        WriteBytes(output, "!");
    };
}

// Writes part of an image, then fails as a full disk would.
TGraphicWriter FailHalfWay() {
    return [](TStream& input, TStream& output) {
        output.CopyFrom(input, input.BytesLeft() / 2);
        throw EWriteError();
    };
}

TGraphicWriterSelector Always(TGraphicWriter writer) {
    return [writer](TStream&) { return writer; };
}

class RewriteFileInPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* scratch = std::getenv("PICTAVO_TMP");
        const fs::path base = scratch != nullptr ? fs::path(scratch) : fs::temp_directory_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FFolder = base / (std::string("rewrite-") + info->name());
        fs::remove_all(FFolder);
        fs::create_directories(FFolder);
        FFile = (FFolder / "photo.jpg").string();
        WriteFile(FFile, Original);
    }
    void TearDown() override {
        fs::permissions(FFolder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(FFolder);
    }

    static void WriteFile(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FFolder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static ino_t Inode(const std::string& path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_ino;
    }

    const Bytes Original = Concat({SOI, App0(), Rest(), EOI});
    static Bytes Rest() { return Concat({DQT(), ScanData(Bytes(300, 0x42))}); }
    fs::path FFolder;
    std::string FFile;
};

} // namespace

TEST(RewriteStreamInPlace, CopiesTheWritersOutputOver) {
    TMemoryStream stream(Bytes{1, 2, 3, 4});
    RewriteStreamInPlace(stream, Always([](TStream& input, TStream& output) {
                             EXPECT_EQ(input.GetPosition(), 0);
                             output.CopyFrom(input, 2);
                         }));
    EXPECT_EQ(StreamBytes(stream), (Bytes{1, 2})) << "shrunk to the new size";
}

TEST(RewriteStreamInPlace, FailureLeavesTheStreamUnchanged) {
    TMemoryStream stream(Bytes{1, 2, 3, 4});
    try {
        RewriteStreamInPlace(stream, [](TStream&) { return TGraphicWriter(); });
        FAIL();
    } catch (const EUnsupportedGraphicFormat& error) {
        EXPECT_STREQ(error.what(), "Unsupported graphic format");
    }
    EXPECT_THROW(RewriteStreamInPlace(stream, Always(FailHalfWay())), EWriteError);
    EXPECT_EQ(StreamBytes(stream), (Bytes{1, 2, 3, 4}));
}

TEST(RewriteStreamInPlace, LargeImagesGoThroughATemporaryFile) {
    for (const std::int64_t size : {InMemoryRewriteLimit - 1, InMemoryRewriteLimit}) {
        TMemoryStream stream;
        stream.SetSize(size);
        std::string temporaryFile;
        RewriteStreamInPlace(stream, Always([&](TStream& input, TStream& output) {
                                 if (auto* file = dynamic_cast<TFileStream*>(&output)) {
                                     temporaryFile = file->GetFileName();
                                 }
                                 output.CopyFrom(input, 0);
                                 WriteBytes(output, "!");
                             }));
        EXPECT_EQ(stream.GetSize(), size + 1);
        EXPECT_EQ(stream.GetBytes().back(), '!');
        if (size < InMemoryRewriteLimit) {
            EXPECT_TRUE(temporaryFile.empty()) << "below the limit: in memory";
        } else {
            ASSERT_FALSE(temporaryFile.empty()) << "at the limit: a temporary file";
            EXPECT_EQ(fs::path(temporaryFile).filename().string().rfind("tmp", 0), 0u);
            EXPECT_FALSE(fs::exists(temporaryFile)) << "deleted afterwards";
        }
    }
}

TEST(RewritePersistInPlace, LoadsTheResultBack) {
    TBytesSource object({1, 2, 3});
    RewritePersistInPlace(object, Always(AppendMark()));
    EXPECT_EQ(object.GetBytes(), (Bytes{1, 2, 3, '!'}));
}

TEST_F(RewriteFileInPlaceTest, ReplacesTheFileKeepingItsPermissions) {
    fs::permissions(FFile, fs::perms(0640));
    const auto oldInode = Inode(FFile);
    RewriteFileInPlace(FFile, Always(AppendMark()));
    EXPECT_EQ(ReadFile(FFile), Concat({Original, {'!'}}));
    EXPECT_EQ(fs::status(FFile).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_NE(Inode(FFile), oldInode) << "a new file was renamed over the old one";
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(RewriteFileInPlaceTest, FailureLeavesTheOriginalAndNoTemporaryFile) {
    EXPECT_THROW(RewriteFileInPlace(FFile, Always(FailHalfWay())), EWriteError);
    EXPECT_THROW(RewriteFileInPlace(FFile, [](TStream&) { return TGraphicWriter(); }),
                 EUnsupportedGraphicFormat);
    EXPECT_THROW(RewriteFileInPlace((FFolder / "missing.jpg").string(), Always(AppendMark())),
                 EFOpenError);
    EXPECT_EQ(ReadFile(FFile), Original);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(RewriteFileInPlaceTest, HardLinkedFileIsRewrittenInPlace) {
    const std::string other = (FFolder / "other-name.jpg").string();
    fs::create_hard_link(FFile, other);
    const auto inode = Inode(FFile);
    RewriteFileInPlace(FFile, Always(AppendMark()));
    EXPECT_EQ(Inode(FFile), inode);
    EXPECT_EQ(ReadFile(other), Concat({Original, {'!'}})) << "every name sees the change";
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"other-name.jpg", "photo.jpg"}));
}

TEST_F(RewriteFileInPlaceTest, SymbolicLinkKeepsPointingAtTheRewrittenFile) {
    const std::string link = (FFolder / "link.jpg").string();
    fs::create_symlink("photo.jpg", link);
    RewriteFileInPlace(link, Always(AppendMark()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(FFile), Concat({Original, {'!'}}));
}

TEST_F(RewriteFileInPlaceTest, FolderThatTakesNoNewFileFallsBackToCopyingOver) {
    fs::permissions(FFolder, fs::perms(0555));
    if (std::ofstream((FFolder / "probe").string())) {
        fs::remove(FFolder / "probe");
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    const auto inode = Inode(FFile);
    RewriteFileInPlace(FFile, Always(AppendMark()));
    EXPECT_EQ(Inode(FFile), inode);
    EXPECT_EQ(ReadFile(FFile), Concat({Original, {'!'}}));
}
