#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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

// Bytes that tell every position apart.
std::string Pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

TEST(File, CopyRangeCopiesTheRangeAndOnlyIt) {
    const std::string folder = FreshTempDir();
    const std::size_t kSource = (std::size_t{3} << 20) + 4099;  // more than one buffer of the fallback
    const std::string source = Pattern(kSource, 1);
    WriteAll(folder + "/from.bin", source);
    struct Case {
        const char* name;
        std::int64_t fromOffset, toOffset;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {"whole file", 0, 0, kSource},
        {"odd offsets", 517, 3, 1000001},
        {"whole blocks", 8192, 4096, std::uint64_t{2} << 20},
        {"past the end of the destination", 12, 9000, 5000},
        {"nothing", 100, 100, 0},
        {"source ends first", 1000, 40, kSource},
        {"source offset past its end", static_cast<std::int64_t>(kSource) + 10, 0, 100},
    };
    for (CopyMethod method : {CopyMethod::Fastest, CopyMethod::ReadWrite}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (method == CopyMethod::Fastest ? " (fastest)" : " (read/write)"));
            const std::string before = Pattern(6000, 2);
            WriteAll(folder + "/to.bin", before);
            File from(folder + "/from.bin", File::Mode::Read);
            File to(folder + "/to.bin", File::Mode::ReadWrite);
            to.Seek(17);
            const std::uint64_t available =
                c.fromOffset >= static_cast<std::int64_t>(kSource) ? 0 : kSource - static_cast<std::uint64_t>(c.fromOffset);
            const std::uint64_t expected = std::min(c.bytes, available);
            EXPECT_EQ(CopyRange(from, c.fromOffset, to, c.toOffset, c.bytes, method), expected);
            EXPECT_EQ(to.GetPosition(), 17);
            to.StartWriteBack(0, to.GetLength());  // a hint, changing nothing
            to.Close();

            std::string want = before;
            const auto at = static_cast<std::size_t>(c.toOffset);
            if (expected > 0) {
                if (want.size() < at + expected)
                    want.resize(at + expected, '\0');  // a hole before a copy past the end reads as zeros
                want.replace(at, expected, source, static_cast<std::size_t>(c.fromOffset), expected);
            }
            const std::string got = ReadAll(folder + "/to.bin");
            ASSERT_EQ(got.size(), want.size());
            EXPECT_TRUE(got == want);
        }
    }

    File from(folder + "/from.bin", File::Mode::Read);
    File to(folder + "/to.bin", File::Mode::ReadWrite);
    EXPECT_THROW(CopyRange(from, -1, to, 0, 10), FileException);
    File closed;
    EXPECT_THROW(CopyRange(from, 0, closed, 0, 10), FileException);
    // A destination opened for reading only refuses the copy with the system's reason.
    File readOnly(folder + "/to.bin", File::Mode::Read);
    for (CopyMethod method : {CopyMethod::Fastest, CopyMethod::ReadWrite}) {
        try {
            CopyRange(from, 0, readOnly, 0, 10, method);
            ADD_FAILURE() << "copied into a file open for reading";
        } catch (const FileException& e) {
            EXPECT_EQ(e.GetSystemError(), EBADF);
        }
    }
}

TEST(File, ABackgroundFillReadsAsTheFinishedFileFromTheStart) {
    const std::string folder = FreshTempDir();
    // Large enough that the copy is still going on when the reads start.
    const std::size_t kSource = (std::size_t{80} << 20) + 4099;
    const std::string source = Pattern(kSource, 5);
    WriteAll(folder + "/from.bin", source);
    const std::int64_t kOffset = 1031;
    const auto kBytes = static_cast<std::int64_t>(kSource) - kOffset - 77;

    File to(folder + "/to.bin", File::Mode::Create);
    {
        File from(folder + "/from.bin", File::Mode::Read);
        to.StartBackgroundFill(from, kOffset, kBytes);
    }  // the fill keeps its own hold on the source
    EXPECT_EQ(to.GetLength(), kBytes);
    // Reads from several threads while the fill runs, across what is copied
    // and what is not, and past the end.
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            std::vector<char> buffer(3 << 20);
            for (std::int64_t at = t * 997; at < kBytes + 100; at += (5 << 20) + 13 * t) {
                const std::size_t got = to.ReadAt(at, buffer.data(), buffer.size());
                const auto expected = static_cast<std::size_t>(std::min<std::int64_t>(kBytes - std::min(at, kBytes),
                                                                              static_cast<std::int64_t>(buffer.size())));
                if (got != expected || std::memcmp(buffer.data(), source.data() + kOffset + at, got) != 0)
                    ++wrong;
            }
        });
    }
    for (std::thread& r : readers)
        r.join();
    EXPECT_EQ(wrong.load(), 0);

    // A write waits for the fill, so it is not overwritten by it.
    const char mark[] = "written";
    to.WriteAt(5, mark, sizeof mark);
    EXPECT_FALSE(to.IsFilling());
    EXPECT_TRUE(to.WaitForBackgroundFill());
    to.Close();
    std::string want = source.substr(static_cast<std::size_t>(kOffset), static_cast<std::size_t>(kBytes));
    want.replace(5, sizeof mark, mark, sizeof mark);
    EXPECT_TRUE(ReadAll(folder + "/to.bin") == want);

    // A copy out of a file being filled copies the whole bytes.
    File filling(folder + "/to2.bin", File::Mode::Create);
    File out(folder + "/out.bin", File::Mode::Create);
    {
        File from(folder + "/from.bin", File::Mode::Read);
        filling.StartBackgroundFill(from, 0, static_cast<std::int64_t>(kSource));
    }
    EXPECT_EQ(CopyRange(filling, 0, out, 0, kSource), kSource);
    out.Close();
    EXPECT_TRUE(ReadAll(folder + "/out.bin") == source);
}

TEST(File, ASectionReadsAsAFileOfItsOwnAndIsNeverWritten) {
    const std::string folder = FreshTempDir();
    const std::string bytes = Pattern(300000, 9);
    WriteAll(folder + "/whole.bin", bytes);
    const std::int64_t kStart = 4099;  // on no boundary
    const std::int64_t kLength = 200001;
    File section;
    {
        File whole(folder + "/whole.bin", File::Mode::Read);
        section = whole.Section(kStart, kLength, folder + "/name");
    }  // the section holds the file on its own
    const std::string want = bytes.substr(static_cast<std::size_t>(kStart), static_cast<std::size_t>(kLength));
    EXPECT_TRUE(section.IsSection());
    EXPECT_EQ(section.GetFilePath(), folder + "/name");
    EXPECT_EQ(section.GetLength(), kLength);
    std::string got(1000, '\0');
    EXPECT_EQ(section.ReadAt(kLength - 10, got.data(), got.size()), 10u) << "reads end with the section";
    EXPECT_EQ(got.substr(0, 10), want.substr(static_cast<std::size_t>(kLength) - 10));
    EXPECT_EQ(section.Seek(-5, File::From::End), kLength - 5);
    EXPECT_EQ(section.Read(got.data(), got.size()), 5u);
    EXPECT_EQ(section.Seek(7), 7);
    EXPECT_EQ(section.Read(got.data(), 3), 3u);
    EXPECT_EQ(got.substr(0, 3), want.substr(7, 3));
    EXPECT_EQ(section.GetPosition(), 10);
    const File inner = section.Section(100, kLength, "inner");
    EXPECT_EQ(inner.GetLength(), kLength - 100);

    // Copies out of it, by the system and through a buffer, and a fill from it.
    for (CopyMethod method : {CopyMethod::Fastest, CopyMethod::ReadWrite}) {
        File to(folder + "/to.bin", File::Mode::Create);
        EXPECT_EQ(CopyRange(section, 3, to, 0, 1u << 20, method), static_cast<std::uint64_t>(kLength - 3));
        to.Close();
        EXPECT_TRUE(ReadAll(folder + "/to.bin") == want.substr(3));
    }
    File filled(folder + "/filled.bin", File::Mode::Create);
    filled.StartBackgroundFill(section, 1, kLength - 1);
    EXPECT_TRUE(filled.WaitForBackgroundFill());
    filled.Close();
    EXPECT_TRUE(ReadAll(folder + "/filled.bin") == want.substr(1));

    EXPECT_THROW(section.WriteAt(0, "x", 1), FileException);
    EXPECT_THROW(section.Write("x", 1), FileException);
    EXPECT_THROW(section.SetLength(0), FileException);
    File to(folder + "/to.bin", File::Mode::Create);
    EXPECT_THROW(CopyRange(to, 0, section, 0, 1), FileException);
    // A file cut short cuts the section short.
    ::truncate((folder + "/whole.bin").c_str(), kStart + 50);
    EXPECT_EQ(section.GetLength(), 50);
    EXPECT_EQ(section.ReadAt(0, got.data(), got.size()), 50u);
    ::truncate((folder + "/whole.bin").c_str(), kStart - 1);
    EXPECT_EQ(section.GetLength(), 0);
    EXPECT_TRUE(ReadAll(folder + "/whole.bin") == bytes.substr(0, static_cast<std::size_t>(kStart) - 1));
}

TEST(File, ClosingStopsABackgroundFill) {
    const std::string folder = FreshTempDir();
    const std::size_t kSource = std::size_t{128} << 20;
    WriteAll(folder + "/from.bin", std::string(kSource, 'x'));
    File from(folder + "/from.bin", File::Mode::Read);
    File to(folder + "/to.bin", File::Mode::Create);
    to.StartBackgroundFill(from, 0, static_cast<std::int64_t>(kSource));
    to.Close();  // returns once the fill's thread has ended
    EXPECT_FALSE(to.IsFilling());
    EXPECT_TRUE(to.WaitForBackgroundFill());  // no fill any more
    // A source shorter than the fill asks: the reads past its end find
    // nothing, and the fill says it did not complete.
    File shortFill(folder + "/to.bin", File::Mode::Create);
    shortFill.StartBackgroundFill(from, static_cast<std::int64_t>(kSource) - 10, 100);
    EXPECT_FALSE(shortFill.WaitForBackgroundFill());
    char buffer[100];
    EXPECT_EQ(shortFill.ReadAt(0, buffer, sizeof buffer), 10u);
    EXPECT_THROW(shortFill.WriteAt(0, buffer, 1), FileException);
}

// A large file removed in the background: the name goes at once, and a copy
// still being filled from it (it is held open) comes out whole.
TEST(File, ARemovalInTheBackgroundLeavesWhatReadsTheFileWhole) {
    const std::string folder = FreshTempDir();
    std::string source(std::size_t{64} << 20, '\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>(i * 7 / 4096 + 1);
    WriteAll(folder + "/from.bin", source);
    {
        File from(folder + "/from.bin", File::Mode::Read);
        File to(folder + "/to.bin", File::Mode::Create);
        to.StartBackgroundFill(from, 0, static_cast<std::int64_t>(source.size()));
        from.Close();
        EXPECT_TRUE(RemoveFileInBackground(folder + "/from.bin"));
        EXPECT_FALSE(PathExists(folder + "/from.bin"));
        EXPECT_TRUE(to.WaitForBackgroundFill());
    }
    EXPECT_TRUE(ReadAll(folder + "/to.bin") == source);
    CloseInBackground(std::make_unique<File>(folder + "/to.bin", File::Mode::Read));
    WaitForBackgroundCloses();
    EXPECT_FALSE(RemoveFileInBackground(folder + "/missing.bin"));
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

std::string ScratchNameOf(const std::string& target) {
    ScratchReplacement s(target);
    return s.GetScratchPath();
}

std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    while (const dirent* e = d ? ::readdir(d) : nullptr) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    }
    if (d)
        ::closedir(d);
    return names;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

void Save(const std::string& path, const std::string& bytes) { WriteBinaryFile(path, bytes.data(), bytes.size()); }

TEST(BinaryFile, ReplacingKeepsTheFilesPermissions) {
    const std::string dir = FreshTempDir();
    for (unsigned mode : {0600u, 0640u, 0755u, 0604u}) {
        const std::string path = dir + "/m" + std::to_string(mode) + ".cfg";
        WriteAll(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        Save(path, "new");
        EXPECT_EQ(ReadAll(path), "new");
        EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
    }
    if (::geteuid() == 0) {  // a privileged save does not take the file over
        const std::string path = dir + "/theirs.cfg";
        WriteAll(path, "old");
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        Save(path, "new");
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}

TEST(BinaryFile, SavingThroughALinkReplacesTheFileItPointsTo) {
    const std::string dir = FreshTempDir();
    ASSERT_EQ(::mkdir((dir + "/data").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir + "/links").c_str(), 0755), 0);
    WriteAll(dir + "/data/real.cfg", "old");
    ASSERT_EQ(::chmod((dir + "/data/real.cfg").c_str(), 0640), 0);
    // A relative link (read from the link's own folder), a link to that link
    // by absolute path, and a link to a file that does not exist yet.
    ASSERT_EQ(::symlink("../data/real.cfg", (dir + "/links/rel.cfg").c_str()), 0);
    ASSERT_EQ(::symlink((dir + "/links/rel.cfg").c_str(), (dir + "/abs.cfg").c_str()), 0);
    ASSERT_EQ(::symlink("data/new.cfg", (dir + "/dangling.cfg").c_str()), 0);

    Save(dir + "/links/rel.cfg", "via relative");
    EXPECT_EQ(ReadAll(dir + "/data/real.cfg"), "via relative");
    Save(dir + "/abs.cfg", "via chain");
    EXPECT_EQ(ReadAll(dir + "/data/real.cfg"), "via chain");
    EXPECT_EQ(ModeOf(dir + "/data/real.cfg"), 0640u);
    Save(dir + "/dangling.cfg", "created");
    EXPECT_EQ(ReadAll(dir + "/data/new.cfg"), "created");

    for (const char* link : {"/links/rel.cfg", "/abs.cfg", "/dangling.cfg"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((dir + link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(FolderEntries(dir + "/links").size(), 1u);  // nothing was written beside the link

    ASSERT_EQ(::symlink("loop.cfg", (dir + "/loop.cfg").c_str()), 0);
    EXPECT_THROW(Save(dir + "/loop.cfg", "x"), FileException);
}

TEST(BinaryFile, NamesUpToTheFolderLimitSave) {
    const std::string dir = FreshTempDir();
    const long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 64);
    std::string accented;  // two bytes a letter: a cut must not split one
    while (accented.size() + 2 <= 250)
        accented += "\xC3\xA9";
    for (const std::string& name :
         {std::string(250, 'a') + ".vcm", std::string(static_cast<std::size_t>(limit), 'b'), accented}) {
        const std::string path = dir + "/" + name;
        WriteAll(path, "old");
        Save(path, "saved");
        EXPECT_EQ(ReadAll(path), "saved") << name.size();
        const std::string scratch = ScratchNameOf(path);
        const std::string scratchName = scratch.substr(dir.size() + 1);
        EXPECT_LE(scratchName.size(), static_cast<std::size_t>(limit));
        EXPECT_NE(static_cast<unsigned char>(scratchName[0]) & 0xC0, 0x80u);
    }
    try {
        Save(dir + "/" + std::string(static_cast<std::size_t>(limit) + 1, 'c'), "x");
        ADD_FAILURE() << "a name past the limit saved";
    } catch (const FileException& e) {
        EXPECT_EQ(e.GetSystemError(), ENAMETOOLONG);
    }
}

// Every failure to create carries the system's own words for why.
TEST(BinaryFile, FailuresCarryTheSystemsReason) {
    const std::string dir = FreshTempDir();
    WriteAll(dir + "/plain", "a file, not a folder");
    struct Case {
        std::string path;
        int error;
    };
    std::vector<Case> cases = {
        {dir + "/plain/x.cfg", ENOTDIR},
        {dir + "/no/such/folder/x.cfg", ENOENT},
        {dir, EISDIR},
    };
    if (::geteuid() != 0) {  // permission bits do not stop a privileged user
        ASSERT_EQ(::mkdir((dir + "/locked").c_str(), 0555), 0);
        cases.push_back({dir + "/locked/x.cfg", EACCES});
        WriteAll(dir + "/readonly.cfg", "kept");
        ASSERT_EQ(::chmod((dir + "/readonly.cfg").c_str(), 0444), 0);
        cases.push_back({dir + "/readonly.cfg", EACCES});
    }
    for (const Case& c : cases) {
        try {
            Save(c.path, "new");
            ADD_FAILURE() << c.path << " saved";
        } catch (const FileException& e) {
            EXPECT_EQ(e.GetSystemError(), c.error) << c.path;
            EXPECT_EQ(e.GetReason(), std::strerror(c.error));
            EXPECT_NE(std::string(e.what()).find(std::strerror(c.error)), std::string::npos) << e.what();
            EXPECT_EQ(e.GetPath(), c.path);
        }
    }
    if (::geteuid() != 0) {
        EXPECT_EQ(ReadAll(dir + "/readonly.cfg"), "kept");
    }
}

TEST(BinaryFile, ASaveRemovesOnlyItsTargetsLeftoverScratchFiles) {
    const std::string dir = FreshTempDir();
    const std::string target = dir + "/settings.cfg";
    WriteAll(target, "old");
    // A long name whose scratch names share their cut beginning with the
    // target of another long name.
    const std::string longTarget = dir + "/" + std::string(240, 'n') + "1.vcm";
    const std::string longOther = dir + "/" + std::string(240, 'n') + "2.vcm";

    // Scratch names as a crashed run would have left them: other process
    // ids, and this one's (a reused id), with the target's own mark.
    auto leftoverLike = [](const std::string& scratch, const std::string& numbers) {
        const std::size_t markEnd = scratch.rfind(".~") + 2 + 16;
        return scratch.substr(0, markEnd) + "-" + numbers + ".tmp";
    };
    const std::string scratch = ScratchNameOf(target);
    const std::string crashed = leftoverLike(scratch, "999999-7");
    const std::string reusedId = leftoverLike(scratch, std::to_string(::getpid()) + "-99999");
    // A cut name's leftover keeps the length of the numbers it was made
    // with (another process id may have fewer or more digits than ours).
    auto sameLengthNumbers = [](const std::string& scratch) {
        const std::size_t from = scratch.rfind(".~") + 2 + 16 + 1;
        const std::size_t length = scratch.size() - 4 - from;
        return std::string(length - 2, '9') + "-1";
    };
    const std::string longScratch = ScratchNameOf(longTarget);
    const std::string otherScratch = ScratchNameOf(longOther);
    const std::string longCrashed = leftoverLike(longScratch, sameLengthNumbers(longScratch));
    const std::string otherCrashed = leftoverLike(otherScratch, sameLengthNumbers(otherScratch));
    const std::string neighbour = leftoverLike(ScratchNameOf(dir + "/other.cfg"), "999999-7");
    for (const std::string& path : {crashed, reusedId, longCrashed, otherCrashed, neighbour})
        WriteAll(path, "leftover");

    // Names that only look alike, and a link bearing a leftover's name.
    const std::vector<std::string> keep = {
        target + ".bak",
        target + ".~0123456789abcdef-1-2.tmp",  // another name's mark
        leftoverLike(scratch, "12-x"),
        leftoverLike(scratch, "12-3") + ".old",
        dir + "/x" + crashed.substr(dir.size() + 1),
    };
    for (const std::string& path : keep)
        WriteAll(path, "keep");
    WriteAll(dir + "/pointed.txt", "keep");
    const std::string linkLeftover = leftoverLike(scratch, "888888-1");
    ASSERT_EQ(::symlink("pointed.txt", linkLeftover.c_str()), 0);

    {
        // A save of the same target still in progress keeps its scratch file.
        ScratchReplacement inProgress(target);
        inProgress.GetFile().Write("in progress", 11);
        Save(target, "new");
        Save(longTarget, "new");
        EXPECT_TRUE(PathExists(inProgress.GetScratchPath()));
        inProgress.Commit();
    }
    EXPECT_EQ(ReadAll(target), "in progress");
    for (const std::string& gone : {crashed, reusedId, longCrashed})
        EXPECT_FALSE(PathExists(gone)) << gone;
    for (const std::string& stays : {otherCrashed, neighbour})
        EXPECT_EQ(ReadAll(stays), "leftover") << stays;
    for (const std::string& stays : keep)
        EXPECT_EQ(ReadAll(stays), "keep") << stays;
    struct stat st {};
    EXPECT_EQ(::lstat(linkLeftover.c_str(), &st), 0);
    EXPECT_EQ(ReadAll(dir + "/pointed.txt"), "keep");
}

}  // namespace
