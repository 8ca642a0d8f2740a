#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/File.h"
#include "platform/ScratchRun.h"
#include "support/TestPaths.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

std::string Make(const std::string& dir, const std::string& name) {
    const std::string path = (fs::path(dir) / name).string();
    vocomet::test::WriteAll(path, "scratch");
    return path;
}

// A record of another instance, written by hand; while `held` is open with
// its lock, that instance counts as running (flock locks of separate opens
// conflict even within one process).
struct OtherRun {
    std::string path;
    int held = -1;
    OtherRun(const std::string& dir, const std::string& name, const std::string& text, bool running)
        : path((fs::path(dir) / name).string()) {
        vocomet::test::WriteAll(path, text);
        if (running) {
            held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            EXPECT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        }
    }
    ~OtherRun() {
        if (held >= 0)
            ::close(held);
    }
};

class ScratchRunTest : public ::testing::Test {
protected:
    void SetUp() override { dir = fs::absolute(vocomet::test::FreshTempDir()).string(); }
    void TearDown() override { EndScratchRun(); }
    std::string dir;
};

TEST_F(ScratchRunTest, ARunThatDiedLeavesNothingForTheNextStart) {
    const std::string keep = Make(dir, "VocometConf.cfg");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first run makes its scratch files and is killed before its exit.
        if (!BeginScratchRun(dir))
            ::_exit(2);
        for (const char* name : {"$$TempFile1", "$$TempFile1_Int#1", "$$TempFile2"}) {
            const std::string path = dir + "/" + name;
            NoteScratchFile(path);
            vocomet::test::WriteAll(path, "data");
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(vocomet::test::FolderListing(dir).size(), 5u) << "three files, the record and the settings";

    ASSERT_TRUE(BeginScratchRun(dir));
    std::set<std::string> left = vocomet::test::FolderListing(dir);
    EXPECT_EQ(left.count("VocometConf.cfg"), 1u);
    EXPECT_EQ(left.size(), 2u) << "the settings file and this run's record only";
    EXPECT_TRUE(fs::exists(keep));
}

TEST_F(ScratchRunTest, FilesOfARunningInstanceStayEvenWhenAnEndedRunNamedThemToo) {
    const std::string live = Make(dir, "$$TempFile1");
    const std::string dead = Make(dir, "$$TempFile2");
    const std::string cut = Make(dir, "$$TempFile3");
    const std::string unnamed = Make(dir, "$$TempFile4");
    // The ended run used $$TempFile1 once (now the running one's), and died
    // while it wrote its last line, so "$$TempFile3" is only part of a name.
    OtherRun running(dir, "$$TempRun4242", live + "\n", true);
    OtherRun ended(dir, "$$TempRun77", live + "\n" + dead + "\n" + cut.substr(0, cut.size() - 1), false);

    ASSERT_TRUE(BeginScratchRun(dir));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(cut)) << "a cut line names no file";
    EXPECT_TRUE(fs::exists(unnamed)) << "a file no record names is nobody's to remove";
    EXPECT_FALSE(fs::exists(ended.path));
    EXPECT_TRUE(fs::exists(running.path));
}

TEST_F(ScratchRunTest, TheEndRemovesWhatThisRunLeftButNotWhatARunningInstanceUses) {
    ASSERT_TRUE(BeginScratchRun(dir));
    const std::string mine = dir + "/$$TempFile1";
    const std::string shared = dir + "/$$TempFile2";
    const std::string gone = dir + "/$$TempFile3";
    for (const std::string& p : {mine, shared, gone})
        NoteScratchFile(p);
    Make(dir, "$$TempFile1");
    Make(dir, "$$TempFile2");
    // $$TempFile3 was never made (its name was taken, or the create failed).
    OtherRun running(dir, "$$TempRun4242", shared + "\n", true);
    const std::set<std::string> before = vocomet::test::FolderListing(dir);
    ASSERT_EQ(before.size(), 4u);

    EndScratchRun();
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(shared));
    EXPECT_EQ(vocomet::test::FolderListing(dir), (std::set<std::string>{"$$TempFile2", "$$TempRun4242"}));
    NoteScratchFile(mine);  // after the end: noted nowhere, harmless
}

TEST_F(ScratchRunTest, ARunMovesWithItsFolderAndANameIsNotedWithItsFullPath) {
    const std::string other = dir + "-second";
    fs::remove_all(other);
    fs::create_directories(other);
    ASSERT_TRUE(BeginScratchRun(dir));
    ASSERT_TRUE(BeginScratchRun(dir)) << "the same folder again changes nothing";
    NoteScratchFile(dir + "/./$$TempFile1");
    Make(dir, "$$TempFile1");
    // Another folder: the run in the first one ends and clears its files.
    ASSERT_TRUE(BeginScratchRun(other));
    EXPECT_TRUE(vocomet::test::FolderListing(dir).empty());
    EXPECT_EQ(vocomet::test::FolderListing(other).size(), 1u);
    EXPECT_FALSE(BeginScratchRun(dir + "/missing"));
}

TEST_F(ScratchRunTest, AFileRemovedOnReleaseGoesOnlyWhileItIsStillTheSameFile) {
    const std::string path = Make(dir, "$$TempFile1_Int#1");
    {
        RemoveOnRelease owner(path);
        RemoveOnRelease moved(std::move(owner));
        EXPECT_TRUE(owner.Path().empty());
    }
    WaitForBackgroundCloses();
    EXPECT_FALSE(fs::exists(path));

    // A new curve renamed over the name is not the file taken in charge.
    Make(dir, "$$TempFile1_Int#1");
    RemoveOnRelease old(path);
    const std::string replacement = Make(dir, "new");
    fs::rename(replacement, path);
    old.Release();
    EXPECT_TRUE(fs::exists(path));

    {
        std::shared_ptr<File> shared = ShareRemovedWhenReleased(path);
        ASSERT_TRUE(shared->Open(path, File::Mode::Read));
        std::shared_ptr<File> reader = shared;
        shared.reset();
        EXPECT_TRUE(fs::exists(path)) << "a reader still holds it";
    }
    WaitForBackgroundCloses();
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
