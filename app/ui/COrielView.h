#pragma once
// The main waveform view of a document: the channels as strips stacked from
// top to bottom, scrolled and zoomed together. Everything is drawn into
// off-screen surfaces of the client size and the window is only painted by
// copying from them; the redraw flag says when the surfaces are rebuilt.
//
// The decisions live in plain classes: ViewLayout places the strips,
// ZoomScroll keeps the channels' windows and both scroll bars. This widget
// turns events into their calls and mirrors their scroll-bar state into its
// QScrollBars.
//
// Surfaces (QImage, client size unless said):
//   0 background, filled with the document's first display colour
//   1 clean picture: background, strips and traces, no marker or selection
//   2 composite: 1 plus the marker line and the selection band; what a
//     repaint copies to the window
//   3 selection tint, filled with the third display colour and combined
//     into the band with a bitwise AND
//   4 play cursor: one pixel wide, client height, the second display colour
// A rebuild draws on a sixth surface of the client size, which then trades
// places with the clean picture, so no rebuild allocates or copies a
// surface it does not need.
//
// While the summaries of a file-backed recording are still being built,
// a rebuild draws what is summarised; the summary cache tells the view
// (from its build thread, through a queued call) when more is ready, and
// the view draws again, at most every kSummaryRepaintMs.

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "app/EditSession.h"
#include "app/LabelEdits.h"
#include "app/MinMaxSummaryCache.h"
#include "app/MouseSelection.h"
#include "app/ViewLayout.h"
#include "app/ZoomScroll.h"
#include "app/ui/ChannelPainter.h"
#include "windows/MainViewLink.h"

class QPrinter;

namespace vocomet {

class AnalysisOptionDialogs;
class COrielDoc;
class CChannels;
class CStatusWindow;
class CFrameLog;
class CFrameLabelView;
class CFFTLPCFrame;

class COrielView : public QAbstractScrollArea, public MainViewLink {
    Q_OBJECT
public:
    enum Surface { kBackground = 0, kClean = 1, kComposite = 2, kSelectionTint = 3, kPlayCursor = 4 };
    static constexpr int kSurfaceCount = 5;
    // Least time between two redraws for summaries that grew.
    static constexpr int kSummaryRepaintMs = 100;

    explicit COrielView(COrielDoc& doc, QWidget* parent = nullptr);
    ~COrielView() override;

    COrielDoc& GetDocument() const { return m_doc; }

    // First show of the view: the horizontal bar shows the whole recording,
    // the strips are laid out and the size handling runs once.
    void OnInitialUpdate();
    bool IsInitialUpdateDone() const { return m_initialUpdateDone; }

    // Lays out the strips of the channels in use and creates the surfaces
    // at the client size (call ReleaseBuffers first when they exist). When
    // the surfaces cannot be had, says "Error in setting up the display
    // parameters." and leaves them released.
    void LayoutChannels();
    // Fills the surfaces from the document's display colours.
    void PaintBackground();
    void ReleaseBuffers();

    // ---- zoom and scrolling ----

    // Mode as ZoomMode (0 UnZoom .. 5 Home), for every channel; then the
    // scroll bar, a redraw and a repaint. An empty document stays as it is.
    void ApplyZoom(int mode);
    // Every channel's window from the horizontal scroll position.
    void WindowFromScrollPos();
    // Centres a window of the zoom duration on t (ms) in every channel.
    void ScrollToTime(double t);
    // Scroll-bar notifications; position is the thumb's while dragging.
    void OnHScroll(ScrollCode code, int position);
    void OnVScroll(ScrollCode code, int position);

    // After Load Configuration: moves the view's frame to the stored main
    // child-frame placement and shows it. An unset placement, or one without
    // a size, leaves the frame where it is.
    void ApplyWindowPlacements();

    // ---- state ----

    const ViewLayout& Layout() const { return m_layout; }
    ViewLayout& Layout() { return m_layout; }
    const ZoomScroll& Scroll() const { return m_scroll; }
    bool NeedsRedraw() const { return m_redraw; }
    // The next paint rebuilds the surfaces.
    void SetRedraw() { m_redraw = true; }
    const QImage& SurfaceImage(Surface s) const { return m_surfaces[static_cast<std::size_t>(s)]; }

    // ---- painting ----

    // Rebuilds the clean picture and the composite now (a paint does this
    // when the redraw flag is set; scrolling and zooming only set the flag,
    // so any number of them between two paints cost one rebuild). While a
    // recording runs the surfaces show only the background and the
    // recording banner, and the flag stays set. A rebuild that fails keeps
    // the previous picture and the flag; the first failure after a
    // successful rebuild or a change of data beeps and says "Error in
    // drawing the image." (after the current paint), later ones are quiet.
    void RedrawBuffers();
    // Every shown channel into dc (the clean picture on screen; a printer
    // page or a picture for export); failures are passed on. Virtual so that
    // a failing drawing can be staged.
    virtual void PaintChannels(QPainter& dc);
    // Surface rebuilds so far.
    int RebuildCount() const { return m_rebuildCount; }
    // To be called when samples or derived curves changed in place (edits,
    // smoothing, a rewritten data or intensity file): forgets their
    // summaries and open intensity files (slot -1: every channel) and
    // redraws.
    void OnSamplesChanged(int slot = -1);
    MinMaxSummaryCache& SummaryCache() { return m_summaries; }
    const ChannelPainter& Painter() const { return m_painter; }
    // The strip last pressed, -1 for none; it gets the inner black frame.
    int clickedChannel = -1;
    // The application font, in which names and scale labels are written.
    QFont appFont;
    QFont AppFont() const override { return appFont; }
    // Overlays on the composite surface, set by the mouse tracking: the
    // selection band and the marker strip of the layout.
    bool selectionShown = false;
    bool markerShown = false;
    bool labelMode = false;

    // ---- cursor, selection, labels, messages (ViewMouse.cpp) ----

    // Press, move and release: from this view (source kFromView, point in
    // client pixels) or from a pane (kFromPane: the view puts the marker
    // and the band at timeMs, with no capture).
    void BeginMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    void TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) override;
    void EndMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) override;
    // Label mode: a label from the entry dialog (isNew) or the edited hit
    // label into the clicked channel; a dragged label to its rectangle
    // (client pixels); the hit label out of the channel and every window.
    void StoreLabelAtPress(const LABEL& label, bool isNew);
    void MoveDraggedLabel(const LABEL& label, const platform::Rect& rect);
    void DeleteHitLabel(LABEL label);
    // Every channel's selection, the marker and the band go.
    void ClearSelection();
    // Labels > Mode and Labels > View Labels.
    void OnLabelsMode();
    void OnLabelsViewLabels();
    // One-shot timers of the view by id (ViewMessages.h); a timer set again
    // before it fired starts over. OnTimer kills it and acts.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool IsTimerSet(int id) const;
    void OnTimer(int id);
    // Focus: the status window shows this view's document.
    void OnSetFocus();
    // Cursor time (ms) of the last move, handed to the panes.
    double CursorTime() const { return m_mouse.cursorTime; }
    const MouseSelection& Mouse() const { return m_mouse; }

    // The process-wide status window (null when closed).
    QPointer<CStatusWindow> statusWindow;
    // The label list window of this view (null when closed; CFrameLabelView.h).
    QPointer<CFrameLabelView> labelListFrame;
    // What other windows and devices provide; empty: not there.
    struct Hooks {
        // The panes of the spectrogram and pitch windows open on the
        // document (null when closed).
        std::function<AnalysisPane*()> spectrogramPane;
        std::function<AnalysisPane*()> pitchPane;
        // The label entry dialog (default: CLabelEntry); nothing on Cancel.
        std::function<std::optional<LabelEntryValues>(const LabelEntryValues&)> labelEntry;
        // The label list window of this view (null when closed).
        std::function<LabelListSink*()> labelList;
        // Labels > View Labels: opens the list or brings it to the top.
        std::function<void()> viewLabels;
        // Timers 1, 3 and 4/10.
        std::function<void()> startRecording;
        std::function<void()> showRecordingMonitor;
        std::function<void()> advancePlayCursor;
        // True when the play cursor was running; stops it (and its device).
        std::function<bool()> stopPlayCursor;
        // Loads a stopped sound-card recording into the document; true on
        // success.
        std::function<bool(platform::File& recording)> loadRecording;
    } hooks;

    // ---- printing and picture export (ViewPrinting.cpp) ----

    // File > Save As bmp...: the shown channels as a picture of the
    // document's print size at the screen's pixels per millimetre.
    void OnFileSaveAsBmp();
    // File > Save Screen As bmp... and File > Print Screen...: asks for the
    // file, then captures the whole screen 10 ms later (CaptureScreen).
    void OnFileSaveScreenAsBmp();
    void CaptureScreen();
    // File > Print... and File > Print Preview.
    void OnFilePrint();
    void OnFilePrintPreview();
    // Prints the one page of the view on the printer (false when it cannot
    // be painted on).
    bool PrintTo(QPrinter& printer);
    // One printed page: title, time grid and the shown channels in the
    // document's print size.
    void OnPrint(QPainter& dc);
    // What Save As bmp writes, at width x height pixels.
    QImage RenderBitmap(int width, int height);
    // The file the screen dump writes when its timer fires.
    std::string screenDumpPath;

    // ---- option commands (ViewOptions.cpp) ----

    // Options > Display, then ApplyDisplayOptions on OK.
    void OnOptionsDisplay();
    // What follows the display dialog's OK: a new layout, the status
    // window, a redraw, the modified flag and the display fields of the
    // settings file.
    void ApplyDisplayOptions();
    void OnOptionsZoom();
    void OnOptionsFFTLPC();
    void OnOptionsSpectrogram();
    void OnOptionsPitch();
    void OnOptionsIntensitySmooth();
    void OnOptionsLog();
    // The dialog stores and saves the calibration; then a new layout and redraw.
    void OnOptionsCalibration();
    // The analysis option dialogs those commands run; null: the Qt dialogs.
    AnalysisOptionDialogs* optionDialogs = nullptr;

    // ---- channel commands (ViewChannelCommands.cpp) ----

    void OnAnalysisAverageAllChannels();
    void OnAnalysisAverageSelectedChannel();
    void OnAnalysisIntensity();
    void OnAnalysisSmooth();
    void OnChannelsSetReferenceAll();
    void OnChannelsSetReferenceAllToZero();
    void OnChannelsSetReferenceForClickedChannel();
    void OnEditClearToReference();
    void OnEGGAnalysisAll();
    void OnEGGAnalysisSelection();
    void OnEGGOption();
    void OnEGGSetChannel();

    // ---- analysis windows (ViewAnalysisOpeners.cpp) ----
    // Analysis > FFT/LPC: one frame at the analysed channel's marker;
    // Analysis > FFT/LPC Selection: frames averaged over its selection.
    // The new window, or null when it was not made or refused its data.
    CFFTLPCFrame* OpenFFTLPCWindow();
    CFFTLPCFrame* OpenAverageFFTLPCWindow();
    CFFTLPCFrame* OpenFftLpcFrame(bool average);
    // Analysis > Pitch and the three spectrogram openers (range 0 the whole
    // channel, 1 its selection, 2 its shown window).
    void OpenPitchWindow();
    void OpenSpectrogramWindow(int range);
    void OnAnalysisSpectrogramAll();
    void OnAnalysisSpectrogramSelection();
    void OnAnalysisSpectrogramWindow();
    // Moves the document's analysis windows to their stored placements.
    void PlaceAnalysisWindows();

    // ---- measurement entries of the Log menu (ViewLogEntries.cpp) ----

    // The open measurement log window, null when none is open.
    CFrameLog* LogFrame() const;
    // Each adds its entries to the open log window; without one, or without
    // what it measures, it does nothing.
    void OnLogEnterAtMarker();
    void OnLogEnterDataSelection();
    void OnLogEnterDuration();
    void OnLogEnterEGGAtMarker();
    void OnLogEnterEGGAll();
    void OnLogEnterEGGSelection();
    // Their enabling: the log window open and the marker, selection or EGG
    // cycles they need.
    bool CanLogEnterAtMarker() const;
    bool CanLogEnterDataSelection() const;
    bool CanLogEnterDuration() const;
    bool CanLogEnterEGGAtMarker() const;
    bool CanLogEnterEGGAll() const;
    bool CanLogEnterEGGSelection() const;

    // ---- play commands and the play cursor (ViewPlay.cpp) ----

    // Record/Play > Play All, Play Selection, Play Window.
    void OnRecordPlayPlayAll();
    void OnRecordPlayPlaySelection();
    void OnRecordPlayPlayWindow();
    // Moves the play cursor to where the stream's clock says playback is;
    // at the end of the sound it stops there.
    void AdvancePlayCursor();
    bool IsPlayCursorRunning() const;
    // Where the play cursor stands, or stood when it stopped; -1 when its
    // time is not shown or nothing played yet.
    int LastPlayCursorX() const;
    // Stops the play cursor and this view's sound-card output; true when
    // the cursor was running.
    bool StopPlayCursor();
    // Options > Record/Play: shows the record/play options window, or saves
    // and hides it when shown.
    void OnOptionsRecordPlay();

    // ---- record command, audio box road (ViewRecordScope.cpp) ----

    // Record/Play > Record: the document's analysis windows closed, a
    // never-saved modified document offered for saving, the labels emptied
    // once that question is answered, then timer 1 starts the recording.
    void OnRecordPlayRecord();
    // Timer 1: with the audio box, the record-and-scope form on this
    // document with a fresh recording file.
    void StartRecording();
    // The document took a finished recording: new layout and picture.
    void OnRecordingLoaded();

    // ---- the sixteen-channel system's roads (ViewRendal.cpp) ----

    // Timer 1 with the sixteen-channel system: the record form on this
    // document with a fresh recording file.
    void StartRendalRecording();
    // Ends this view's USB 2 playback; true when one was running.
    bool StopRendalPlayback();

    // ---- the sound card's record road (ViewSoundRecord.cpp) ----

    // Timer 1 without a device: a fresh sound-card recording into a
    // scratch file, its level trace over the view; the next press stops it.
    void StartSoundCardRecording();
    // Ends this view's sound-card recording now: kept (stopped and loaded
    // into the document, as a press does) or dropped with its file.
    void FinishSoundCardRecording(bool keep);

    // ---- editing and undo (ViewEdit.cpp) ----

    // Edit > Copy, Cut, Paste, Select All, Select Window, Undo.
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    void OnEditSelectAll();
    void OnEditSelectWindow();
    void OnEditUndo();
    // Their enabling.
    bool CanEditCopy() const;
    bool CanEditPaste() const;
    bool CanEditUndo() const;
    // The undo copy before a command changes samples; throws
    // platform::UserException when it could not be written.
    void SaveUndoFile();
    // Reads the undo copy back; throws platform::UserException on failure.
    void RestoreUndoFile();
    // Cut's second half: the undo copy (or the user's leave to go on
    // without), then the selected stretch out of every channel; throws
    // platform::UserException when nothing changed.
    void CutSelection();
    EditSession& Edits() { return m_edits; }
    const EditSession& Edits() const { return m_edits; }

public slots:
    void OnZoomFromCursorForDuration();
    void OnZoomHome();
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomSelection();
    void OnZoomUnzoom();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    // Scrolling moves the channels' windows, never the viewport's pixels.
    void scrollContentsBy(int dx, int dy) override;

private slots:
    void OnHorizontalAction(int action);
    void OnVerticalAction(int action);

private:
    std::span<CChannels> ChannelsInUse() const;
    void OnSize();
    // The composite: the clean picture with the selection band and the marker.
    void ComposeOverlays();
    // Brings the band, the marker and the label outline on the composite
    // up to what the flags say, touching only the columns that change.
    void SyncOverlays();
    void RestoreColumns(int left, int right);
    void TintColumns(int left, int right);
    // Rows the band and the marker cover on the screen.
    std::pair<int, int> OverlayRows() const;
    MouseContext MouseContextNow();
    // The view's public flags into the state machine and back.
    void FlagsToMouse();
    void FlagsFromMouse();
    void ShowReadouts(const TrackResult& result);
    LabelWindows LabelWindowsNow();
    CChannels* ClickedChannel();
    void StopRecordingForPress();
    void TellPanes(void (MouseMirror::*call)(unsigned, platform::Point, double, int), unsigned flags,
                   platform::Point point);
    // The model's scroll bars into the widget's.
    void SyncScrollBars();
    // The drawing error message, once until drawing succeeds again.
    void ReportDrawingError();
    void Invalidate();
    // A summary build made progress (queued from its thread).
    void OnSummaryProgress();

    COrielDoc& m_doc;
    ViewLayout m_layout;
    ZoomScroll m_scroll;
    std::array<QImage, kSurfaceCount> m_surfaces;
    // Where a rebuild draws before its picture becomes the clean one.
    QImage m_drawing;
    // The summaries outlive the painter that reads them.
    MinMaxSummaryCache m_summaries;
    ChannelPainter m_painter{&m_summaries};
    int m_summaryListener = 0;
    // A progress call is queued and not yet handled.
    std::atomic<bool> m_summaryNotePending{false};
    QTimer m_summaryTimer;
    int m_rebuildCount = 0;
    bool m_redraw = true;
    bool m_initialUpdateDone = false;
    bool m_syncing = false;
    bool m_drawingErrorShown = false;

    MouseSelection m_mouse;
    EditSession m_edits;
    // The common finish of Cut and Paste; laidOut when the channels changed.
    void FinishEdit(bool newChannels);
    std::map<int, QTimer*> m_timers;
    // What the composite shows besides the clean picture.
    ColumnSpan m_composedBand;
    int m_composedMarkerX = -1;
    platform::Rect m_composedOutline;
    // The hover cursor column drawn over the composite on the screen.
    ColumnSpan m_hover;
    bool m_inPaint = false;
    // The playback this view started (a child object; made at the first play).
    class ViewPlayback* m_playback = nullptr;
    ViewPlayback& Playback();
    void Play(int mode);
    void PaintPlayCursor(QPainter& window, const QRect& area);
};

}  // namespace vocomet
