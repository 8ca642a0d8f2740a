#pragma once
// The recording window of the sixteen-channel USB 2 system: a form in its
// own MDI child frame, opened by the main view's record command on a
// document whose recording file the view has made. From the start it runs
// the USB 2 worker in scope mode: the incoming blocks scroll through one
// trace pane per enabled channel. The analogue front end (audio gain,
// microphone or line, mask or front panel; per channel filter, source and
// gain) is sent to the device at once as control words. Record starts
// writing the blocks to the recording file; Save turns the recording into
// the document's channels and stores the settings; Cancel or closing the
// window asks whether to keep the recording.
//
// Threads: the worker hands each block to DisplayBlock on its own thread;
// it only queues the block for this window (dropping display blocks when
// the window falls behind; the file is written by the worker and never
// misses one). The form unregisters before it goes, and stops the worker
// (stop flag, then a bounded wait for the run to end) before the recording
// file is loaded or closed.

#include <QImage>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition/CUSB2Thread.h"
#include "acquisition/RendalControls.h"
#include "core/ChannelSetup.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class CButtonST;
class CLabel;
class COrielDoc;
class CUSB2Hardware;
struct ApplicationState;

inline constexpr const char* kRendalSaveQuestion = "Save the recorded file?";
inline constexpr const char* kRendalSaveParametersError = "Error in saving the parameters.";
inline constexpr const char* kRendalScopeHint = "                          Scope Mode... Press Record to Start Recording";

class CFormRecordRendal : public QWidget, public Usb2SampleClient {
    Q_OBJECT
public:
    CFormRecordRendal(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~CFormRecordRendal() override;

    // Resets the device, builds the controls from the acquisition records
    // and sends every control word, then starts sampling 200 ms later.
    void OnInitialUpdate();
    void StartSampling();

    // Buttons, radios, combo, grid and zoom.
    void OnRecord();
    // True when the recording was kept and the settings stored (the frame
    // then closes); false after "Error in saving the parameters.".
    bool OnSaveRecording();
    void OnCancelRecording();
    void OnMic();
    void OnLine();
    void OnMask();
    void OnFrontPanel();
    void OnSelchangeGain();
    void OnChannelGridChange();
    void OnDeltaposZoomSpin(int delta);
    // When something was recorded asks "Save the recorded file?": Yes
    // stops the worker and loads the file, No stops it and closes the
    // file; then the frame closes (closing: the frame is closing already).
    // Cancel changes nothing (the recording and sampling go on) and gives
    // false, which keeps the frame open.
    bool QuerySaveAndClose(bool closing = false);

    // Worker thread: queues the block for the display.
    void DisplayBlock(const std::uint8_t* data, std::size_t bytes) override;
    // UI thread: draws one block of whole frames into the panes.
    void DrawBlock(const std::uint8_t* data, std::size_t bytes);

    // Called after a recording was loaded into the document.
    std::function<void()> onRecordingLoaded;

    // State, for the frame and tests.
    int Recording() const { return m_recording; }
    int HasRecorded() const { return m_hasRecorded; }
    int BlocksPerWidth() const { return m_blocksPerWidth; }
    int BlockWidth() const { return m_blockWidth; }
    int LayoutValid() const { return m_layoutValid; }
    const QRect& PanesArea() const { return m_panesArea; }
    const std::vector<QRect>& Panes() const { return m_panes; }
    const QImage& TraceImage() const { return m_trace; }
    QString RecordTimeText() const;
    CUSB2Thread* Worker() const { return m_worker.get(); }
    QTableWidget* Grid() const { return m_grid; }
    QComboBox* GainCombo() const { return m_gain; }
    const ChannelSetupArray& Records() const { return m_records; }
    int ChannelCount() const { return m_count; }
    bool TwoChannelLayout() const;
    std::uint8_t AudioByte() const { return RendalAudioByte(m_dcBit, m_micBit, m_frontPanelBit, m_gainIndex); }
    // Blocks drawn, and display blocks dropped because the window fell behind.
    int BlocksDrawn() const { return m_blocksDrawn; }
    int BlocksDropped() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SendAudioControl();
    void BuildGrid();
    std::vector<RendalChannelRow> ReadGrid() const;
    void ResetDisplay();
    void LayoutPanes();
    void DrainBlocks();
    void StopWorker();
    void PrepareDocumentChannels(bool fromSave);
    bool LoadRecordingIntoDocument();
    void CloseFrame();
    void ShowWorkerMessage(const QString& text);

    COrielDoc& m_doc;
    ApplicationState& m_app;
    platform::UserPrompts& m_prompts;
    std::unique_ptr<CUSB2Hardware> m_hardware;
    std::unique_ptr<CUSB2Thread> m_worker;

    CLabel* m_time = nullptr;
    QRadioButton* m_frontPanel = nullptr;
    QRadioButton* m_line = nullptr;
    QRadioButton* m_mic = nullptr;
    QRadioButton* m_mask = nullptr;
    QSpinBox* m_zoom = nullptr;
    int m_zoomValue = 0;
    QComboBox* m_gain = nullptr;
    QTableWidget* m_grid = nullptr;
    QLabel* m_sourceCaption = nullptr;
    QLabel* m_maskHint = nullptr;
    QLabel* m_bncHint = nullptr;
    CButtonST* m_recordButton = nullptr;
    CButtonST* m_saveButton = nullptr;
    CButtonST* m_cancelButton = nullptr;
    bool m_building = false;

    ChannelSetupArray m_records{};
    int m_count = 0;
    QRect m_panesArea;
    std::vector<QRect> m_panes;
    std::vector<int> m_paneRecords;
    int m_layoutValid = 0;
    int m_blockWidth = 0;
    int m_newestX = 0;
    int m_paneWidth = 0;
    int m_paneHeight = 0;
    int m_blocksPerWidth = 64;
    int m_recording = 0;
    int m_paused = 0;
    int m_frozen = 0;
    int m_hasRecorded = 0;
    double m_blockCounter = 0.0;
    QImage m_trace;
    QImage m_overlay;
    QImage m_blank;
    int m_gainIndex = 0;
    int m_frontPanelBit = 0;
    int m_micBit = 16;
    int m_dcBit = 32;
    int m_blocksDrawn = 0;

    // Blocks waiting for the display, filled by the worker.
    mutable std::mutex m_queueMutex;
    std::deque<std::vector<std::uint8_t>> m_queue;
    bool m_drainPosted = false;
    int m_dropped = 0;
};

// The frame: title "Rendal Record", at least 800 x 500; its place is the
// one both record frames share. Closing it runs the form's
// QuerySaveAndClose first; Cancel there keeps it open. It closes with the
// document's own frame (asked first, before the document goes; Cancel keeps
// both open).
class CFormRecordRendalFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CFormRecordRendalFrame(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* documentFrame,
                           QWidget* parent = nullptr);
    CFormRecordRendal* Form() const { return m_form; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StorePlacement();
    ApplicationState& m_app;
    CFormRecordRendal* m_form;
    QPointer<QWidget> m_documentFrame;
    bool m_closing = false;
};

}  // namespace vocomet
