// The record/play options window: its controls in each hardware mode, the
// choices it makes, and what Save and Close writes into the settings file.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationTestUtil.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class RecordPlayOptions : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        SetChannelSetupDefaults(app.settings.channelSetup, 0);
    }

    // The frame as start-up makes it, over a stand-in main window.
    CFormRecordPlay& Make() {
        frame = CreateRecordPlayFrame(mainWindow, app, prompts);
        EXPECT_NE(nullptr, frame);
        EXPECT_EQ(frame, app.acquisition.recordPlayFrame);
        return *frame->Form();
    }

    void Shoot(const char* name) {
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame));
        const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
        QDir().mkpath(dir);
        frame->grab().save(dir + QStringLiteral("/") + QString::fromLatin1(name));
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    QWidget mainWindow;
    CFrameRecordPlay* frame = nullptr;
};

TEST_F(RecordPlayOptions, GainTableMatchesTheAttenuationSteps) {
    const auto table = MakePlayGainTable();
    const int values[] = {1023, 724, 512, 362, 256, 181, 128, 91, 64, 45, 32, 22, 16, 11, 8, 5, 4, 2, 2, 1, 1, 0};
    for (int i = 0; i < kPlayGainEntries; ++i)
        EXPECT_EQ(values[i], table[static_cast<std::size_t>(i)].value) << i;
    EXPECT_EQ("-0 dB", table[0].text);
    EXPECT_EQ("-60 dB", table[20].text);
    EXPECT_EQ("-INF dB", table[21].text);
}

TEST_F(RecordPlayOptions, SoundCardModeOffersTheRateAndSavesOnlyRouteAndRate) {
    app.settings.channelSetup[kPlayChannelSetup].sampleRate = 48000;  // not in the list
    const std::string path = app.ConfigurationFilePath();
    const ConfigurationBlock before = test::SentinelBlock(true);
    test::WriteBlockFile(path, before);

    CFormRecordPlay& form = Make();
    EXPECT_EQ(QStringLiteral("Record & Play Options:: "), frame->windowTitle());
    EXPECT_EQ(QRect(100, 50, 450, 300), frame->geometry());
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(form.ModeNote()->isVisibleTo(&form));
    EXPECT_EQ(QString::fromLatin1(kSampleRateNote), form.ModeNote()->text());
    EXPECT_TRUE(form.SampleRateCombo()->isVisibleTo(&form));
    EXPECT_FALSE(form.GainCombo()->isVisibleTo(&form));
    EXPECT_FALSE(form.HardwareRadio()->isVisibleTo(&form));
    EXPECT_FALSE(form.CaptionText()->isVisibleTo(&form));
    EXPECT_EQ(3, form.SampleRateCombo()->count());
    EXPECT_EQ(0, form.SampleRateCombo()->currentIndex());  // 48000 shows as "11025"
    form.ReadSoundCardRate();
    EXPECT_EQ(11025, form.PlayRate());
    Shoot("record_play_sound_card.png");

    form.SampleRateCombo()->setCurrentIndex(2);
    form.OnSelchangeSampleRate(2);
    EXPECT_EQ(44100, form.PlayRate());
    QTest::mouseClick(form.SaveButton(), Qt::LeftButton);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(44100, app.settings.channelSetup[kPlayChannelSetup].sampleRate);

    const ConfigurationBlock after = test::BlockFromBytes(test::ReadAll(path));
    test::ExpectOnlyChanged(before, after, {{204, 208}, {2832, 2836}});
    EXPECT_EQ(44100, after.View().I32LE(204));
    EXPECT_EQ(1, after.View().I32LE(2832));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(RecordPlayOptions, AudioBoxModeSetsGainAndRouteAndSavesThem) {
    app.acquisition.audioBoxPresent = 1;
    app.acquisition.hardwareChannelCount = 2;
    app.settings.recordingForm[kFormRecordPlayGainIndex] = 2;
    app.settings.recordingForm[kFormRecordPlayValue] = 7;
    const std::string path = app.ConfigurationFilePath();
    const ConfigurationBlock before = test::SentinelBlock(true);
    test::WriteBlockFile(path, before);

    CFormRecordPlay& form = Make();
    EXPECT_EQ(QString::fromLatin1(kGainCaption), form.CaptionText()->text());
    EXPECT_TRUE(form.CaptionText()->isVisibleTo(&form));
    EXPECT_EQ(kPlayGainEntries, form.GainCombo()->count());
    EXPECT_EQ(2, form.GainCombo()->currentIndex());
    EXPECT_TRUE(form.HardwareRadio()->isChecked());
    EXPECT_FALSE(form.ComputerRadio()->isChecked());
    EXPECT_TRUE(form.GainCombo()->isEnabled());
    EXPECT_FALSE(form.SampleRateCombo()->isVisibleTo(&form));
    Shoot("record_play_audio_box.png");

    const struct {
        int index;
        int gain;
    } gains[] = {{21, 0}, {2, 512}, {20, 1}};
    for (const auto& g : gains) {
        form.OnSelchangeGain(g.index);
        EXPECT_EQ(g.gain, app.acquisition.outputGain);
    }

    // Cancel after choosing the computer keeps the route; the controls show it.
    QTest::mouseClick(form.ComputerRadio(), Qt::LeftButton);
    EXPECT_EQ(0, app.acquisition.playRoute);
    EXPECT_FALSE(form.GainCombo()->isEnabled());
    EXPECT_FALSE(form.HardwareRadio()->isChecked());
    form.OnCancelButton();
    EXPECT_EQ(0, app.acquisition.playRoute);
    EXPECT_TRUE(form.ComputerRadio()->isChecked());

    form.OnSaveAndClose();
    const ConfigurationBlock after = test::BlockFromBytes(test::ReadAll(path));
    test::ExpectOnlyChanged(before, after, {{204, 208}, {2820, 2836}});
    EXPECT_EQ(20, after.View().I32LE(2820));
    EXPECT_EQ(7, after.View().I32LE(2824));
    EXPECT_EQ(1, after.View().I32LE(2828));
    EXPECT_EQ(0, after.View().I32LE(2832));
    // The exit write carries the same values.
    EXPECT_EQ(0, app.settings.recordingForm[kFormPlayRoute]);
    EXPECT_EQ(1, app.settings.recordingForm[kFormPlayAttenuation]);
}

TEST_F(RecordPlayOptions, TwoChannelSystemAlwaysPlaysThroughTheComputer) {
    app.acquisition.rendalPresent = 1;
    app.acquisition.hardwareChannelCount = 2;
    app.settings.recordingForm[kFormPlayRoute] = 1;
    CFormRecordPlay& form = Make();
    EXPECT_EQ(0, app.acquisition.playRoute);
    EXPECT_EQ(QString::fromLatin1(kTwoChannelNote), form.ModeNote()->text());
    EXPECT_FALSE(form.HardwareRadio()->isVisibleTo(&form));
    EXPECT_EQ(QPoint(10, 90), form.HardwareRadio()->pos());

    ApplicationState five;
    five.tempFolder = app.tempFolder;
    five.acquisition.rendalPresent = 1;
    five.acquisition.hardwareChannelCount = 5;
    CFrameRecordPlay* other = CreateRecordPlayFrame(mainWindow, five, prompts);
    ASSERT_NE(nullptr, other);
    EXPECT_TRUE(other->Form()->HardwareRadio()->isVisibleTo(other->Form()));
    EXPECT_TRUE(other->Form()->HardwareRadio()->isChecked());
    EXPECT_FALSE(other->Form()->ModeNote()->isVisibleTo(other->Form()));
    delete other;
    EXPECT_EQ(nullptr, five.acquisition.recordPlayFrame);
}

TEST_F(RecordPlayOptions, AForeignOrShortSettingsFileIsLeftAlone) {
    const std::string path = app.ConfigurationFilePath();
    CFormRecordPlay& form = Make();
    form.OnSelchangeSampleRate(1);
    for (const std::string& bytes : {test::BytesOf(test::SentinelBlock(false)), std::string(100, 'x')}) {
        test::WriteAll(path, bytes);
        form.OnSaveAndClose();
        EXPECT_EQ(bytes, test::ReadAll(path));
    }
    EXPECT_EQ(22050, app.settings.channelSetup[kPlayChannelSetup].sampleRate);  // memory keeps the choice
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(RecordPlayOptions, OptionsCommandShowsThenSavesAndHides) {
    app.settings.placements[kPlacementRecordPlay] = {300, 200, 900, 700};
    test::WriteBlockFile(app.ConfigurationFilePath(), test::SentinelBlock(true));
    Make();
    EXPECT_EQ(QRect(300, 200, 450, 300), frame->geometry());  // the saved place, the fixed size
    COrielDoc doc(app, prompts);
    doc.neverSaved = 0;
    ToggleRecordPlayOptions(app, &doc);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(QStringLiteral("Record/Play Options"), frame->windowTitle());
    EXPECT_EQ(1, frame->Form()->savedDocument);
    EXPECT_EQ(&doc, frame->Form()->Document());
    // Load Configuration: the open window reloads and goes to the stored place.
    app.settings.channelSetup[kPlayChannelSetup].sampleRate = 22050;
    app.settings.placements[kPlacementRecordPlay] = {120, 80, 570, 380};
    ReloadRecordPlayOptions(app);
    EXPECT_EQ(QRect(120, 80, 450, 300), frame->geometry());
    EXPECT_EQ(1, frame->Form()->SampleRateCombo()->currentIndex());
    app.settings.channelSetup[kPlayChannelSetup].sampleRate = 11025;
    ReloadRecordPlayOptions(app);
    frame->close();  // closing only hides
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(frame, app.acquisition.recordPlayFrame);
    ToggleRecordPlayOptions(app, &doc);
    ToggleRecordPlayOptions(app, &doc);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(11025, test::BlockFromBytes(test::ReadAll(app.ConfigurationFilePath())).View().I32LE(204));
}

}  // namespace
}  // namespace vocomet
