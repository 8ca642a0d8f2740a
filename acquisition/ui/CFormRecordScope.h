#pragma once
// The recording window of the audio box: sets the box's analogue front end
// and DSP, has the first-generation worker sample, and shows the input live
// (a scrolling waveform per channel, a scrolling spectrogram from the
// spectra the DSP computes, and the newest spectrum). Record appends the
// samples to the recording file; Save turns that file into the document's
// channels and closes the window.
//
// Threads: the form registers a client with the worker; the worker's calls
// only put the newest block into a slot and queue one redraw, so blocks
// that come while the form is busy replace each other (the display drops
// them; the file never does). The record time follows the blocks the worker
// wrote to the file. The form unregisters, after stopping the worker and
// waiting for its run to end, before it goes.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition/CUSBThread.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;
class QToolButton;

namespace platform {
class File;
class UserPrompts;
}  // namespace platform

namespace vocomet {

class COrielDoc;
class CButtonST;
class CUSBThread;

inline constexpr const char* kRecordScopeTitle = "Sonetta Record and Scope";
inline constexpr const char* kSaveRecordedFileQuestion = "Save the recorded file?";
inline constexpr const char* kRateLockedMessage = "Sample rate cannot be changed while file is open for recording.";
inline constexpr const char* kModeLockedMessage = "Mode cannot be changed while file is open for recording.";
inline constexpr const char* kRecordingBufferError = "Could not allocate recording buffer.";
inline constexpr const char* kRecordScopeSaveError = "Error in saving the recorded file.";

// Gain table of the front end: the gain shown and the code sent.
struct GainRow {
    int gain;
    int code;
};
inline constexpr std::array<GainRow, 10> kGainTable{{{10, 3},
                                                      {30, 9},
                                                      {50, 15},
                                                      {80, 24},
                                                      {100, 30},
                                                      {200, 60},
                                                      {300, 90},
                                                      {500, 150},
                                                      {700, 210},
                                                      {800, 240}}};

class CFormRecordScope : public QWidget {
    Q_OBJECT
public:
    // recordingFile: the file the recording goes to (closed or null: the
    // form shows the input and records nothing). worker may be null.
    CFormRecordScope(COrielDoc& doc, std::shared_ptr<platform::File> recordingFile, CUSBThread* worker,
                     QWidget* parent = nullptr);
    // Stops the worker, waits for its run to end and unregisters; a
    // recording file the document did not take is closed and removed.
    ~CFormRecordScope() override;

    // Sets the controls from the settings, sends the local and the DSP
    // setup, makes the buttons and panes and starts sampling 200 ms later.
    // False when the sample buffer cannot be had (after the message).
    bool OnInitialUpdate();
    // Stops the worker; after a recording asks "Save the recorded file?".
    // False when the user answered Cancel (the window stays, the worker
    // stays stopped) or the recording could not be loaded.
    bool QuerySaveAndClose();
    void SendLocalSetup();
    void SendDspSetup();

    // The buttons.
    void OnRecord();
    void OnStop();
    void OnPause();
    void OnFreeze();
    void OnSave();
    void OnCancel();
    // The zoom spin: a negative step halves the blocks across, a positive
    // one doubles them.
    void OnZoom(int step);

    // Called after the recording became the document's channels.
    std::function<void()> onRecordingLoaded;
    // While recording, with each whole block that reaches the screen (UI
    // thread): the block, the blocks recorded so far and the sample rate.
    std::function<void(const std::vector<std::uint8_t>&, std::int64_t, int)> onRecordingBlock;
    // Closes the frame (the frame sets it).
    std::function<void()> closeFrame;

    // State, for the frame and tests.
    int recording = 0;
    int paused = 0;
    int frozen = 0;
    int hasRecorded = 0;
    int laidOut = 0;
    int DrawnBlocks() const { return m_drawnBlocks; }
    QString RecordTimeText() const;
    int SampleRate() const;
    int ChannelCount() const;
    bool HasRecordingFile() const;

    QComboBox* rateCombo = nullptr;
    QComboBox* modeCombo = nullptr;
    QComboBox* sourceCombo = nullptr;
    QComboBox* gainCombo = nullptr;
    QComboBox* phantomCombo = nullptr;
    QComboBox* balanceCombo = nullptr;
    QComboBox* fftCombo = nullptr;
    QComboBox* rangeCombo = nullptr;
    QComboBox* frequencyCombo = nullptr;
    std::array<CButtonST*, 6> buttons{};  // Freeze, Pause, Record, Stop, Save, Cancel
    enum ButtonIndex { kFreeze, kPause, kRecord, kStop, kSave, kCancel };

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Client;

    void BuildControls();
    void StartSampling();
    void LayoutPanes();
    void DrawBlock();
    void TakeNewestBlock();
    void Release(std::initializer_list<int> which);
    bool LoadRecording(bool withIntensity);
    void StopWorker();
    void FillFrequencyCombo();
    void ApplySourceToControls();
    int& Setting(int index);

    void OnRateChanged(int index);
    void OnModeChanged(int index);
    void OnSourceChanged(int index);
    void OnGainChanged(int index);
    void OnPhantomChanged(int index);
    void OnBalanceChanged(int index);
    void OnFftChanged(int index);
    void OnFrequencyChanged(int index);
    void OnRangeChanged(int index);

    COrielDoc& m_doc;
    platform::UserPrompts& m_prompts;
    std::shared_ptr<platform::File> m_file;
    CUSBThread* m_worker;
    std::unique_ptr<Client> m_client;
    int m_cookie = 0;
    bool m_fileTaken = false;
    bool m_updating = false;

    // Form values (the settings hold the persisted copies).
    int m_frequencyRange = 10000;
    int m_gridStep = 2000;
    int m_dynamicRange = 60;
    int m_blocksAcross = 64;
    int m_pixelsPerBlock = 1;
    int m_newDataX = 0;
    double m_paneSpanMs = 0.0;
    double m_runningMax = -1e20;
    int m_micBalance = 1;
    int m_micPhantom = 0;
    int m_gainValue = 100;
    int m_gainCode = 30;
    int m_drawnBlocks = 0;
    std::int64_t m_recordedBlocks = 0;

    // The newest block from the worker and the block being drawn.
    std::mutex m_slotMutex;
    std::vector<std::uint8_t> m_slot;
    std::int64_t m_slotRecorded = 0;
    bool m_slotFull = false;
    std::vector<std::uint8_t> m_block;

    QRect m_scrollRect;
    QRect m_spectrumRect;
    QImage m_scrollImage;
    QImage m_scrollOverlay;
    QImage m_spectrumImage;
    QImage m_spectrumOverlay;
    QLabel* m_recordTime = nullptr;
    QLabel* m_leftCaption = nullptr;
    QLabel* m_rightCaption = nullptr;
    QLabel* m_fftCaption = nullptr;
    QButtonGroup* m_displayGroup = nullptr;
    QButtonGroup* m_talkGroup = nullptr;
    QTimer m_startTimer;
};

}  // namespace vocomet
