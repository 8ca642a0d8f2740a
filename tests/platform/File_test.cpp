#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/BinaryFile.h"
#include "platform/File.h"
#include "support/TestPaths.h"

using namespace platform;
using vocomet::test::FreshTempDir;
using vocomet::test::ReadAll;
using vocomet::test::WriteAll;

namespace {

TEST(File, ModesOpenCreateAndRefuseAsExpected) {
    const std::string dir = FreshTempDir();
    const std::string path = dir + "/a.bin";

    FileException err(FileException::Cause::Generic, "", "");
    File f;
    EXPECT_FALSE(f.Open(path, File::Mode::Read, &err));
    EXPECT_EQ(err.GetCause(), FileException::Cause::FileNotFound);
    EXPECT_EQ(err.GetPath(), path);
    EXPECT_THROW(File(path, File::Mode::ReadWrite), FileException);
    EXPECT_THROW(File(dir, File::Mode::Read), FileException);  // a folder is not a file

    {
        File c(path, File::Mode::Create);
        c.Write("hello world", 11);
        EXPECT_EQ(c.GetLength(), 11);
        EXPECT_EQ(c.Seek(-5, File::From::End), 6);
        char buf[8] = {};
        EXPECT_EQ(c.Read(buf, 8), 5u);  // short at the end
        EXPECT_EQ(std::string(buf, 5), "world");
    }
    {
        File rw(path, File::Mode::ReadWrite);  // keeps the content
        EXPECT_EQ(rw.GetLength(), 11);
        rw.WriteAt(0, "J", 1);
        rw.SetLength(5);
    }
    EXPECT_EQ(ReadAll(path), "Jello");
    {
        File c(path, File::Mode::Create);  // truncates
        EXPECT_EQ(c.GetLength(), 0);
    }
    File closed;
    char b;
    EXPECT_THROW(closed.Read(&b, 1), FileException);
}

TEST(File, PositionalReadsBeyondFourGigabytesAndPastTheEnd) {
    const std::string path = FreshTempDir() + "/sparse.bin";
    File f(path, File::Mode::Create);
    const std::int64_t far = (std::int64_t{5} << 30) + 12;  // past every 32-bit offset
    const float value = 0.25f;
    f.WriteAt(far, &value, sizeof value);
    EXPECT_EQ(f.GetLength(), far + 4);
    float back = 0;
    EXPECT_EQ(f.ReadAt(far, &back, sizeof back), sizeof back);
    EXPECT_EQ(back, 0.25f);
    EXPECT_EQ(f.ReadAt(far + 2, &back, sizeof back), 2u);
    EXPECT_EQ(f.ReadAt(far + 100, &back, sizeof back), 0u);
    EXPECT_THROW(f.ReadAt(-1, &back, 1), FileException);
    EXPECT_EQ(f.GetPosition(), 0);  // positional access leaves the position alone
}

TEST(File, PositionalReadsFromManyThreadsSeeTheirOwnBytes) {
    const std::string path = FreshTempDir() + "/frames.bin";
    constexpr int kCount = 1 << 16;
    {
        File f(path, File::Mode::Create);
        std::vector<std::int32_t> v(kCount);
        for (int i = 0; i < kCount; ++i)
            v[i] = i * 7 + 3;
        f.Write(v.data(), v.size() * sizeof(std::int32_t));
    }
    File shared(path, File::Mode::Read);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < kCount; i += 8) {
                std::int32_t got = 0;
                if (shared.ReadAt(std::int64_t{i} * 4, &got, 4) != 4 || got != i * 7 + 3)
                    ++mismatches;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(BinaryFile, WholeFileReadAndWrite) {
    const std::string dir = FreshTempDir();
    const std::string path = dir + "/block.cfg";
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    WriteBinaryFile(path, data, sizeof data);
    std::uint8_t back[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(ReadBinaryFile(path, back, sizeof back), 5u);
    EXPECT_EQ(back[4], 5);
    EXPECT_EQ(back[5], 9);  // a short file leaves the rest as it was
    EXPECT_THROW(ReadBinaryFile(dir + "/missing.cfg", back, 1), UserException);
    EXPECT_THROW(WriteBinaryFile(dir + "/no/such/folder/x.cfg", data, 1), UserException);
}

TEST(BinaryFile, AnInterruptedReplacementLeavesTheOldFileIntact) {
    const std::string dir = FreshTempDir();
    const std::string path = dir + "/settings.cfg";
    WriteAll(path, "old content");

    // The writer fails half-way: the target keeps its bytes and no scratch
    // file is left behind.
    EXPECT_THROW(ReplaceFileAtomically(path,
                                       [](File& f) -> bool {
                                           f.Write("new", 3);
                                           throw FileException(FileException::Cause::DiskFull, "x", "disk full");
                                       }),
                 FileException);
    EXPECT_EQ(ReadAll(path), "old content");
    EXPECT_FALSE(ReplaceFileAtomically(path, [](File& f) {
        f.Write("partial", 7);
        return false;  // cancelled
    }));
    EXPECT_EQ(ReadAll(path), "old content");

    std::string scratchPath;
    {
        ScratchReplacement s(path);
        scratchPath = s.GetScratchPath();
        s.GetFile().Write("abandoned", 9);
        EXPECT_TRUE(PathExists(scratchPath));
    }
    EXPECT_FALSE(PathExists(scratchPath));
    EXPECT_EQ(ReadAll(path), "old content");

    EXPECT_TRUE(ReplaceFileAtomically(path, [](File& f) {
        f.Write("new content", 11);
        return true;
    }));
    EXPECT_EQ(ReadAll(path), "new content");
}

}  // namespace
