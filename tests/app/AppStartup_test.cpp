#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "app/AppStartup.h"
#include "app/TempFolder.h"
#include "core/ConfigurationBlock.h"
#include "platform/BinaryFile.h"
#include "platform/File.h"
#include "platform/ScratchRun.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace vocomet;

namespace {

struct Fixture {
    std::string start = test::FreshTempDir();
    platform::MemoryProfileStore profile;
    test::ScriptedPrompts prompts;
    CUSB2Hardware usb2;
    CUSBHardware usb;
    ApplicationState app;

    bool Run() { return RunStartup(app, {usb2, usb, start + "/ada.ldr"}, profile, prompts, start); }
};

TEST(AppStartup, WithoutHardwareStartsWithDefaultsAndWritesTheSettingsFile) {
    Fixture f;
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.app.acquisition.hardwareChannelCount, 0);
    EXPECT_EQ(f.app.acquisition.audioBoxPresent, 0);
    EXPECT_EQ(f.app.acquisition.rendalPresent, 0);
    ASSERT_NE(f.app.acquisition.usbThread, nullptr);  // made whatever the probe found
    EXPECT_TRUE(f.app.acquisition.usbThread->IsRunning());
    EXPECT_EQ(f.app.tempFolder, f.start + "/tmp");
    EXPECT_EQ(f.app.settings.outputRoute, kOutputComputer);
    EXPECT_EQ(f.app.settings.channelSetup[0].enabled, 1);
    EXPECT_EQ(f.app.settings.channelSetup[16].sampleRate, 11025);

    // The defaults were written and carry the signature.
    std::uint8_t sig[4] = {};
    ASSERT_EQ(platform::ReadBinaryFile(f.app.ConfigurationFilePath(), sig, 4), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(sig), 4), "2005");
    EXPECT_TRUE(f.prompts.messages.empty());
    EXPECT_TRUE(f.app.acquisition.usbThread->Stop(std::chrono::seconds(5)));
}

TEST(AppStartup, ASettingsFileWithTheFirstChannelOffStillRecordsIt) {
    Fixture first;
    ASSERT_TRUE(first.Run());
    first.app.settings.channelSetup[0].enabled = 0;
    RunExit(first.app);

    Fixture second;
    second.start = first.start;
    second.profile = first.profile;
    ASSERT_TRUE(second.Run());
    EXPECT_EQ(second.app.settings.channelSetup[0].enabled, 1);
}

TEST(AppStartup, ScratchFilesOfARunThatDiedGoAtTheNextStart) {
    namespace fs = std::filesystem;
    Fixture f;
    const std::string tmp = f.start + "/tmp";
    fs::create_directories(tmp);
    const std::string curve = fs::absolute(tmp + "/$$TempFile1_Int#1").string();
    const std::string record = tmp + "/$$TempRun99999";
    const std::string unnamed = tmp + "/$$TempFile2";
    test::WriteAll(curve, "curve");
    test::WriteAll(unnamed, "named by no run");
    test::WriteAll(record, curve + "\n");  // nobody holds its lock: that run has ended

    ASSERT_TRUE(f.Run());
    EXPECT_FALSE(fs::exists(curve));
    EXPECT_FALSE(fs::exists(record));
    EXPECT_TRUE(fs::exists(unnamed));
    platform::EndScratchRun();
    EXPECT_TRUE(f.app.acquisition.usbThread->Stop(std::chrono::seconds(5)));
}

TEST(AppStartup, NoTempFolderEndsStartUp) {
    Fixture f;
    f.profile.failWrites = true;
    EXPECT_FALSE(f.Run());
    EXPECT_EQ(f.prompts.LastMessage(), kRegistryUpdateFailed);
}

}  // namespace
