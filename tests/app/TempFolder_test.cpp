#include <gtest/gtest.h>

#include <filesystem>

#include "app/TempFolder.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace vocomet;
namespace fs = std::filesystem;

namespace {

std::string Stored(platform::MemoryProfileStore& p) { return p.ReadString(kProfileSection, kTempFolderKey); }

TEST(TempFolder, DefaultIsCreatedStoredAndLeftClean) {
    const std::string start = test::FreshTempDir();
    platform::MemoryProfileStore profile;
    test::ScriptedPrompts prompts;
    auto folder = SettleTempFolder(profile, prompts, start);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, start + "/tmp");
    EXPECT_TRUE(fs::is_directory(*folder));
    EXPECT_EQ(Stored(profile), *folder);
    EXPECT_FALSE(platform::PathExists(*folder + "/xxx"));  // the write test cleans up
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(TempFolder, AStoredMissingFolderIsCreated) {
    const std::string start = test::FreshTempDir();
    platform::MemoryProfileStore profile;
    profile.WriteString(kProfileSection, kTempFolderKey, start + "/elsewhere/deep");
    test::ScriptedPrompts prompts;
    auto folder = SettleTempFolder(profile, prompts, start);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, start + "/elsewhere/deep");
    EXPECT_TRUE(fs::is_directory(*folder));
}

TEST(TempFolder, FailuresTable) {
    const std::string start = test::FreshTempDir();
    test::WriteAll(start + "/plainfile", "x");
    struct Case {
        const char* name;
        std::string stored;
        bool failWrites;
        std::optional<std::string> chosen;
        std::optional<std::string> expected;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"profile cannot be written", "", true, std::nullopt, std::nullopt, {kRegistryUpdateFailed}},
        {"folder cannot be created", start + "/plainfile/sub", false, std::nullopt, std::nullopt,
         {kTempFolderCreateFailed}},
        // /proc/self exists but takes no files: the user picks another folder.
        {"unwritable, user picks one", "/proc/self", false, start + "/picked", start + "/picked",
         {kTempFolderNotAccessible}},
        {"unwritable, user cancels", "/proc/self", false, std::nullopt, std::nullopt,
         {kTempFolderNotAccessible, kTempFolderRequired}},
    };
    for (const Case& c : cases) {
        platform::MemoryProfileStore profile;
        if (!c.stored.empty())
            profile.WriteString(kProfileSection, kTempFolderKey, c.stored);
        profile.failWrites = c.failWrites;
        test::ScriptedPrompts prompts;
        prompts.paths.push_back(c.chosen);
        EXPECT_EQ(SettleTempFolder(profile, prompts, start), c.expected) << c.name;
        std::vector<std::string> shown;
        for (const auto& m : prompts.messages)
            shown.push_back(m.text);
        EXPECT_EQ(shown, c.messages) << c.name;
        if (c.expected) {
            EXPECT_EQ(Stored(profile), *c.expected) << c.name;
            EXPECT_TRUE(fs::is_directory(*c.expected)) << c.name;
            ASSERT_EQ(prompts.folderRequests.size(), 1u);
            EXPECT_EQ(prompts.folderRequests[0], kChooseTempFolderTitle);
        }
    }
}

TEST(TempFolder, AProfileThatReadsBackDifferentlyStopsStartUp) {
    platform::MemoryProfileStore profile;
    profile.readBackOverride = "";  // keeps nothing
    test::ScriptedPrompts prompts;
    EXPECT_FALSE(SettleTempFolder(profile, prompts, test::FreshTempDir()));
    EXPECT_EQ(prompts.LastMessage(), kRegistryUpdateFailed);
}

}  // namespace
