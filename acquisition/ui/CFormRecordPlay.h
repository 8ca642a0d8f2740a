#pragma once
// The record/play options: how recordings are played (the audio box's play
// attenuation and route, the sixteen-channel system's route) and at which
// rate the sound card records. One small floating window (CFrameRecordPlay)
// lives as long as the application; it is made hidden at start-up and shown
// by Options > Record/Play.
//
// The choices take effect at once, for the next play or recording; Save
// and Close copies the play record into the application's settings and
// patches the settings file.

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "core/ChannelSetup.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace platform {
class UserPrompts;
}

namespace vocomet {

struct ApplicationState;
class COrielDoc;

struct PlayGainEntry {
    std::string text;
    int value = 0;
};
inline constexpr int kPlayGainEntries = 22;
// "-0 dB" .. "-60 dB" in steps of 3 with 1023 / 10^(3i/20) truncated, then
// "-INF dB" with 0.
std::array<PlayGainEntry, kPlayGainEntries> MakePlayGainTable();

inline constexpr const char* kGainCaption = "Gain applies to both Left and Right Channels";
inline constexpr const char* kTwoChannelNote = "For 2 channel system, the play is always thru computer.";
inline constexpr const char* kSampleRateNote = "Audio Sample Rate";

class CFormRecordPlay : public QWidget {
    Q_OBJECT
public:
    CFormRecordPlay(ApplicationState& app, QWidget* parent = nullptr);

    // Takes working copies of the hardware channel records in use and of
    // the play record.
    void LoadSettings();
    // Shows and places the controls for the hardware present, from the
    // current settings.
    void ArrangeForMode();
    // Without audio box and sixteen-channel system: the play rate from the
    // rate list (22050 for the second item, 44100 for the third, else
    // 11025).
    void ReadSoundCardRate();
    // The rate of the working play record.
    int PlayRate() const { return m_playRecord.sampleRate; }
    const std::array<ChannelSetup, 16>& ChannelCopies() const { return m_channels; }
    const std::array<PlayGainEntry, kPlayGainEntries>& GainTable() const { return m_gainTable; }

    // Save and Close: the play record into the settings, the window hidden,
    // the settings file patched (gain index, audio-box play word and gain
    // with the audio box; route and play rate always). A missing, short or
    // foreign settings file is left alone, silently.
    void OnSaveAndClose();
    // Cancel: the controls show the current settings again; the window
    // hides.
    void OnCancelButton();
    void OnPlayThruHardware();
    void OnPlayThruComputer();
    void OnSelchangeGain(int index);
    void OnSelchangeSampleRate(int index);

    // The document the form works on and whether it was ever saved (set by
    // the main view).
    void SetDocument(COrielDoc* doc) { m_document = doc; }
    COrielDoc* Document() const { return m_document; }
    int savedDocument = 0;

    // What hides the frame (its close); set by the frame.
    std::function<void()> closeFrame;

    QComboBox* SampleRateCombo() const { return m_sampleRate; }
    QComboBox* GainCombo() const { return m_gain; }
    QRadioButton* ComputerRadio() const { return m_computer; }
    QRadioButton* HardwareRadio() const { return m_hardware; }
    QLabel* CaptionText() const { return m_caption; }
    QLabel* ModeNote() const { return m_modeNote; }
    QPushButton* SaveButton() const { return m_save; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void SetRoute(int route);
    void CheckRoute();

    ApplicationState& m_app;
    QComboBox* m_sampleRate;
    QRadioButton* m_computer;
    QRadioButton* m_hardware;
    QComboBox* m_gain;
    QLabel* m_caption;
    std::array<ChannelSetup, 16> m_channels{};
    ChannelSetup m_playRecord{};
    std::array<PlayGainEntry, kPlayGainEntries> m_gainTable;
    QLabel* m_modeNote;
    QPushButton* m_save;
    QPushButton* m_cancel;
    COrielDoc* m_document = nullptr;
};

}  // namespace vocomet
