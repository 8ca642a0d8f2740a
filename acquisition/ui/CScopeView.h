#pragma once
// The live scope of the sixteen-channel USB 2 system: one trace per channel
// switched on in the record/play options ("Audio" first), scrolling from
// right to left while the device streams. The view
// opens the device itself, sends the start and stop requests with value 1,
// and runs a reader thread that keeps 32 bulk-IN transfers of 4096 bytes
// (128 frames) queued. The reader never draws: it queues each block to the
// view (dropping blocks when the view falls behind), which splits it into
// sixteen channels and draws the strips.
//
// Opened by the main frame's command 32775 "Scope Window", which no menu,
// accelerator or toolbar carries; enabled while the system is present and no
// scope window is open.

#include <QImage>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QAction;
class QMainWindow;
class QMdiArea;

namespace vocomet {

class CButtonST;
class CUsbDevice;
class CUsbEndpoint;
struct ApplicationState;

inline constexpr int kScopeWindowCommand = 32775;
inline constexpr const char* kScopeHint = "***Use Options->Record/Play dialog, to adjust the hardware' s settings***";

class CScopeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 32;
    static constexpr int kBlockBytes = 4096;
    static constexpr int kFrames = 128;
    static constexpr int kScrollDivisor = 40;
    static constexpr int kTop = 50;

    CScopeView(ApplicationState& app, QWidget* parent = nullptr);
    ~CScopeView() override;

    // Buffers, buttons, the device and its endpoints; the first timer
    // starts sampling.
    void OnInitialUpdate();
    void OnTimer();
    // "Zoom In": sampling on again (nothing while a reader runs);
    // "Zoom Out": the stop request, then the reader ends.
    void OnStartScope();
    void OnStopScope();
    // Clears the run flag, sends the stop request and waits for the reader
    // to end (its transfers taken back). True when the request went out.
    bool StopScope();
    void OnOptionsRecordPlay();

    // UI thread: one block of 128 frames into the channel buffers, channel
    // 0 drawn at the newest place.
    void DrawChannelBlock(const std::uint8_t* block, std::size_t bytes);
    void CreateBuffers();

    bool IsReaderRunning() const { return m_reader.joinable(); }
    int StripCount() const { return m_stripCount; }
    // The hint line at the top; a click on it opens the record/play options.
    QRect HintRect() const;
    int ScrollStep() const { return m_scrollStep; }
    int NewDataPosition() const { return m_newDataPosition; }
    const QRect& Strip(int i) const { return m_strips[static_cast<std::size_t>(i)]; }
    const std::array<std::vector<std::int16_t>, 16>& Channels() const { return m_channels; }
    const QImage& TracePicture() const { return m_trace; }
    int BlocksDrawn() const { return m_blocksDrawn; }
    CUsbDevice* Device() const { return m_device.get(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool SendRequest(std::uint8_t request);
    void StartReader();
    void EndReader();
    void RunScopeReader();
    void Drain();

    ApplicationState& m_app;
    std::unique_ptr<CUsbDevice> m_device;
    CUsbEndpoint* m_bulkIn = nullptr;
    CUsbEndpoint* m_bulkOut = nullptr;
    std::thread m_reader;
    std::atomic<int> m_run{0};
    std::array<QRect, 20> m_strips{};
    std::vector<int> m_stripChannels;  // the channel record each strip shows
    std::array<std::vector<std::int16_t>, 16> m_channels;
    bool m_buffersReady = false;
    int m_width = 0;
    int m_height = 0;
    int m_scrollStep = 0;
    int m_newDataPosition = 0;
    int m_stripCount = 0;
    QImage m_trace;
    QImage m_grid;
    QImage m_blank;
    CButtonST* m_zoomIn = nullptr;
    CButtonST* m_zoomOut = nullptr;
    int m_blocksDrawn = 0;

    std::mutex m_queueMutex;
    std::deque<std::vector<std::uint8_t>> m_queue;
    bool m_drainPosted = false;
};

class CScopeChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CScopeChildFrame(ApplicationState& app, QWidget* parent = nullptr);
    CScopeView* View() const { return m_view; }
    // Before a recording starts: stops the scope and closes the frame.
    void CloseScopeWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();
    ApplicationState& m_app;
    CScopeView* m_view;
};

// The main frame's command 32775: an action of the main window, in no menu
// and with no shortcut. Returns it (tests trigger it).
QAction* InstallScopeWindowCommand(QMainWindow& mainFrame, QMdiArea& area, ApplicationState& app);
// The open scope frame, or null.
CScopeChildFrame* OpenScopeFrame(QMainWindow& mainFrame);

}  // namespace vocomet
