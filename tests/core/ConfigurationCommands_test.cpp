#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <array>
#include <limits>

#include "ConfigurationTestUtil.h"
#include "core/ApplicationState.h"
#include "core/ConfigurationCommands.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"

namespace vocomet {
namespace {

using test::BlockFromBytes;
using test::BytesOf;

class ConfigurationCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        app.tempFolder = dir;
        app.settings = test::GoldenApplication();
        settingsPath = app.ConfigurationFilePath();
    }

    // A settings file whose fields outside Save Configuration's differ from
    // every default.
    ConfigurationBlock CustomSettingsFile() {
        ConfigurationBlock b = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());
        b.Span().F64LE(cfg::kCalibrationX1At + 8 * 2, 3.5);
        b.Span().Text(cfg::kUnitAt + 32 * 2, 32, "cm/s");
        b.Span().F64LE(cfg::kLogStepAt, 2.0);
        b.Span().I32LE(cfg::kEggChannelAt, 1);
        b.Span().Text(cfg::kConnectorAt, 16, "XLR");
        b.Span().I32LE(cfg::kRecordPlaySettingAt, 8);
        b.Span().I32LE(cfg::kRecordingFormAt, 44100);
        test::WriteBlockFile(settingsPath, b);
        return b;
    }

    std::string dir;
    std::string settingsPath;
    ApplicationState app;
    test::ScriptedPrompts prompts;
};

// --- Save Configuration ----------------------------------------------------

TEST_F(ConfigurationCommandsTest, SaveChangesOnlyItsOwnFields) {
    const ConfigurationBlock before = test::SentinelBlock(true);
    test::WriteBlockFile(settingsPath, before);
    prompts.paths.push_back(dir + "/User_Configuration.cfg");
    ASSERT_TRUE(SaveConfiguration(prompts, app, DocumentSettings::Reset()));
    const ConfigurationBlock saved = BlockFromBytes(test::ReadAll(dir + "/User_Configuration.cfg"));
    test::ExpectOnlyChanged(before, saved, {{0, 68}, {72, 344}, {856, 1736}});
    // The unused holes inside the document part stay too.
    for (std::size_t off : {1532u, 1580u, 1644u})
        EXPECT_EQ(before.data()[off], saved.data()[off]);
    EXPECT_EQ(before, BlockFromBytes(test::ReadAll(settingsPath)));  // the settings file is not touched

    ASSERT_EQ(1u, prompts.saveRequests.size());
    EXPECT_EQ("Save Configuration As", prompts.saveRequests[0].title);
    EXPECT_EQ("cfg", prompts.saveRequests[0].defaultSuffix);
}

TEST_F(ConfigurationCommandsTest, SavedCopyLoadsBackWhole) {
    CustomSettingsFile();
    DocumentSettings doc = DocumentSettings::Reset();
    doc.zoomDuration = 333.0;
    const std::string copy = dir + "/mine.cfg";
    prompts.paths.push_back(copy);
    ASSERT_TRUE(SaveConfiguration(prompts, app, doc));

    // Revert to plain defaults, then load the copy.
    DocumentSettings fresh;
    WriteDefaultConfiguration(settingsPath, app.settings, fresh);
    prompts.paths.push_back(copy);
    DocumentSettings target = DocumentSettings::Reset();
    ASSERT_TRUE(LoadConfiguration(prompts, app, target, {}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(333.0, target.zoomDuration);
    EXPECT_EQ(test::ReadAll(copy), test::ReadAll(settingsPath));

    // A document made now takes the fields Save Configuration did not own.
    DocumentSettings later;
    ASSERT_TRUE(ReadDocumentConfiguration(settingsPath, app.settings, later));
    EXPECT_EQ(3.5, later.channels[2].calibration[2]);
    EXPECT_EQ("cm/s", later.channels[2].unit);
    EXPECT_EQ(2.0, later.logSelectionStep);
    EXPECT_EQ(1, later.egg.channel);
    EXPECT_EQ(333.0, later.zoomDuration);
    const ConfigurationBlock loaded = BlockFromBytes(test::ReadAll(settingsPath));
    EXPECT_EQ("XLR", loaded.View().Text(cfg::kConnectorAt, 16));
    EXPECT_EQ(8, loaded.View().I32LE(cfg::kRecordPlaySettingAt));
    EXPECT_EQ(44100, loaded.View().I32LE(cfg::kRecordingFormAt));
}

TEST_F(ConfigurationCommandsTest, SaveWithoutSettingsFileStartsFromDocumentDefaults) {
    prompts.paths.push_back(dir + "/a.cfg");
    ASSERT_TRUE(SaveConfiguration(prompts, app, DocumentSettings::Reset()));
    EXPECT_EQ(BytesOf(MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset())),
              test::ReadAll(dir + "/a.cfg"));
}

TEST_F(ConfigurationCommandsTest, SaveCancelAndFailure) {
    EXPECT_FALSE(SaveConfiguration(prompts, app, DocumentSettings::Reset()));  // cancelled
    EXPECT_TRUE(prompts.messages.empty());

    const std::string existing = dir + "/keep.cfg";
    test::WriteAll(existing, "old");
    prompts.paths.push_back(dir + "/missing/folder/x.cfg");
    EXPECT_FALSE(SaveConfiguration(prompts, app, DocumentSettings::Reset()));
    EXPECT_EQ(prompts.LastMessage().rfind("Error in saving the configuration file.\n\n", 0), 0u);
    EXPECT_NE(prompts.LastMessage().find(std::strerror(ENOENT)), std::string::npos) << prompts.LastMessage();
}

// --- Load Configuration ----------------------------------------------------

TEST(ConfigurationLoadFilters, ChannelSetupRanges) {
    struct Case {
        std::size_t array;  // offset of the array in the block
        int value;
        bool taken;
    };
    const Case cases[] = {
        {cfg::kChannelRateAt, 999, false},   {cfg::kChannelRateAt, 1000, true},
        {cfg::kChannelRateAt, 45000, true},  {cfg::kChannelRateAt, 45001, false},
        {cfg::kChannelCutoffAt, -1, false},  {cfg::kChannelCutoffAt, 0, true},
        {cfg::kChannelCutoffAt, 8000, true}, {cfg::kChannelCutoffAt, 8001, false},
        {cfg::kChannelGainAt, -1, false},    {cfg::kChannelGainAt, 0, true},
        {cfg::kChannelGainAt, 350, true},    {cfg::kChannelGainAt, 351, false},
        {cfg::kChannelEnabledAt, -7, true},  {cfg::kChannelEnabledAt, 0, true},
    };
    for (int element : {0, 16}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(element) + ": " + std::to_string(c.array) + " = " + std::to_string(c.value));
            ApplicationSettings app;
            for (ChannelSetup& s : app.channelSetup)
                s = ChannelSetup{5, 5, 5, 5, "old"};
            ConfigurationBlock block;
            block.PutSignature();
            PutChannelSetupArrays(block, app.channelSetup);
            block.Span().Text(cfg::kConnectorAt, 16, "new");
            block.Span().I32LE(c.array + 4 * element, c.value);
            ApplyLoadedApplicationPart(block, app);
            const ChannelSetup& s = app.channelSetup[element];
            const int got = c.array == cfg::kChannelRateAt     ? s.sampleRate
                            : c.array == cfg::kChannelCutoffAt ? s.filterCutoff
                            : c.array == cfg::kChannelGainAt   ? s.gain
                                                               : s.enabled;
            EXPECT_EQ(c.taken ? c.value : 5, got);
            EXPECT_EQ("old", app.channelSetup[0].connector);
        }
    }
}

TEST_F(ConfigurationCommandsTest, LoadAppliesAndCopiesAndPlacesWindows) {
    CustomSettingsFile();
    ConfigurationBlock chosen = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());
    chosen.Span().I32LE(cfg::kPlayGridChannelAt, 11);
    chosen.Span().Text(cfg::kInputSourceAt, 16, "Line");
    chosen.Span().Text(cfg::kOutputRouteAt, 32, "External Hardware");
    chosen.Span().I32LE(cfg::kPlacementsAt + 16 * 6, 42);
    chosen.Span().I32LE(cfg::kChannelRateAt + 4 * 2, 44100);
    chosen.Span().I32LE(cfg::kFftIntsBAt + 4 * 5, 30);
    const std::string chosenPath = dir + "/chosen.cfg";
    test::WriteBlockFile(chosenPath, chosen);

    std::vector<std::string> calls;
    ConfigurationWindowHooks hooks;
    hooks.placeDocumentViews = [&] { calls.push_back("views"); };
    hooks.placeStatusWindow = [&] { calls.push_back("status"); };
    hooks.reloadRecordPlay = [&] { calls.push_back("recordplay"); };
    hooks.placeLogWindow = [&] { calls.push_back("log"); };

    prompts.paths.push_back(chosenPath);
    DocumentSettings doc = DocumentSettings::Reset();
    ASSERT_TRUE(LoadConfiguration(prompts, app, doc, hooks));
    EXPECT_EQ(11, app.settings.playGridChannel);
    EXPECT_EQ("Line", app.settings.inputSource);
    EXPECT_EQ("External Hardware", app.settings.outputRoute);
    EXPECT_EQ(42, app.settings.placements[6][0]);
    EXPECT_EQ(44100, app.settings.channelSetup[2].sampleRate);
    EXPECT_EQ(30, doc.fftLpc.values[FftLpcSettings::kLpcOrder]);
    EXPECT_EQ(test::ReadAll(chosenPath), test::ReadAll(settingsPath));
    EXPECT_EQ((std::vector<std::string>{"views", "status", "recordplay", "log"}), calls);
    EXPECT_EQ("Load a Configuration file", prompts.openRequests.at(0).title);
}

TEST_F(ConfigurationCommandsTest, LoadedValuesOutsideTheirDialogsTakeTheirDefaults) {
    CustomSettingsFile();
    ConfigurationBlock chosen = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());
    const platform::ByteSpan b = chosen.Span();
    b.F64LE(cfg::kSampleRateAt, 1e300);
    b.I32LE(cfg::kFftIntsAAt + 4, 1000);               // FFT points, not a power of two
    b.I32LE(cfg::kFftIntsBAt + 4 * 5, 2147483647);     // LPC order
    b.I32LE(cfg::kSpectroIntsAAt, 1 << 24);            // spectrogram points
    b.F64LE(cfg::kSpectroPreEmphasisAt, std::numeric_limits<double>::quiet_NaN());
    b.I32LE(cfg::kIntensityWindowAt + 4 * 2, -30);
    b.F64LE(cfg::kCalibrationX1At + 8 * 2, 1e300);     // not applied by Load, but by the next document
    b.I32LE(cfg::kChannelGainAt + 4 * 2, 100000);
    const std::string chosenPath = dir + "/wild.cfg";
    test::WriteBlockFile(chosenPath, chosen);

    prompts.paths.push_back(chosenPath);
    DocumentSettings doc = DocumentSettings::Reset();
    doc.fftLpc.values[FftLpcSettings::kPoints] = 1024;
    doc.spectrogram.preEmphasis = 0.5;
    const int gainBefore = app.settings.channelSetup[2].gain;
    ASSERT_TRUE(LoadConfiguration(prompts, app, doc, {}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(22050.0, doc.sampleRate);
    EXPECT_EQ(256, doc.fftLpc.values[FftLpcSettings::kPoints]);
    EXPECT_EQ(26, doc.fftLpc.values[FftLpcSettings::kLpcOrder]);
    EXPECT_EQ(64, doc.spectrogram.values[SpectrogramSettings::kPoints]);
    EXPECT_EQ(0.98, doc.spectrogram.preEmphasis);
    EXPECT_EQ(30.0, doc.channels[2].intensityWindow);
    EXPECT_EQ(gainBefore, app.settings.channelSetup[2].gain);

    // The settings file is the chosen file's copy; the next document checks
    // it again.
    EXPECT_EQ(test::ReadAll(chosenPath), test::ReadAll(settingsPath));
    DocumentSettings later;
    ASSERT_TRUE(ReadDocumentConfiguration(settingsPath, app.settings, later));
    EXPECT_EQ(256, later.fftLpc.values[FftLpcSettings::kPoints]);
    EXPECT_EQ((std::array<double, 4>{0, 0, 1, 0}), later.channels[2].calibration);
}

TEST_F(ConfigurationCommandsTest, LoadRefusesForeignFileAndAppliesNothing) {
    const ConfigurationBlock custom = CustomSettingsFile();
    const std::string chosenPath = dir + "/foreign.cfg";
    ConfigurationBlock foreign = test::SentinelBlock(false);
    test::WriteBlockFile(chosenPath, foreign);
    const ApplicationSettings before = app.settings;

    prompts.paths.push_back(chosenPath);
    prompts.paths.push_back(dir + "/does-not-exist.cfg");
    for (int i = 0; i < 2; ++i) {
        DocumentSettings doc = DocumentSettings::Reset();
        doc.zoomDuration = 777.0;
        EXPECT_FALSE(LoadConfiguration(prompts, app, doc, {}));
        EXPECT_EQ("Error in reading the configuration file.", prompts.LastMessage());
        EXPECT_EQ(777.0, doc.zoomDuration);
        EXPECT_EQ(before.placements, app.settings.placements);
        EXPECT_EQ(BytesOf(custom), test::ReadAll(settingsPath));
    }
    EXPECT_EQ(2u, prompts.messages.size());
}

TEST_F(ConfigurationCommandsTest, LoadFailureAfterApplyingReportsAndKeepsWhatWasApplied) {
    ConfigurationBlock chosen = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());
    chosen.Span().I32LE(cfg::kZoomAt, 50);
    const std::string chosenPath = dir + "/chosen.cfg";
    test::WriteBlockFile(chosenPath, chosen);
    app.tempFolder = dir + "/gone";  // the settings file cannot be written
    prompts.paths.push_back(chosenPath);
    DocumentSettings doc = DocumentSettings::Reset();
    EXPECT_TRUE(LoadConfiguration(prompts, app, doc, {}));
    EXPECT_EQ(50.0, doc.zoomDuration);
    EXPECT_EQ(prompts.LastMessage().rfind("Error in reading the configuration file.\n\n", 0), 0u);
    EXPECT_NE(prompts.LastMessage().find(std::strerror(ENOENT)), std::string::npos) << prompts.LastMessage();
}

TEST_F(ConfigurationCommandsTest, LoadWithoutDocumentCopiesWithoutApplying) {
    const std::string chosenPath = dir + "/anything.cfg";
    test::WriteAll(chosenPath, "not a settings file");
    int placed = 0;
    ConfigurationWindowHooks hooks;
    hooks.placeDocumentViews = [&] { placed += 100; };
    hooks.placeStatusWindow = [&] { ++placed; };
    const ApplicationSettings before = app.settings;
    prompts.paths.push_back(chosenPath);
    ASSERT_TRUE(LoadConfigurationWithoutDocument(prompts, app, hooks));
    EXPECT_EQ("not a settings file", test::ReadAll(settingsPath));
    EXPECT_EQ(before.placements, app.settings.placements);
    EXPECT_EQ(1, placed);
    EXPECT_TRUE(prompts.messages.empty());

    // A missing file ends the command silently.
    prompts.paths.push_back(dir + "/missing.cfg");
    EXPECT_FALSE(LoadConfigurationWithoutDocument(prompts, app, hooks));
    EXPECT_TRUE(prompts.messages.empty());
}

// --- Revert To Default Configuration ---------------------------------------

TEST_F(ConfigurationCommandsTest, RevertDeletesOnlyAfterEveryDocumentClosed) {
    struct Case {
        platform::Answer answer;
        bool closes;
        bool deleted;
    };
    const Case cases[] = {
        {platform::Answer::No, true, false},
        {platform::Answer::Cancel, true, false},
        {platform::Answer::Yes, false, false},  // the user kept a modified document open
        {platform::Answer::Yes, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.answer) * 10 + c.closes);
        CustomSettingsFile();
        prompts.answers.push_back(c.answer);
        prompts.beeps = 0;
        int closeCalls = 0;
        bool fileWhileClosing = false;
        int quits = 0;
        const bool result = RevertToDefaultConfiguration(
            prompts, app,
            [&] {
                ++closeCalls;
                fileWhileClosing = platform::PathExists(settingsPath);
                return c.closes;
            },
            [&] { ++quits; });
        EXPECT_EQ(c.deleted, result);
        EXPECT_EQ(c.deleted, !platform::PathExists(settingsPath));
        EXPECT_EQ(c.deleted ? 1 : 0, quits);
        EXPECT_EQ(c.answer == platform::Answer::Yes ? 1 : 0, closeCalls);
        if (closeCalls) {
            EXPECT_TRUE(fileWhileClosing);
        }
        EXPECT_EQ(1, prompts.beeps);
        EXPECT_EQ(std::string(kRevertQuestion), prompts.LastMessage());
        EXPECT_EQ(platform::Buttons::YesNoCancel, prompts.messages.back().buttons);
    }

    // After the revert the exit writes nothing and the next start-up writes
    // the start-up defaults.
    EXPECT_FALSE(WriteExitConfiguration(settingsPath, app.settings));
    EXPECT_FALSE(platform::PathExists(settingsPath));
    ApplicationSettings next;
    ASSERT_TRUE(LoadConfigurationBlock(settingsPath, next));
    DocumentSettings doc;
    ASSERT_TRUE(ReadDocumentConfiguration(settingsPath, next, doc));
    EXPECT_EQ(8.0, doc.display.pictureWidth);
    EXPECT_EQ(10.0, doc.logSelectionStep);
}

}  // namespace
}  // namespace vocomet
