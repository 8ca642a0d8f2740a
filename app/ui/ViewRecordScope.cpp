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
#include <QPointer>

#include "acquisition/ui/CFormRecordScope.h"
#include "acquisition/ui/CFormRecordScopeFrame.h"
#include "app/ViewMessages.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
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
