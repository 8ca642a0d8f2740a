#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>

#include "ConfigurationTestUtil.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {
namespace {

using test::BlockFromBytes;
using test::BytesOf;
using test::ExpectOnlyChanged;
using test::GoldenApplication;
using test::SentinelBlock;

std::string GoldenPath(const std::string& name) { return test::SourceDir() + "/tests/core/golden/" + name; }

// The golden files leave the font record zero: it is the platform's default
// GUI font, laid over here.
ConfigurationBlock GoldenBlock(const std::string& name) {
    ConfigurationBlock b = BlockFromBytes(test::ReadAll(GoldenPath(name)));
    platform::DefaultGuiFont().Encode(b.data() + cfg::kFormantFontAt);
    return b;
}

void ExpectSameBytes(const ConfigurationBlock& expected, const ConfigurationBlock& actual) {
    int reported = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (expected.data()[i] != actual.data()[i] && reported++ < 8)
            ADD_FAILURE() << "byte " << i << ": expected " << int(expected.data()[i]) << ", got "
                          << int(actual.data()[i]);
}

TEST(ConfigurationGolden, CommittedFilesMatchTheScript) {
    if (!test::HaveTool("python3"))
        GTEST_SKIP() << "python3 not installed";
    const std::string dir = test::FreshTempDir();
    ASSERT_EQ(0, test::RunCommand("python3 '" + GoldenPath("make_configuration_golden.py") + "' '" + dir + "'"));
    for (const char* name : {"startup_defaults.cfg", "document_defaults.cfg"})
        EXPECT_EQ(test::ReadAll(GoldenPath(name)), test::ReadAll(dir + "/" + name)) << name;
}

TEST(ConfigurationGolden, StartupDefaultsFromEmptyBuffer) {
    ConfigurationBlock block;
    FillStartupDefaults(block, GoldenApplication());
    ExpectSameBytes(GoldenBlock("startup_defaults.cfg"), block);
    // The font record is a real font, not zeros.
    EXPECT_EQ(platform::DefaultGuiFont(), platform::LogFontA::Decode(block.data() + cfg::kFormantFontAt));
    EXPECT_FALSE(platform::DefaultGuiFont().faceName.empty());
}

TEST(ConfigurationGolden, DocumentDefaults) {
    const ConfigurationBlock block = MakeDocumentDefaultBlock(GoldenApplication(), DocumentSettings::Reset());
    ExpectSameBytes(GoldenBlock("document_defaults.cfg"), block);
}

TEST(ConfigurationGolden, DocumentDefaultWriterResetsAndWritesFile) {
    const std::string path = test::FreshTempDir() + "/VocometConf.cfg";
    DocumentSettings s;
    s.logSelectionStep = 7.0;
    s.channels[3].unit = "kPa";
    ASSERT_TRUE(WriteDefaultConfiguration(path, GoldenApplication(), s));
    EXPECT_EQ(1.0, s.logSelectionStep);
    EXPECT_EQ("normalized", s.channels[3].unit);
    EXPECT_EQ(22050.0, s.sampleRate);
    ExpectSameBytes(GoldenBlock("document_defaults.cfg"), BlockFromBytes(test::ReadAll(path)));
}

// --- each writer changes only its own bytes -------------------------------

const test::Ranges kUnused = {{52, 68}, {600, 856}, {1532, 1536}, {1580, 1584}, {1644, 1648}, {2972, 2976}};

TEST(ConfigurationWriters, StartupDefaultsKeepUnusedBytes) {
    const ConfigurationBlock before = SentinelBlock(false);
    ConfigurationBlock after = before;
    FillStartupDefaults(after, GoldenApplication());
    // Every field is written; of the unused regions only 52-67, which the
    // output route text runs on into, may change.
    ExpectOnlyChanged(before, after,
                      {{0, 600}, {856, 1532}, {1536, 1580}, {1584, 1644}, {1648, 2972}});
    EXPECT_EQ("Computer", after.View().Text(cfg::kOutputRouteAt, cfg::kOutputRouteSize));
}

TEST(ConfigurationWriters, DocumentPartWriters) {
    const DocumentSettings s = DocumentSettings::Reset();
    {
        const ConfigurationBlock before = SentinelBlock(true);
        ConfigurationBlock after = before;
        WriteDocumentPart(after, s);
        ExpectOnlyChanged(before, after,
                          {{1032, 1532}, {1536, 1580}, {1584, 1644}, {1648, 2768}, {2836, 2972}});
    }
    {
        const ConfigurationBlock before = SentinelBlock(true);
        ConfigurationBlock after = before;
        WriteSavedDocumentPart(after, s);
        ExpectOnlyChanged(before, after, {{1032, 1532}, {1536, 1580}, {1584, 1644}, {1648, 1736}});
    }
}

TEST(ConfigurationWriters, ApplicationPutters) {
    const ApplicationSettings app = GoldenApplication();
    struct Case {
        const char* name;
        void (*put)(ConfigurationBlock&, const ApplicationSettings&);
        test::Ranges own;
    };
    const Case cases[] = {
        {"play grid", PutPlayGridChannel, {{16, 20}}},
        {"routing", PutRoutingTexts, {{20, 68}}},
        {"record/play", PutRecordPlaySetting, {{68, 72}}},
        {"arrays", [](ConfigurationBlock& b, const ApplicationSettings& a) { PutChannelSetupArrays(b, a.channelSetup); },
         {{72, 344}}},
        {"connectors", [](ConfigurationBlock& b, const ApplicationSettings& a) { PutConnectorTexts(b, a.channelSetup); },
         {{344, 600}}},
        {"placements", PutPlacements, {{856, 1032}}},
        {"recording form", PutRecordingFormSettings, {{2768, 2836}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigurationBlock before = SentinelBlock(true);
        ConfigurationBlock after = before;
        c.put(after, app);
        ExpectOnlyChanged(before, after, c.own);
    }
}

class ConfigurationFileTest : public ::testing::Test {
protected:
    void SetUp() override { path = test::FreshTempDir() + "/VocometConf.cfg"; }
    ConfigurationBlock FileBlock() const { return BlockFromBytes(test::ReadAll(path)); }
    std::string path;
};

TEST_F(ConfigurationFileTest, ExitPatchChangesOnlyItsFields) {
    const ConfigurationBlock before = SentinelBlock(true);
    test::WriteBlockFile(path, before);
    ApplicationSettings app = GoldenApplication();
    app.playGridChannel = 9;
    app.recordPlaySetting = 4;
    app.recordingForm[kFormPlayRoute] = 0;
    ASSERT_TRUE(WriteExitConfiguration(path, app));
    const ConfigurationBlock after = FileBlock();
    ExpectOnlyChanged(before, after, {{0, 72}, {2768, 2836}});
    EXPECT_EQ(9, after.View().I32LE(16));
    EXPECT_EQ(4, after.View().I32LE(68));
    EXPECT_EQ(0, after.View().I32LE(2768 + 4 * kFormPlayRoute));
}

TEST_F(ConfigurationFileTest, ClosingPatchWritesOnlyPlacements) {
    const ConfigurationBlock before = SentinelBlock(true);
    test::WriteBlockFile(path, before);
    ASSERT_TRUE(WriteClosingPlacements(path, GoldenApplication()));
    const ConfigurationBlock after = FileBlock();
    ExpectOnlyChanged(before, after, {{0, 16}, {856, 1032}});
    EXPECT_EQ(1001, after.View().I32LE(856 + 16 * 10));
}

TEST_F(ConfigurationFileTest, PatchesLeaveMissingOrForeignFilesAlone) {
    EXPECT_FALSE(WriteExitConfiguration(path, GoldenApplication()));
    EXPECT_FALSE(WriteClosingPlacements(path, GoldenApplication()));
    EXPECT_FALSE(platform::PathExists(path));

    const std::string foreign(3000, 'x');
    test::WriteAll(path, foreign);
    EXPECT_FALSE(WriteExitConfiguration(path, GoldenApplication()));
    EXPECT_FALSE(WriteClosingPlacements(path, GoldenApplication()));
    EXPECT_EQ(foreign, test::ReadAll(path));

    // A settings file cut short is not filled in.
    const std::string shortFile = BytesOf(SentinelBlock(true)).substr(0, cfg::kBlockSize - 1);
    test::WriteAll(path, shortFile);
    EXPECT_FALSE(WriteExitConfiguration(path, GoldenApplication()));
    EXPECT_FALSE(WriteClosingPlacements(path, GoldenApplication()));
    EXPECT_EQ(shortFile, test::ReadAll(path));
}

// The file's identity: a rewrite goes through a scratch file and a rename,
// so it shows as a new inode (and a new modification time).
struct FileStamp {
    ino_t inode = 0;
    std::filesystem::file_time_type mtime;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(0, ::stat(path.c_str(), &st));
    return {st.st_ino, std::filesystem::last_write_time(path)};
}

// A settings file as it stood an hour ago, so a rewrite cannot hide within
// the file system's clock resolution.
FileStamp WriteAgedFile(const std::string& path, const ConfigurationBlock& block) {
    test::WriteBlockFile(path, block);
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    return StampOf(path);
}

TEST_F(ConfigurationFileTest, PatchesThatChangeNothingLeaveTheFileUntouched) {
    ConfigurationBlock current;
    FillStartupDefaults(current, GoldenApplication());
    const struct {
        const char* name;
        bool (*patch)(const std::string&, const ApplicationSettings&);
        void (*change)(ApplicationSettings&);
    } cases[] = {
        {"close", WriteClosingPlacements, [](ApplicationSettings& a) { a.placements[kPlacementPitch][2] += 1; }},
        {"exit", WriteExitConfiguration, [](ApplicationSettings& a) { a.recordingForm[kFormPlayRoute] = 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FileStamp aged = WriteAgedFile(path, current);
        ApplicationSettings app = GoldenApplication();
        EXPECT_TRUE(c.patch(path, app));
        EXPECT_TRUE(aged == StampOf(path));
        EXPECT_EQ(BytesOf(current), test::ReadAll(path));

        c.change(app);
        EXPECT_TRUE(c.patch(path, app));
        const FileStamp after = StampOf(path);
        EXPECT_NE(aged.inode, after.inode);
        EXPECT_GT(after.mtime, aged.mtime);
        EXPECT_NE(BytesOf(current), test::ReadAll(path));
    }
}

// --- start-up read --------------------------------------------------------

TEST_F(ConfigurationFileTest, StartupWritesDefaultsWhenMissingOrForeign) {
    ApplicationSettings app = GoldenApplication();
    ASSERT_TRUE(LoadConfigurationBlock(path, app));
    ConfigurationBlock expected;
    FillStartupDefaults(expected, GoldenApplication());
    EXPECT_EQ(BytesOf(expected), test::ReadAll(path));
    // Nothing is read back: the settings keep their start-up values.
    EXPECT_EQ(11025, app.channelSetup[16].sampleRate);

    // A foreign file: its bytes stay where the defaults do not go.
    ConfigurationBlock foreign = SentinelBlock(false);
    test::WriteBlockFile(path, foreign);
    ASSERT_TRUE(LoadConfigurationBlock(path, app));
    const ConfigurationBlock after = FileBlock();
    EXPECT_TRUE(after.HasSignature());
    EXPECT_EQ(foreign.data()[700], after.data()[700]);
    EXPECT_EQ(foreign.data()[2973], after.data()[2973]);
}

TEST_F(ConfigurationFileTest, StartupFailsWhenDefaultsCannotBeWritten) {
    ApplicationSettings app;
    EXPECT_FALSE(LoadConfigurationBlock(test::FreshTempDir() + "/no/such/folder/VocometConf.cfg", app));
}

TEST(ConfigurationStartupRead, SignatureAndZerosIsAccepted) {
    ConfigurationBlock block;
    block.PutSignature();
    ApplicationSettings app;
    app.recordingForm[0] = 44100;
    ReadStartupApplicationPart(block, app);
    EXPECT_EQ("Mic", app.inputSource);
    EXPECT_EQ("Computer", app.outputRoute);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ("Mask", app.channelSetup[i].connector);
    EXPECT_EQ(200, app.channelSetup[0].gain);
    EXPECT_EQ(1, app.channelSetup[16].gain);
    // Present fields are taken when their form offers the value.
    EXPECT_EQ(0, app.recordingForm[kFormPlayAttenuation]);
    EXPECT_EQ(22050, app.recordingForm[kFormAudioBoxRate]);  // the rate combo has no 0
    EXPECT_EQ(22050.0, app.currentSampleRate);  // a zero rate is not taken
}

TEST(ConfigurationStartupRead, RoutingAndConnectorTexts) {
    struct Case {
        std::string input, output, connector;
        std::string wantInput, wantOutput, wantConnector;
    };
    const Case cases[] = {
        {"Mic", "Computer", "XLR 1", "Mic", "Computer", "XLR 1"},
        {"Line", "External Hardware", "", "Line", "External Hardware", "Mask"},
        {"line", "computer", "Mask", "Mic", "Computer", "Mask"},
        {"", "", "ABCDEFGHIJKLMNOP", "Mic", "Computer", "ABCDEFGHIJKLMNOP"},  // 16 bytes, no NUL
        {"LineLineLineLine", "External Hardwarexxxxxxxxxxxxxxx", "", "Mic", "Computer", "Mask"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + "|" + c.output + "|" + c.connector);
        ConfigurationBlock block = SentinelBlock(true);
        // Raw bytes: texts that fill their field carry no NUL.
        auto raw = [&](std::size_t off, std::size_t size, const std::string& t) {
            for (std::size_t i = 0; i < size; ++i)
                block.data()[off + i] = i < t.size() ? static_cast<std::uint8_t>(t[i]) : 0;
        };
        raw(cfg::kInputSourceAt, 16, c.input);
        raw(cfg::kOutputRouteAt, 32, c.output);
        raw(cfg::kConnectorAt + 16 * 5, 16, c.connector);
        block.data()[cfg::kConnectorAt + 16 * 6] = 'Q';  // the next field starts right after
        ApplicationSettings app;
        ReadStartupApplicationPart(block, app);
        EXPECT_EQ(c.wantInput, app.inputSource);
        EXPECT_EQ(c.wantOutput, app.outputRoute);
        EXPECT_EQ(c.wantConnector, app.channelSetup[5].connector);
    }
}

TEST(ConfigurationStartupRead, ChannelArrays) {
    struct Case {
        int element, gainInFile, wantGain;
    };
    // The audio record offers 100 to 800 in steps of 100, the others 1, 2,
    // 4, 6, 8, 10, 15 and 20; anything else takes 200 or 1.
    const Case cases[] = {{0, 0, 200},   {0, -3, 200},  {0, 1, 200},     {0, 100, 100},       {0, 800, 800},
                          {0, 150, 200}, {0, 900, 200}, {0, 2147483647, 200}, {1, 0, 1},     {1, 20, 20},
                          {5, 3, 1},     {5, 15, 15},   {5, 350, 1},     {16, 0, 1},          {16, 7, 1},
                          {16, 4, 4},    {15, -2147483647 - 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.element);
        ConfigurationBlock block;
        block.PutSignature();
        block.Span().I32LE(cfg::kChannelGainAt + 4 * c.element, c.gainInFile);
        block.Span().I32LE(cfg::kChannelEnabledAt + 4 * c.element, 7);
        block.Span().I32LE(cfg::kChannelRateAt + 4 * c.element, 44100);
        block.Span().I32LE(cfg::kChannelCutoffAt + 4 * c.element, 150);
        ApplicationSettings app;
        ReadStartupApplicationPart(block, app);
        EXPECT_EQ(c.wantGain, app.channelSetup[c.element].gain);
        EXPECT_EQ(7, app.channelSetup[c.element].enabled);
        for (const ChannelSetup& s : app.channelSetup) {
            EXPECT_EQ(22050, s.sampleRate);
            EXPECT_EQ(8000, s.filterCutoff);
        }
    }
}

TEST(ConfigurationStartupRead, PlacementsFormSettingsAndRate) {
    ConfigurationBlock block;
    FillStartupDefaults(block, GoldenApplication());
    block.Span().I32LE(cfg::kRecordingFormAt + 4 * kFormGainValue, 500);
    block.Span().I32LE(cfg::kPlayGridChannelAt, 12);
    ApplicationSettings app;
    ReadStartupApplicationPart(block, app);
    EXPECT_EQ(GoldenApplication().placements, app.placements);
    EXPECT_EQ(500, app.recordingForm[kFormGainValue]);
    EXPECT_EQ(44100.0, app.currentSampleRate);
    EXPECT_EQ(5, app.playGridChannel);  // not read at start-up

    const double badRates[] = {0.0, 0.5, -8000.0, 1e300, 4294967296.0, std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity()};
    for (double bad : badRates) {
        block.Span().F64LE(cfg::kSampleRateAt, bad);
        ApplicationSettings a2;
        a2.currentSampleRate = 16000.0;
        ReadStartupApplicationPart(block, a2);
        EXPECT_EQ(16000.0, a2.currentSampleRate) << bad;
    }
}

TEST(ConfigurationStartupRead, PlacementsAreKeptOnTheDesktop) {
    // A desktop of 1920 x 1080 whose top 30 pixels belong to a panel.
    const platform::Rect desktop{0, 30, 1920, 1080};
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    struct Case {
        const char* what;
        int slot;
        WindowPlacement stored;
        WindowPlacement taken;
    };
    const Case cases[] = {
        {"sane child", kPlacementPitch, {20, 20, 500, 300}, {20, 20, 500, 300}},
        {"left 0 alone", kPlacementMainChild, {0, 10, 800, 300}, {0, 10, 800, 300}},
        {"never placed", kPlacementStatus, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"2 x 2 child", kPlacementMainChild, {10, 10, 2, 2}, {0, 0, 0, 0}},
        {"2 x 2 log", kPlacementLog, {10, 40, 12, 42}, {0, 0, 0, 0}},
        {"negative size", kPlacementSpectrogram, {20, 20, -450, 450}, {0, 0, 0, 0}},
        {"inside-out status", kPlacementStatus, {600, 900, 5, 1040}, {0, 0, 0, 0}},
        {"main frame off every screen", kPlacementMainChild, {-30000, 25000, 800, 300}, {0, 750, 800, 300}},
        {"half off the right", kPlacementFormantPlot, {1700, 100, 500, 300}, {1420, 100, 500, 300}},
        {"32767 x 32767 status", kPlacementStatus, {0, 0, 32767, 32767}, {0, 30, 1920, 1080}},
        {"status under the panel", kPlacementStatus, {5, 0, 600, 160}, {5, 30, 600, 190}},
        {"int range log", kPlacementLog, {kMin, kMin, kMax, kMax}, {0, 30, 1920, 1080}},
        {"record/play size fixed", kPlacementRecordPlay, {1800, 100, 1801, 101}, {1470, 100, 1920, 400}},
        {"label list too large", kPlacementLabelList, {100, 100, 5000, 4000}, {0, 0, 1920, 1050}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.taken, PlacementOnDesktop(c.slot, c.stored, desktop));

        // As start-up and Load Configuration take it from a settings file.
        ConfigurationBlock block;
        FillStartupDefaults(block, GoldenApplication());
        for (int j = 0; j < 4; ++j)
            block.Span().I32LE(cfg::kPlacementsAt + 16 * c.slot + 4 * j, c.stored[j]);
        ApplicationSettings atStart;
        atStart.desktop = desktop;
        ReadStartupApplicationPart(block, atStart);
        EXPECT_EQ(c.taken, atStart.placements[c.slot]);
        ApplicationSettings loaded;
        loaded.desktop = desktop;
        ApplyLoadedApplicationPart(block, loaded);
        EXPECT_EQ(c.taken, loaded.placements[c.slot]);
    }
    // With no desktop known yet, what was stored is taken.
    EXPECT_EQ((WindowPlacement{10, 10, 2, 2}), PlacementOnDesktop(kPlacementMainChild, {10, 10, 2, 2}, {}));
}

TEST(ConfigurationStartupRead, RecordingFormValuesOutsideTheirFormsFallBack) {
    struct Case {
        int setting;
        int value;
        bool taken;
    };
    const Case cases[] = {
        {kFormAudioBoxRate, 44100, true},    {kFormAudioBoxRate, 48000, false},  {kFormAudioBoxRate, -1, false},
        {kFormAudioBoxChannels, 2, true},    {kFormAudioBoxChannels, 3, false},  {kFormInputSourceIndex, 1, true},
        {kFormInputSourceIndex, 2, false},   {kFormGainValue, 20, true},         {kFormGainValue, 800, true},
        {kFormGainValue, 301, false},        {kFormGainIndex, 9, true},          {kFormGainIndex, 10, false},
        {kFormPhantomPower, 1, true},        {kFormPhantomPower, -1, false},     {kFormBalance, 0, true},
        {kFormScopeFftPoints, 64, true},     {kFormScopeFftPoints, 1024, true},  {kFormScopeFftPoints, 2048, false},
        {kFormScopeFftPoints, 32, false},    {kFormScopeFftPoints, 100, false},  {kFormScopeRangeDb, 30, true},
        {kFormScopeRangeDb, 100, true},      {kFormScopeRangeDb, 55, false},     {kFormScopeRangeDb, 110, false},
        {kFormScopeValue, 8000, true},       {kFormScopeValue, -1, false},       {kFormScopeDisplayMode, 2, false},
        {kFormDspSetupValue, -7, true},      {kFormTalkThrough, 1, true},        {kFormRecordPlayGainIndex, 21, true},
        {kFormRecordPlayGainIndex, 22, false}, {kFormRecordPlayValue, 12345, true}, {kFormPlayAttenuation, 0, true},
        {kFormPlayAttenuation, 1024, false}, {kFormPlayAttenuation, -1, false},  {kFormPlayRoute, 0, true},
        {kFormPlayRoute, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.setting) + " = " + std::to_string(c.value));
        ConfigurationBlock block;
        FillStartupDefaults(block, GoldenApplication());
        block.Span().I32LE(cfg::kRecordingFormAt + 4 * c.setting, c.value);
        ApplicationSettings app;
        app.recordingForm[c.setting] = 77;  // shows that the field was read
        ReadStartupApplicationPart(block, app);
        EXPECT_EQ(c.taken ? c.value : kInitialRecordingFormSettings[c.setting], app.recordingForm[c.setting]);
    }
}

TEST_F(ConfigurationFileTest, ShortFileCountsAsMissingFields) {
    ConfigurationBlock full;
    FillStartupDefaults(full, GoldenApplication());
    // The file ends inside placement slot 2, before its last int.
    test::WriteAll(path, BytesOf(full).substr(0, 900));
    ApplicationSettings app;
    app.placements[2] = {6, 6, 6, 6};
    app.placements[3] = {7, 7, 7, 7};
    app.recordingForm[kFormGainValue] = 77;
    app.currentSampleRate = 8000.0;
    ASSERT_TRUE(LoadConfigurationBlock(path, app));
    EXPECT_EQ((WindowPlacement{201, 202, 203, 6}), app.placements[2]);
    EXPECT_EQ((WindowPlacement{7, 7, 7, 7}), app.placements[3]);
    EXPECT_EQ(77, app.recordingForm[kFormGainValue]);
    EXPECT_EQ(8000.0, app.currentSampleRate);
    EXPECT_EQ(900u, test::ReadAll(path).size());  // reading changes nothing
}

TEST(ChannelSetupDefaults, ByHardwareChannelCount) {
    for (int count : {0, 2, 17}) {
        SCOPED_TRACE(count);
        ChannelSetupArray s{};
        for (auto& c : s)
            c = ChannelSetup{9, 9, 9, 9, "old"};
        SetChannelSetupDefaults(s, count);
        EXPECT_EQ((std::tuple{1, 22050, 8000, 200, std::string("Mask")}),
                  std::tie(s[0].enabled, s[0].sampleRate, s[0].filterCutoff, s[0].gain, s[0].connector));
        if (count >= 2)
            EXPECT_EQ((std::tuple{1, 22050, 150, 1, std::string("Mask")}),
                      std::tie(s[1].enabled, s[1].sampleRate, s[1].filterCutoff, s[1].gain, s[1].connector));
        else
            EXPECT_EQ("old", s[1].connector);
        EXPECT_EQ(11025, s[16].sampleRate);
        EXPECT_EQ(count == 17 ? 150 : 9, s[16].filterCutoff);
    }
}

}  // namespace
}  // namespace vocomet
