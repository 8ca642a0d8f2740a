// The spectrogram pane's commands: play requests, log entries, the formant
// plot export, printing and the bitmap export.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <exception>
#include <memory>

#include "acquisition/AcquisitionState.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "analysis/ui/CFormPlotFormantFrame.h"
#include "analysis/ui/CFormPlotFormantView.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "app/LogEntryBuilders.h"
#include "app/PictureExport.h"
#include "app/PlayRoute.h"
#include "windows/ViewPlayback.h"
#include "app/SpectrogramLogEntries.h"
#include "app/LogEntry.h"
#include "widgets/PrintRoutines.h"
#include "analysis/AnalysisServices.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr int kInches = 6, kDrawAudio = 7, kDrawLabels = 9, kFrequencyGridOn = 10, kTimeGridOn = 12;
// Where a formant plot made from the spectrogram opens when no plot window
// has been placed yet.
constexpr WindowPlacement kPlotFromSpectrogramPlacement{50, 50, 500, 400};

QMdiArea* AreaOf(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(p))
            return sub->mdiArea();
    return nullptr;
}

}  // namespace

// ---- play -----------------------------------------------------------------------

namespace {

std::int64_t WholeSample(double v) { return v > 0.0 && v < 9.0e18 ? static_cast<std::int64_t>(v) : 0; }

}  // namespace

void CSpectrogramPane::StartPlay(double first, double end, int mode) {
    if (!m_playback)
        m_playback = MakePanePlayback(*this, m_doc.App().acquisition, [this] { AdvancePlayCursor(); });
    m_playing = PlayFromPane(m_doc, *m_playback, {WholeSample(first), WholeSample(end)}, static_cast<PlayMode>(mode));
    AdvancePlayCursor();
}

int CSpectrogramPane::LastPlayCursorX() const { return m_playback ? m_playback->m_lastX : -1; }

void CSpectrogramPane::AdvancePlayCursor() {
    m_playing = m_playback && m_playback->Advance([this](double t) { return m_selection.TimeToPoint(t); });
}

void CSpectrogramPane::PlaySelection() {
    if (CanPlaySelection())
        StartPlay(m_selection.SelectionStartSample(), m_selection.SelectionEndSample(),
                  static_cast<int>(PlayMode::Selection));
}

void CSpectrogramPane::PlayWindow() {
    if (CanPlayWindow())
        StartPlay(m_startSample, m_endSample, static_cast<int>(PlayMode::Window));
}

// ---- log entries ----------------------------------------------------------------

bool CSpectrogramPane::CanLogAtMarker() const { return hooks.logFrame && hooks.logFrame() && MarkerShown(); }

bool CSpectrogramPane::CanLogDuration() const { return hooks.logFrame && hooks.logFrame() && SelectionExists(); }

bool CSpectrogramPane::CanLogFormantsAtMarker() const {
    return CanLogAtMarker() && TracksFormants() && FormantsFound();
}

bool CSpectrogramPane::CanLogFormantsSelection() const {
    return CanLogDuration() && TracksFormants() && FormantsFound();
}

void CSpectrogramPane::LogAtMarker() {
    if (!CanLogAtMarker())
        return;
    try {
        hooks.logFrame()->AddEntry(SpectrogramMarkerEntry(m_doc.GetTitle(), MarkerTime(), m_markerHz));
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::LogDuration() {
    if (!CanLogDuration())
        return;
    try {
        hooks.logFrame()->AddEntry(
            SpectrogramDurationEntry(m_doc.GetTitle(), m_startMs, SelectionStart(), SelectionEnd()));
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::LogFormantsAtMarker() {
    if (!CanLogFormantsAtMarker())
        return;
    try {
        hooks.logFrame()->AddEntries(SpectrogramFormantMarkerEntry(m_doc.GetTitle(), m_image, MarkerTime()));
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::LogFormantsSelection() {
    if (!CanLogFormantsSelection())
        return;
    platform::UserPrompts& prompts = m_doc.Prompts();
    const double step = m_doc.settings.logSelectionStep;
    // A step of 0 or less would never reach the selection's end.
    if (!(step > 0.0) || !std::isfinite(step)) {
        prompts.Beep();
        prompts.Message(kLogStepNotPositive, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    if (DataSelectionRowCount(SelectionStart(), SelectionEnd(), step) > kMaxDataSelectionEntries) {
        prompts.Beep();
        prompts.Message(kLogTooManyEntries, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    try {
        const std::vector<LogEntry> entries = SpectrogramFormantSelectionEntries(
            m_doc.GetTitle(), m_image, m_startMs, SelectionStart(), SelectionEnd(), step);
        hooks.logFrame()->AddEntries(entries);
    } catch (const std::exception&) {
    }
}

// ---- formant plot ---------------------------------------------------------------

CFormPlotFormantFrame* CSpectrogramPane::PlotFormants(int selection) {
    if (!CanPlotFormants(selection))
        return nullptr;
    platform::UserPrompts& prompts = m_doc.Prompts();
    int first = 0, last = m_image.columns - 1;
    if (selection != 0) {
        first = m_image.ColumnAt(m_selection.SelectionStartMs());
        last = m_image.ColumnAt(m_selection.SelectionEndMs());
    }
    const std::string text = SpectrogramFormantTable(m_image, first, last);

    // The table goes to the plot through a scratch file, as a table file
    // would; the file goes as soon as the plot has read it.
    const std::string path = m_doc.MakeTempFileName();
    {
        platform::File file;
        bool written = file.Open(path, platform::File::Mode::Create);
        if (written) {
            try {
                file.Write(text.data(), text.size());
                file.Close();
            } catch (const std::exception&) {
                written = false;
            }
        }
        if (!written) {
            file.Close();
            platform::RemoveFile(path);
            prompts.Message(kSpectrogramTempFileError, platform::Buttons::Ok, platform::Icon::Warning);
            return nullptr;
        }
    }

    WindowPlacement& placement = m_doc.App().settings.placements[kPlacementFormantPlot];
    // The plot keeps a document of its own with this one's plot settings,
    // as a plot opened from a file does: its table can still be saved after
    // the recording has been closed, and it never refers to a closed one.
    CFormPlotFormantFrame* frame = nullptr;
    try {
        auto own = std::make_unique<COrielDoc>(m_doc.App(), prompts);
        own->settings.formantPlot = m_doc.settings.formantPlot;
        frame = new CFormPlotFormantFrame(*own, prompts, placement);
        frame->AdoptDocument(std::move(own));
    } catch (const std::exception&) {
        delete frame;
        frame = nullptr;
    }
    const auto fail = [&] {
        delete frame;
        platform::RemoveFile(path);
        prompts.Beep();
        prompts.Message(kCannotCreateView, platform::Buttons::Ok, platform::Icon::Warning);
        return nullptr;
    };
    if (!frame)
        return fail();
    frame->SetTitle(kPlotFormantsTitle);
    frame->GetView()->OnInitialUpdate();
    // No formant column: an empty table (nothing to read from the file).
    if (!text.empty() && !frame->GetView()->LoadFormantTable(path))
        return fail();
    platform::RemoveFile(path);

    if (hooks.addPlotWindow) {
        hooks.addPlotWindow(frame);
    } else if (QMdiArea* area = AreaOf(this)) {
        area->addSubWindow(frame);
    } else {
        return fail();
    }
    if (IsUnplaced(placement))
        placement = kPlotFromSpectrogramPlacement;
    frame->PlaceAtPlacement();
    frame->show();
    if (QMdiArea* area = frame->mdiArea())
        area->setActiveSubWindow(frame);
    return frame;
}

// ---- printing and the bitmap export ---------------------------------------------

// The printed or exported picture's strips: the labels (when shown) on top,
// then a quarter of the rest for the audio trace (when shown), then the
// spectrogram; scale: the picture's pixels a screen pixel.
CSpectrogramPane::LayerRects CSpectrogramPane::PrintedLayers(QRect plot, int scale) const {
    LayerRects at;
    at.print = true;
    at.scale = scale;
    if (m_settings.values[kDrawLabels] != 0 && AnyLabels()) {
        const int h = LabelHeight() * scale;
        at.labelStrip = QRect(plot.x(), plot.y(), plot.width(), h);
        plot.setTop(plot.top() + h + 1);
    }
    if (m_settings.values[kDrawAudio] != 0) {
        const int quarter = plot.height() / 4;
        at.audioStrip = QRect(plot.x(), plot.y(), plot.width(), std::max(quarter - 1, 0));
        plot.setTop(plot.top() + quarter);
    }
    at.plot = plot;
    return at;
}

void CSpectrogramPane::PrintSpectrogram(QPainter& dc) {
    dc.save();
    int unit = 0;
    QRect plot = DrawPrintedPictureFrame(dc, m_settings.pictureWidth, m_settings.pictureHeight,
                                         m_settings.values[kInches] != 0, m_doc.GetTitle(), unit);
    plot.adjust(5, 5, -5, -5);
    if (m_valid && !plot.isEmpty())
        DrawLayers(dc, PrintedLayers(plot, std::max(unit, 1)));
    dc.restore();
}

bool CSpectrogramPane::PrintTo(QPrinter& printer) {
    return PrintPage(printer, [this](QPainter& dc) { PrintSpectrogram(dc); });
}

QImage CSpectrogramPane::RenderBitmap(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter dc(&picture);
    dc.setFont(m_font);
    const QFontMetrics fm(m_font);
    const int tw = fm.horizontalAdvance(QStringLiteral("100000"));
    const int th = fm.height();
    QRect plot(0, 0, width, height);
    if (m_settings.values[kFrequencyGridOn] != 0)
        plot.setLeft(plot.left() + tw);
    if (m_settings.values[kTimeGridOn] != 0)
        plot.setBottom(plot.bottom() - 2 * th);
    dc.setPen(QPen(Qt::black, 2));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(QRect(0, 0, width, height).adjusted(1, 1, -1, -1));
    dc.drawRect(plot.adjusted(1, 1, -1, -1));
    if (m_valid && !plot.isEmpty())
        DrawLayers(dc, PrintedLayers(plot, 1));
    return picture;
}

void CSpectrogramPane::SaveAsBmp() {
    if (!m_valid)
        return;
    platform::UserPrompts& prompts = m_doc.Prompts();
    const std::string path = AskBitmapSavePath(prompts, DefaultBitmapFileName());
    if (path.empty()) {
        prompts.Beep();
        return;
    }
    SavePictureBitmap(*this, prompts, path, m_settings.pictureWidth, m_settings.pictureHeight,
                      m_settings.values[kInches] != 0, [this](int w, int h) { return RenderBitmap(w, h); });
}

}  // namespace vocomet
