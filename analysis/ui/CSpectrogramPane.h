#pragma once
// The drawing pane of the spectrogram window: the grey spectrogram of one
// audio channel over a range, with its frequency and time axes, the optional
// audio trace, labels and formant dots, the marker cross and the selection
// band, and the pane's own commands (play, log entries, formant plot).
//
// The spectrogram is computed once per change of what it shows: new
// settings, or a size that changes the plot's columns or rows (one spectrum
// per pixel column, one level per pixel row). The computation is queued to
// run after the event that asked for it, under the document's progress
// window (cancellable); scrolling, moving the cursor, a press or a drag only
// draw. A paint copies the picture drawn after the computation and adds the
// band, the marker and the mouse cross-hair on top.
//
// Cursor and selection are kept in time (AnalysisPaneSelection), shared with
// the main view and the pitch pane: a press, move or release here is passed
// to them with the time and source 0, and theirs arrive through the
// MouseMirror calls. A new layout places them again from their times.
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
#include "analysis/SpectrogramAnalysis.h"
#include "analysis/SpectrogramPaneGeometry.h"
#include "core/DocumentSettings.h"

class QPainter;
class QPrinter;

namespace platform {
class File;
class Progress;
}  // namespace platform

namespace vocomet {

class COrielDoc;
class MainViewLink;
class LogSink;
class CFormPlotFormantFrame;

inline constexpr const char* kSpectrogramBitmapPrefix = "bmp_Spec_";
inline constexpr const char* kSpectrogramTempFileError = "Error in creating a temp file.";
inline constexpr const char* kPlotFormantsTitle = "Plot Formants";

class CSpectrogramPane : public QWidget, public SpectrogramPaneService {
    Q_OBJECT
public:
    explicit CSpectrogramPane(COrielDoc& doc, QWidget* parent = nullptr);
    ~CSpectrogramPane() override;

    COrielDoc& GetDocument() const { return m_doc; }

    // ---- what other windows provide (empty: not there) ----
    struct Hooks {
        // The document's main view (the first view), which mirrors the
        // pane's presses, moves and releases.
        std::function<MainViewLink*()> mainView;
        // The pitch pane open on the document.
        std::function<AnalysisPane*()> pitchPane;
        // The measurement log window (null when closed).
        std::function<LogSink*()> logFrame;
        // The read-outs of the view: time, frequency, duration (-1 leaves one).
        std::function<void(double, double, double)> showCursorValues;
        // The progress window of the computation; default: the document's.
        std::function<std::unique_ptr<platform::Progress>()> makeProgress;
        // Where PlotFormants puts its new formant plot window (an MDI area
        // is looked for when empty); the frame is not yet shown.
        std::function<void(CFormPlotFormantFrame*)> addPlotWindow;
    } hooks;

    // ---- settings and computation ----

    // Stores the range and the settings; the computation follows once the
    // pane has a size (queued). channel: the analysed channel's slot, whose
    // samples are read when the computation runs (its current count).
    void SetAnalysisSettings(int channel, const std::shared_ptr<platform::File>& dataFile, double totalSamples,
                             double rate, double startSample, double endSample, double startMs, double endMs,
                             const SpectrogramSettings& settings);
    // Moves the pane within its parent; a new plot size recomputes.
    void MovePane(const QRect& rect, bool repaint);
    // Lays out and computes now when that is pending (the queued call does
    // this); true when a valid spectrogram is held afterwards.
    bool ComputeIfNeeded();

    bool SettingsPresent() const { return m_settingsPresent; }
    bool IsSpectrogramValid() const { return m_valid; }
    bool FormantsFound() const { return m_valid && m_image.tracksFormants && m_image.formantsFound; }
    bool TracksFormants() const { return SpectrogramTracksFormants(m_settings); }
    const SpectrogramImage& Image() const { return m_image; }
    const SpectrogramLayout& Layout() const { return m_layout; }
    const SpectrogramSettings& Settings() const { return m_settings; }
    int ComputeCount() const { return m_computeCount; }
    double RangeStartMs() const { return m_startMs; }
    double RangeEndMs() const { return m_endMs; }
    double DurationMs() const { return m_endMs - m_startMs; }
    // The picture as drawn after the last computation (no marker or band).
    const QImage& CleanPicture() const { return m_clean; }

    // ---- cursor and selection ----

    const AnalysisPaneSelection& Selection() const { return m_selection; }
    bool MarkerShown() const { return m_valid && m_selection.MarkerShown() && !m_selection.Pressed(); }
    bool SelectionExists() const { return m_valid && m_selection.SelectionExists(); }
    double MarkerTime() const { return m_selection.PressTime(); }
    double MarkerFrequency() const { return m_markerHz; }
    double TrackingTime() const { return m_selection.TrackedTime(); }
    double TrackingFrequency() const { return m_trackHz; }
    // Selection limits in ms from the range start.
    double SelectionStart() const { return m_selection.SelectionStartMs() - m_startMs; }
    double SelectionEnd() const { return m_selection.SelectionEndMs() - m_startMs; }
    double SelectionDuration() const { return m_selection.SelectionDurationMs(); }

    // MouseMirror: source 1 is a point of this pane, source 0 a time of
    // another window (clamped to the range by a press, ignored outside it by
    // a move). Nothing happens without a valid spectrogram.
    void BeginMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    void TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) override;
    void EndMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    // AnalysisPane: 1 makes the next computation run (queued).
    void SetRedrawFlag(int flag) override;
    void Invalidate() override;

    // ---- commands (CSpectrogramPaneCommands.cpp) ----

    void PlaySelection();
    void PlayWindow();
    bool CanPlaySelection() const { return m_valid && SelectionExists(); }
    bool CanPlayWindow() const { return m_valid; }
    // Sound this pane asked for plays (on any road) and its cursor runs.
    bool IsPlaying() const { return m_playing; }
    // Where the play cursor stands or stood when it stopped (-1: never ran).
    int LastPlayCursorX() const;
    // Moves the play cursor to where the sound is; ends it with the sound.
    void AdvancePlayCursor();
    void LogAtMarker();
    void LogDuration();
    void LogFormantsAtMarker();
    void LogFormantsSelection();
    bool CanLogAtMarker() const;
    bool CanLogDuration() const;
    bool CanLogFormantsAtMarker() const;
    bool CanLogFormantsSelection() const;
    // PlotFormants > Plot All (0) and Plot Selection (1): the formant
    // columns into a new formant plot window; the window, or null.
    CFormPlotFormantFrame* PlotFormants(int selection);
    bool CanPlotFormants(int selection) const { return FormantsFound() && (selection == 0 || SelectionExists()); }

    // ---- printing and export ----

    // One printed page (the print size of the settings, the title, no
    // marker or band).
    void PrintSpectrogram(QPainter& dc);
    bool PrintTo(QPrinter& printer);
    // What Save As bmp writes, at width x height pixels.
    QImage RenderBitmap(int width, int height);
    // File > Save As bmp...
    void SaveAsBmp();
    // Its default file name: "bmp_Spec_" and the title without extension.
    std::string DefaultBitmapFileName() const;

signals:
    // A computation ended; valid when it left a spectrogram.
    void spectrogramComputed(bool valid);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Lays the plot out for the current size; true when the columns or
    // rows changed.
    bool LayOut();
    void QueueCompute();
    void Compute();
    // The layers of the picture: labels, audio trace, spectrogram, formant
    // dots and axes (scale 1 on the screen; printer pixels per screen pixel
    // on paper).
    struct LayerRects {
        QRect plot;
        QRect labelStrip;
        QRect audioStrip;
        int scale = 1;
        bool print = false;
        int formantDotSize = 1;
    };
    void DrawLayers(QPainter& dc, const LayerRects& at);
    LayerRects PrintedLayers(QRect plot, int scale) const;
    void DrawLabels(QPainter& dc, const QRect& strip, double scale);
    void DrawAudioTrace(QPainter& dc, const QRect& strip, bool withReference);
    void DrawGrey(QPainter& dc, const QRect& plot);
    int LabelHeight() const;
    bool AnyLabels() const;
    // Redraws the clean picture from the held result.
    void DrawSpectrogram();
    void DrawOverlays(QPainter& dc) const;
    int AnalysedSlot() const;
    void StopPanePlayback();
    // Plays first .. end on the road the main view would take, with this
    // pane's play cursor.
    void StartPlay(double first, double end, int mode);
    void TellOthers(int which, unsigned flags, platform::Point point, double timeMs);

    COrielDoc& m_doc;
    QFont m_font;

    // What the window was asked to show.
    bool m_settingsPresent = false;
    int m_channel = -1;
    std::shared_ptr<platform::File> m_dataFile;
    double m_totalSamples = 0.0;
    double m_rate = 0.0;
    double m_startSample = 0.0;
    double m_endSample = 0.0;
    double m_startMs = 0.0;
    double m_endMs = 0.0;
    SpectrogramSettings m_settings;

    // The result and the picture.
    SpectrogramLayout m_layout;
    SpectrogramImage m_image;
    bool m_valid = false;
    bool m_computePending = false;
    bool m_computeQueued = false;
    bool m_computing = false;
    int m_computeCount = 0;
    std::string m_lastError;
    QImage m_clean;
    int m_formantDotSize = 1;

    // Interaction.
    AnalysisPaneSelection m_selection{AnalysisPaneSelection::Options{true, true}};
    double m_markerHz = 0.0;
    double m_trackHz = 0.0;
    QPoint m_hover{-1, -1};  // the cross-hair, (-1, -1) when not shown
    bool m_playing = false;
    class ViewPlayback* m_playback = nullptr;  // made at the first play
};

}  // namespace vocomet
