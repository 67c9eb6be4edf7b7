#include "kestrix/Streams.h"

#include "kestrix/Consts.h"
#include "kestrix/Exceptions.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace Kestrix::Exif;

namespace {

std::filesystem::path ScratchFolder() {
    const char* env = std::getenv("PICTAVO_TMP");
    std::filesystem::path folder =
        env ? env : std::filesystem::temp_directory_path() / "pictavo-tests";
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

TEST(MemoryStream, WritesGrowAndSeekingPastTheEndLeavesAZeroGap) {
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    stream.SetPosition(5);
    EXPECT_EQ(stream.GetSize(), 2);
    EXPECT_EQ(stream.BytesLeft(), 0);
    stream.WriteBuffer("c", 1);
    ASSERT_EQ(stream.GetSize(), 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.GetMemory()), 6),
              std::string("ab\0\0\0c", 6));
    stream.SetPosition(1);
    EXPECT_EQ(stream.BytesLeft(), 5);
    stream.SetSize(3);
    EXPECT_EQ(stream.GetPosition(), 1);
    EXPECT_THROW(stream.Seek(-2, TSeekOrigin::soCurrent), EStreamError);
    EXPECT_EQ(stream.Seek(-1, TSeekOrigin::soEnd), 2);
}

TEST(MemoryStream, ReadBufferRaisesOnAShortRead) {
    TMemoryStream stream(std::vector<std::uint8_t>{1, 2, 3});
    std::uint8_t buffer[4] = {};
    try {
        stream.ReadBuffer(buffer, 4);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.GetMessage(), "Stream read error");
    }
    stream.SetPosition(0);
    stream.ReadBuffer(buffer, 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(stream.Read(buffer, 1), 0u);
}

TEST(MemoryStream, CopyFromCopiesARangeOrTheWholeSource) {
    TMemoryStream source(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    TMemoryStream target;
    source.SetPosition(1);
    EXPECT_EQ(target.CopyFrom(source, 3), 3);
    EXPECT_EQ(source.GetPosition(), 4);
    EXPECT_EQ(target.CopyFrom(source, 0), 5); // 0 copies everything from the start
    EXPECT_EQ(target.GetSize(), 8);
    EXPECT_EQ(target.GetMemory()[3], 1);
    source.SetPosition(4);
    EXPECT_THROW(target.CopyFrom(source, 2), EReadError);
}

TEST(UserMemoryStream, ReadsBorrowedMemoryAndRefusesWrites) {
    const std::uint8_t first[] = {10, 20, 30};
    const std::uint8_t second[] = {40};
    TUserMemoryStream stream(first, sizeof first);
    EXPECT_EQ(stream.GetSize(), 3);
    stream.SetPosition(2);
    stream.ChangeMemory(second, sizeof second);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.GetSize(), 1);
    for (const auto& attempt :
         {+[](TStream& s) { s.WriteBuffer("x", 1); }, +[](TStream& s) { s.SetSize(0); }}) {
        try {
            attempt(stream);
            FAIL() << "a read-only stream accepted a change";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.GetMessage(), "Stream is read-only");
        }
    }
    EXPECT_EQ(stream.GetSize(), 1);
    EXPECT_EQ(second[0], 40);
}

TEST(FileStream, CreatesReadsWritesAndNamesFailures) {
    const auto path = (ScratchFolder() / "filestream.bin").string();
    {
        TFileStream file(path, TFileMode::fmCreate);
        file.WriteBuffer("hello", 5);
        file.Flush();
    }
    {
        TFileStream file(path, TFileMode::fmOpenReadWrite);
        EXPECT_EQ(file.GetSize(), 5);
        file.Seek(-1, TSeekOrigin::soEnd);
        file.WriteBuffer("O!", 2);
        file.SetSize(4);
    }
    TMemoryStream copy;
    copy.LoadFromFile(path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.GetMemory()), 4), "hell");
    copy.SaveToFile(path + ".copy");
    EXPECT_EQ(std::filesystem::file_size(path + ".copy"), 4u);

    const std::string missing = (ScratchFolder() / "no-such-file.jpg").string();
    try {
        TFileStream file(missing, TFileMode::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.GetMessage(),
                  "Cannot open file \"" + missing + "\". No such file or directory");
    }
    EXPECT_THROW(TFileStream((ScratchFolder() / "no-dir" / "x").string(), TFileMode::fmCreate),
                 EFCreateError);
    EXPECT_THROW(TFileStream(ScratchFolder().string(), TFileMode::fmOpenRead), EFOpenError);
}
