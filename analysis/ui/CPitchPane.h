#pragma once
// The pitch window's drawing pane: the F0 track of one channel as dots over
// the shown time range, with the channel's labels, its audio trace and its
// intensity curve above, the frequency and time grids, the shared cursor and
// selection, zoom and scroll, play requests and log entries.
//
// SetChannel copies what the computation needs and asks for it; the track is
// computed once, right after (queued on the UI thread), under a progress
// window that a click cancels, never inside a paint. Zoom, scroll and resize
// only lay the plot out again and draw. A refused or failed computation
// (with its message, when it gave one) and a cancelled one close the window.
//
// Drawing: the plot is drawn into a picture of the client size (the layers,
// without marks); a paint copies it and adds the selection tint (an AND of
// the selection colour), the marker line and the cursor line. Printing and
// the bitmap export draw the same layers on their own surfaces.
//
// Every time of a frame goes through PitchTrack::FrameTimeMs, and every
// x through the pane's AnalysisPaneSelection: the dots, the read-outs, the
// log entries and the zoom use the same mapping.
//
// UI thread only.

#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "analysis/AnalysisPaneSelection.h"
#include "analysis/AnalysisServices.h"
#include "analysis/PitchTrack.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "core/DocumentSettings.h"

class QPainter;
class QScrollBar;

namespace platform {
class Progress;
}

namespace vocomet {

class CChannels;
class LogSink;
class COrielDoc;
class MainViewLink;
struct PlayRange;

inline constexpr const char* kPitchDisplayError =
    "Error in setting up display.\nThis could be due to low memory. Please close some windows and try "
    "again.\nIf the problem persists, please save work, close application and start again.";
inline constexpr const char* kPitchBitmapPrefix = "bmp_F0_";
inline constexpr const char* kPitchLabelError = "Error in drawing the labels.";

class CPitchPane : public QWidget, public PitchPaneService {
    Q_OBJECT
public:
    explicit CPitchPane(COrielDoc& doc, QWidget* parent = nullptr);
    ~CPitchPane() override;

    COrielDoc& GetDocument() const { return m_doc; }

    // What the pane reaches of other windows; empty: not there.
    struct Hooks {
        // The document's main view (mirrored mouse events, its font).
        std::function<MainViewLink*()> mainView;
        // The document's spectrogram pane (mirrored mouse events).
        std::function<AnalysisPane*()> spectrogramPane;
        // The measurement log window (null when closed).
        std::function<LogSink*()> logFrame;
        // After every move: time, pitch, selection duration, intensity.
        std::function<void(double, double, double, double)> showCursorValues;
        // The window goes (a failed or cancelled computation, a display
        // that cannot be made).
        std::function<void()> closeWindow;
        // The progress of a computation (default: a CProgressDialog).
        std::function<std::unique_ptr<platform::Progress>()> makeProgress;
    } hooks;

    // ---- PitchPaneService ----
    void SetChannel(int channel) override;
    void SetRedrawFlag(int flag) override;
    void Invalidate() override;
    void BeginMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    void EndMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    void TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) override;

    // The document is gone (its frame was destroyed before this window):
    // from here on the pane draws nothing, takes no event and touches no
    // document.
    void DetachDocument();
    bool IsDetached() const { return m_detached; }

    // Runs the computation now when SetChannel asked for one (what the
    // queued request does). False when the window is to close.
    bool ComputeIfNeeded();
    bool ComputationPending() const { return m_newChannel; }

    // ---- state ----
    int Channel() const { return m_channel; }
    bool IsTrackValid() const { return m_trackValid; }
    const PitchTrack& Track() const { return m_track; }
    const AnalysisPaneSelection& Selection() const { return m_sel; }
    const PitchSettings& Settings() const { return m_settings; }
    QRect PlotRect() const;
    // The font of the pane's axis texts.
    QFont AppFont() const;
    QRect AudioStrip() const { return m_audioStrip; }
    QRect IntensityStrip() const { return m_intensityStrip; }
    QRect LabelStrip() const { return m_labelStrip; }
    // Sound this pane asked for plays (on any road) and its cursor runs.
    bool IsPlaying() const { return m_playing; }
    // Where the play cursor stands or stood when it stopped (-1: never ran).
    int LastPlayCursorX() const;
    // Moves the play cursor to where the sound is; ends it with the sound.
    void AdvancePlayCursor();
    double MarkerTime() const { return m_markerTime; }
    double MarkerPitch() const { return m_markerPitch; }
    double MarkerIntensity() const { return m_markerIntensity; }
    // The track value at a time (0 without a track).
    double PitchAt(double timeMs) const;
    // The intensity at a time when the window shows intensity, else 0.
    double IntensityAt(double timeMs);
    // The picture the last paint copied (layers without marks).
    const QImage& Background() const { return m_background; }

    // ---- commands (CPitchPaneCommands.cpp) ----
    void Zoom(int mode);
    bool CanZoom(int mode) const;
    void PlayAll();
    void PlaySelection();
    void PlayWindow();
    bool CanPlay(int mode) const;  // PlayMode values: 1 All, 2 Selection, 3 Window
    void LogPitchAtMarker();
    void LogPitchSelection();
    void LogPitchAll();
    bool CanLogPitchAtMarker() const;
    bool CanLogPitchSelection() const;
    bool CanLogPitchAll() const;
    // A scroll-bar step (also the wheel and the drag past the plot's edge).
    void OnHScroll(PaneScrollCode code, int thumb = 0);

    // ---- printing and export ----
    // The plot on a page: the print frame of the print size, the layers in
    // print style.
    void PrintTrack(QPainter& dc);
    // What Save As bmp writes, at width x height pixels.
    QImage RenderBitmap(int width, int height);
    void SaveAsBmp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // How the layers are drawn on a surface.
    struct Style {
        bool screen = true;
        bool colour = true;
        int dotSize = 1;
        double labelFontScale = 1.0;
        bool intensityInAudioOnly = false;  // print and bitmap: intensity shares the audio strip
        bool printAxes = false;
    };
    struct Layout {
        QRect plot, audio, intensity, labels;
    };
    // Strips and plot from the plot's first rectangle; labelHeight is the
    // label strip's height, audioGap the pixels between the audio strip
    // and the plot.
    Layout LayoutFrom(const QRect& first, int labelHeight, int audioGap, bool intensityInAudioOnly) const;
    void CreateDisplay();
    void DrawLayers(QPainter& dc, const Layout& layout, const Style& style);
    void DrawLabels(QPainter& dc, const QRect& strip, double fontScale);
    void DrawAudio(QPainter& dc, const QRect& strip);
    void DrawIntensity(QPainter& dc, const QRect& strip, QColor colour);
    void DrawTrack(QPainter& dc, const QRect& plot, int dotSize, QColor colour);
    void DrawGrids(QPainter& dc, const QRect& plot, bool print);
    void RebuildPicture();
    void RequestComputation();
    void Close();
    CChannels* ChannelData() const;
    int LabelStripHeight(bool* present) const;
    void SyncScrollBar();
    void StopPlayback();
    // Plays range on the road the main view would take, with this pane's
    // play cursor.
    void StartPlay(const PlayRange& range, int mode);
    void ShowValues();
    // Passes a press, move or release on to the main view and the
    // spectrogram pane.
    void Mirror(MouseStep step, unsigned flags, platform::Point point, double timeMs);

    COrielDoc& m_doc;
    QScrollBar* m_scrollBar = nullptr;
    int m_channel = -1;
    PitchSettings m_settings;
    AnalysisPaneSelection m_sel;
    PitchTrack m_track;
    bool m_trackValid = false;
    bool m_newChannel = false;
    bool m_computeQueued = false;
    bool m_computing = false;
    bool m_redraw = true;
    bool m_closing = false;
    bool m_syncingBar = false;
    bool m_detached = false;

    QRect m_client;
    QRect m_audioStrip, m_intensityStrip, m_labelStrip;
    int m_labelHeight = 0;
    bool m_labelsPresent = false;
    QImage m_background;
    int m_cursorX = -1;

    double m_markerTime = 0.0;
    double m_markerPitch = 0.0;
    double m_markerIntensity = 0.0;
    bool m_playing = false;
    class ViewPlayback* m_playback = nullptr;  // made at the first play
};

}  // namespace vocomet
