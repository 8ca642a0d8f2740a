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
#include <QTimer>
#include <array>
#include <atomic>
#include <span>
#include <string>

#include "app/MinMaxSummaryCache.h"
#include "app/ViewLayout.h"
#include "app/ZoomScroll.h"
#include "app/ui/ChannelPainter.h"

class QPrinter;

namespace vocomet {

class COrielDoc;
class CChannels;

class COrielView : public QAbstractScrollArea {
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
    void RebuildSurfaces();
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
    // Overlays on the composite surface, set by the mouse tracking: the
    // selection band and the marker strip of the layout.
    bool selectionShown = false;
    bool markerShown = false;
    bool labelMode = false;

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
};

}  // namespace vocomet
