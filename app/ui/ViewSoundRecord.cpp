// The main view's road to the sound card: timer 1, with neither device
// present, sets a sound-card recording going into a scratch file of the
// document. While it runs the view shows its recording banner with the
// level trace over it; the next press in the view stops the recording and
// the document takes the file. Closing the document's window (or the
// application) while a recording runs asks first.

#include <QEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QWidget>
#include <cmath>
#include <memory>

#include "acquisition/CSoundIn.h"
#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"

namespace vocomet {

namespace {

constexpr const char* kMicOpenError = "Error in opening the Mic.\nRecording will stop.";
constexpr const char* kRecordingCloseQuestion = "A recording is in progress.\nStop it and keep it in the document?";

// The level trace over the view's viewport while a sound-card recording
// runs: the recording's columns arrive from its writer thread, are queued
// here and drawn into a picture of the viewport's size. It goes away by
// itself once no recording runs.
class SoundRecordMonitor final : public QWidget, public SoundInMonitor {
public:
    SoundRecordMonitor(QWidget& viewport, AcquisitionState& acquisition)
        : QWidget(&viewport), m_acquisition(acquisition) {
        setObjectName(QStringLiteral("soundRecordMonitor"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(viewport.rect());
        m_trace = QImage(viewport.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        m_trace.fill(Qt::transparent);
        viewport.installEventFilter(this);
    }
    // The writer never reaches a monitor that is gone.
    ~SoundRecordMonitor() override {
        if (m_acquisition.soundIn && m_acquisition.soundIn->GetMonitor() == this)
            m_acquisition.soundIn->SetMonitor(nullptr);
    }

    platform::Rect MonitorRect() const override { return {0, 0, width(), height()}; }

    void OnLevelColumn(const SoundLevelColumn& column) override {
        QMetaObject::invokeMethod(this, [this, column] { Draw(column); }, Qt::QueuedConnection);
    }

    int ColumnsDrawn() const { return m_columns; }
    const QImage& Trace() const { return m_trace; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(static_cast<QWidget*>(parent())->rect());
        return false;
    }

    void paintEvent(QPaintEvent* event) override {
        if (m_acquisition.recording.load() == 0) {
            setObjectName(QString());
            hide();
            deleteLater();
            return;
        }
        QPainter dc(this);
        dc.drawImage(event->rect().topLeft(), m_trace, event->rect());
    }

private:
    void Draw(const SoundLevelColumn& c) {
        if (m_trace.isNull() || c.x < 0 || c.x >= m_trace.width())
            return;
        QPainter dc(&m_trace);
        // A new round of the trace replaces the column it comes to.
        dc.setCompositionMode(QPainter::CompositionMode_Source);
        dc.fillRect(QRect(c.x, 0, 1, m_trace.height()), Qt::transparent);
        dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
        dc.setPen(Qt::black);
        dc.drawLine(c.x, c.mid, c.x, c.mid - c.max);
        dc.drawLine(c.x, c.mid - c.max, c.x, c.mid - c.min);
        dc.end();
        ++m_columns;
        update(QRect(c.x, 0, 1, height()));
    }

    AcquisitionState& m_acquisition;
    QImage m_trace;
    int m_columns = 0;
};

SoundRecordMonitor* MonitorOf(const COrielView& view);

// Asks before the document's window closes while this view records.
class SoundRecordCloseGuard final : public QObject {
public:
    SoundRecordCloseGuard(QMdiSubWindow& frame, COrielView& view) : QObject(&view), m_view(&view) {
        setObjectName(QStringLiteral("soundRecordCloseGuard"));
        frame.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close || !m_view)
            return false;
        COrielDoc& doc = m_view->GetDocument();
        const AcquisitionState& acquisition = doc.App().acquisition;
        SoundRecordMonitor* monitor = MonitorOf(*m_view);
        if (!acquisition.recording.load() || !acquisition.soundIn || !monitor ||
            acquisition.soundIn->GetMonitor() != monitor)
            return false;
        const platform::Answer a =
            doc.Prompts().Message(kRecordingCloseQuestion, platform::Buttons::YesNoCancel, platform::Icon::Question);
        if (a == platform::Answer::Cancel) {
            event->ignore();
            return true;
        }
        m_view->FinishSoundCardRecording(a == platform::Answer::Yes);
        return false;
    }

private:
    QPointer<COrielView> m_view;
};

// The view's monitor and guard, by name: neither class has a meta-object
// of its own to be found by type.
SoundRecordMonitor* MonitorOf(const COrielView& view) {
    return dynamic_cast<SoundRecordMonitor*>(view.viewport()->findChild<QWidget*>(
        QStringLiteral("soundRecordMonitor"), Qt::FindDirectChildrenOnly));
}

}  // namespace

void COrielView::StartSoundCardRecording() {
    AcquisitionState& acquisition = m_doc.App().acquisition;
    platform::UserPrompts& prompts = m_doc.Prompts();
    // One recording at a time: a running one is stopped by its press.
    if (acquisition.recording.load() != 0) {
        prompts.Beep();
        return;
    }
    if (CFrameRecordPlay* options = acquisition.recordPlayFrame; options && options->Form()) {
        options->Form()->ReadSoundCardRate();
        m_doc.Channel(0).rate = options->Form()->PlayRate();
    }
    acquisition.soundIn.reset();

    const double rateValue = m_doc.Channel(0).rate;
    const int rate = std::isfinite(rateValue) && rateValue >= 1.0 && rateValue < 1e7 ? static_cast<int>(rateValue) : 0;
    // A trace left from the last recording goes first.
    delete MonitorOf(*this);
    auto* monitor = new SoundRecordMonitor(*viewport(), acquisition);
    monitor->hide();
    acquisition.soundIn = std::make_unique<CSoundIn>(acquisition.SoundCard());
    std::string path;
    try {
        path = m_doc.MakeTempFileName();
        acquisition.soundIn->SetupRecording(prompts, path, rate, 16, monitor);
    } catch (const std::exception&) {
        // The name was reserved by an empty file, which goes too.
        acquisition.soundIn.reset();
        if (!path.empty())
            platform::RemoveFile(path);
        delete monitor;
        prompts.Beep();
        return;
    }
    if (acquisition.soundIn->Start(prompts) != 0) {
        prompts.Message(kMicOpenError, platform::Buttons::Ok, platform::Icon::None);
        // The input object takes its empty file with it.
        acquisition.soundIn.reset();
        delete monitor;
        return;
    }
    acquisition.soundIn->StartInput();
    acquisition.recording.store(1);
    m_redraw = true;

    if (!hooks.loadRecording) {
        hooks.loadRecording = [this](platform::File& recording) {
            if (m_doc.LoadInterleavedRecording(recording, 1) != 1)
                return false;
            if (statusWindow) {
                statusWindow->SetTitle(QString::fromStdString(m_doc.GetTitle()));
                statusWindow->ShowDocument(this, &m_doc);
            }
            return true;
        };
    }
    QMdiSubWindow* frame = nullptr;
    for (QWidget* w = parentWidget(); w && !frame; w = w->parentWidget())
        frame = qobject_cast<QMdiSubWindow*>(w);
    if (frame && !findChild<QObject*>(QStringLiteral("soundRecordCloseGuard"), Qt::FindDirectChildrenOnly))
        new SoundRecordCloseGuard(*frame, *this);

    selectionShown = false;
    markerShown = false;
    labelMode = false;
    if (statusWindow) {
        statusWindow->SetTitle(QString::fromStdString(m_doc.GetTitle()));
        statusWindow->ShowDocument(this, &m_doc);
    }
    ApplyZoom(5);
    monitor->show();
    monitor->raise();
    Invalidate();
}

void COrielView::FinishSoundCardRecording(bool keep) {
    AcquisitionState& acquisition = m_doc.App().acquisition;
    if (!acquisition.soundIn)
        return;
    if (keep) {
        StopRecordingForPress();
        return;
    }
    acquisition.recording.store(0);
    acquisition.soundIn->StopInput();
    acquisition.soundIn->Stop();
    // Dropped: the input object removes the file nobody took.
    acquisition.soundIn.reset();
    delete MonitorOf(*this);
    ReleaseBuffers();
    LayoutChannels();
    m_redraw = true;
    Invalidate();
}

}  // namespace vocomet
