// The main view's record command and its road to the audio box: timer 1
// opens the record-and-scope form on the document with a fresh recording
// file. The form drives the recording from there; when it has turned the
// file into the document's channels, the view lays them out anew.

#include "app/ui/ViewRecordScope.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "acquisition/ui/CFormRecordScope.h"
#include "acquisition/ui/CFormRecordScopeFrame.h"
#include "app/ViewMessages.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "widgets/DrawingRoutines.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "dsp/CMathFunc.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

namespace {

constexpr WindowPlacement kDefaultRecordFormPlacement{50, 50, 700, 400};

// Closes the record-and-scope frame (asking first) before the document's
// own frame closes, so the form never outlives its document.
class RecordFrameGuard final : public QObject {
public:
    RecordFrameGuard(QObject* documentFrame, CFormRecordScopeFrame* recordFrame)
        : QObject(recordFrame), m_recordFrame(recordFrame) {
        documentFrame->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close && m_recordFrame && !m_recordFrame->close()) {
            event->ignore();
            return true;
        }
        return false;
    }

private:
    QPointer<CFormRecordScopeFrame> m_recordFrame;
};

// The live monitor over the main view while the audio box records: the
// recorded time, two level bars that grow a column per block (the second
// channel around y 52, the first around y 150) and the spectrum of the
// second channel's block. Blocks come from the record form on this thread.
class AudioBoxRecordMonitor final : public QWidget {
public:
    static constexpr int kFrames = 1024;

    explicit AudioBoxRecordMonitor(QWidget& viewport) : QWidget(&viewport) {
        setObjectName(QStringLiteral("audioBoxRecordMonitor"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(0, 0, kSize, kSize);
        m_picture = QImage(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        m_picture.fill(Qt::transparent);
    }

    void Show(const std::vector<std::uint8_t>& block, std::int64_t recordedBlocks, int rate) {
        if (rate <= 0 || block.size() < static_cast<std::size_t>(8 * kFrames))
            return;
        std::vector<double> second(kFrames);
        std::vector<double> first(kFrames);
        for (int k = 0; k < kFrames; ++k) {
            first[static_cast<std::size_t>(k)] = platform::GetI32LE(block.data() + 8 * k);
            second[static_cast<std::size_t>(k)] = platform::GetI32LE(block.data() + 8 * k + 4);
        }
        QPainter dc(&m_picture);
        dc.setFont(font());
        const QFontMetrics fm = dc.fontMetrics();
        const QRect area(QPoint(5, 205), QPoint(400, 400));
        dc.setPen(Qt::black);
        dc.setBrush(Qt::white);
        dc.drawRect(area);

        const auto seconds = static_cast<long long>(1024.0 / rate * static_cast<double>(recordedBlocks));
        m_timeText = QStringLiteral("Recorded time = %1:%2").arg(seconds / 60).arg(seconds % 60);
        dc.fillRect(QRect(200, 5, kSize - 200, fm.height()), Qt::white);
        dc.drawText(200, 5 + fm.ascent(), m_timeText);

        LevelBar(dc, second, 52);
        LevelBar(dc, first, 150);

        CMathFunc math;
        std::vector<double> levels = math.PowerSpectrumDb(second.data(), kFrames, 0.0, 1, 1, area.width(), rate / 2,
                                                          static_cast<double>(rate));
        const int count = std::min<int>(512, static_cast<int>(levels.size()));
        double top = -1e12;
        double bottom = 1e12;
        for (int i = 0; i < count; ++i) {
            top = std::max(top, levels[static_cast<std::size_t>(i)]);
            bottom = std::min(bottom, levels[static_cast<std::size_t>(i)]);
        }
        for (double& v : levels)
            v = std::max(0.0, v - bottom);
        const double range = count > 0 ? top - bottom : 0.0;
        SpectrumPanel panel;
        panel.levels = levels;
        panel.count = count;
        panel.rect = area;
        panel.minLevel = 0.0;
        panel.maxLevel = range;
        panel.levelScale = std::trunc(range) + 10;
        panel.frequencyStep = 1000;
        panel.topFrequency = rate / 2;
        panel.levelStep = 20;
        panel.levelGrid = true;
        DrawSpectrumPanel(dc, panel, font());
        char text[64];
        std::snprintf(text, sizeof text, "%10.2f  ,     %10.2f", 0.0, range);
        dc.drawText(200, 205 + fm.ascent(), QString::fromLatin1(text).trimmed());
        dc.end();
        ++m_levelBarX;
        ++m_blocksShown;
        update();
    }

    int BlocksShown() const { return m_blocksShown; }
    const QImage& Picture() const { return m_picture; }
    const QString& TimeText() const { return m_timeText; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter dc(this);
        dc.drawImage(event->rect().topLeft(), m_picture, event->rect());
    }

private:
    static constexpr int kSize = 405;

    // One column at the level bar x: the block's extremes, 47 pixels to
    // full scale, at least three pixels tall.
    void LevelBar(QPainter& dc, const std::vector<double>& values, int centre) {
        int top = -1000000000;
        int bottom = 1000000000;
        for (double v : values) {
            const int y = static_cast<int>(v * 47.0 / 8388608.0);
            top = std::max(top, y);
            bottom = std::min(bottom, y);
        }
        if (top == bottom) {
            ++top;
            --bottom;
        }
        dc.setPen(Qt::black);
        dc.drawLine(m_levelBarX, centre, m_levelBarX, centre - top);
        dc.drawLine(m_levelBarX, centre - top, m_levelBarX, centre - bottom);
    }

    QImage m_picture;
    QString m_timeText;
    int m_levelBarX = 0;
    int m_blocksShown = 0;
};

}  // namespace

void COrielView::OnRecordPlayRecord() {
    // Timer 1 starts the recording once this command has returned.
    if (!hooks.startRecording)
        hooks.startRecording = [this] { StartRecording(); };
    // The recording replaces the data the analysis windows show.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<CChildFrame*>(w)) {
            frame->CloseAnalysisWindows();
            break;
        }
    if (m_doc.neverSaved && m_doc.IsModified()) {
        const std::string question = "Save ' " + m_doc.GetTitle() + " ' before recording ?";
        const platform::Answer a =
            m_doc.Prompts().Message(question, platform::Buttons::YesNoCancel, platform::Icon::Question);
        // Cancel leaves the document as it was, labels included.
        if (a == platform::Answer::Cancel)
            return;
        if (a == platform::Answer::Yes)
            m_doc.OnFileSaveCopyAs();
    }
    labelMode = false;
    for (CChannels& ch : m_doc.Channels())
        ch.RemoveAllLabels();
    SetTimer(kTimerStartRecording, 1);
}

void COrielView::StartRecording() {
    AcquisitionState& acquisition = m_doc.App().acquisition;
    // The sixteen-channel system and the sound card have their own roads.
    if (!acquisition.audioBoxPresent) {
        if (acquisition.rendalPresent)
            StartRendalRecording();
        else
            StartSoundCardRecording();
        return;
    }
    QMdiSubWindow* frame = nullptr;
    for (QWidget* w = parentWidget(); w && !frame; w = w->parentWidget())
        frame = qobject_cast<QMdiSubWindow*>(w);
    QMdiArea* area = frame ? frame->mdiArea() : nullptr;
    if (!area) {
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message("Error in creating the requested view.", platform::Buttons::Ok,
                                platform::Icon::Error);
        return;
    }

    // The recording file under a fresh scratch name; without one the form
    // only shows the input.
    auto file = std::make_shared<platform::File>();
    try {
        const std::string name = m_doc.MakeTempFileName();
        if (!file->Open(name, platform::File::Mode::Create))
            file.reset();
    } catch (const std::exception&) {
        file.reset();
    }
    if (!file)
        m_doc.Prompts().Beep();

    WindowPlacement& placement = m_doc.App().settings.placements[kPlacementRecordForms];
    if (IsUnplaced(placement))
        placement = kDefaultRecordFormPlacement;
    const WindowPlacement at = placement;
    auto* recordFrame =
        new CFormRecordScopeFrame(m_doc, std::move(file), acquisition.usbThread.get(), placement, nullptr);
    area->addSubWindow(recordFrame);
    recordFrame->setGeometry(at[0], at[1], at[2], at[3]);
    new RecordFrameGuard(frame, recordFrame);
    QPointer<COrielView> view(this);
    recordFrame->Form()->onRecordingLoaded = [view] {
        if (view)
            view->OnRecordingLoaded();
    };
    // The monitor goes with the form.
    auto* monitor = new AudioBoxRecordMonitor(*viewport());
    QObject::connect(recordFrame, &QObject::destroyed, monitor, &QObject::deleteLater);
    recordFrame->Form()->onRecordingBlock = [m = QPointer<AudioBoxRecordMonitor>(monitor)](
                                                const std::vector<std::uint8_t>& block, std::int64_t recorded,
                                                int rate) {
        if (m)
            m->Show(block, recorded, rate);
    };
    monitor->show();
    monitor->raise();
    if (!recordFrame->Form()->OnInitialUpdate()) {
        recordFrame->Form()->closeFrame();
        return;
    }
    recordFrame->show();
}

void COrielView::OnRecordingLoaded() {
    ReleaseBuffers();
    LayoutChannels();
    m_redraw = true;
    m_scroll.SetVerticalExtent(m_layout.StackHeight(), viewport()->height());
    SyncScrollBars();
    Invalidate();
}

void AddRecordCommand(QMainWindow& mainFrame, const std::function<CChildFrame*()>& activeFrame) {
    auto* menu = mainFrame.findChild<QMenu*>(QStringLiteral("recordPlayMenu"));
    if (!menu)
        return;
    auto* record = new QAction(QStringLiteral("Record"), menu);
    record->setObjectName(QStringLiteral("recordAction"));
    menu->insertAction(menu->actions().isEmpty() ? nullptr : menu->actions().front(), record);
    QObject::connect(record, &QAction::triggered, &mainFrame, [activeFrame] {
        if (CChildFrame* f = activeFrame(); f && f->GetView())
            f->GetView()->OnRecordPlayRecord();
    });
    DeclareViewCommand(record, ViewCommand::RecordPlayRecord);
}

}  // namespace vocomet
