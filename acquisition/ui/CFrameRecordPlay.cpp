#include "acquisition/ui/CFrameRecordPlay.h"

#include <QCloseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <new>

#include "acquisition/ui/CFormRecordPlay.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

CFrameRecordPlay::CFrameRecordPlay(ApplicationState& app, platform::UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_app(app), m_prompts(prompts) {
    setCursor(Qt::ArrowCursor);
}

CFrameRecordPlay::~CFrameRecordPlay() {
    if (m_app.acquisition.recordPlayFrame == this)
        m_app.acquisition.recordPlayFrame = nullptr;
}

bool CFrameRecordPlay::CreateForm() {
    try {
        m_form = new CFormRecordPlay(m_app, this);
    } catch (const std::exception&) {
        m_form = nullptr;
        m_prompts.Beep();
        m_prompts.Message(kFormCreateError, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    m_form->closeFrame = [this] { close(); };
    m_form->show();
    SetFormTitle(QString());
    return true;
}

void CFrameRecordPlay::SetFormTitle(const QString& name) {
    setWindowTitle(QStringLiteral("Record & Play Options:: ") + name);
}

void CFrameRecordPlay::closeEvent(QCloseEvent* event) {
    // The window and its form live on; closing only hides.
    event->ignore();
    hide();
}

void CFrameRecordPlay::StorePlacement() {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return;
    const QRect g = geometry();
    m_app.settings.placements[kPlacementRecordPlay] = {g.left(), g.top(), g.left() + g.width(),
                                                       g.top() + g.height()};
}

void CFrameRecordPlay::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    StorePlacement();
}

void CFrameRecordPlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    StorePlacement();
}

void CFrameRecordPlay::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

CFrameRecordPlay* CreateRecordPlayFrame(QWidget& mainFrame, ApplicationState& app, platform::UserPrompts& prompts) {
    // The play settings the start-up read from the settings file.
    app.acquisition.playRoute = app.settings.recordingForm[kFormPlayRoute];
    app.acquisition.outputGain = app.settings.recordingForm[kFormPlayAttenuation];
    const WindowPlacement saved = app.settings.placements[kPlacementRecordPlay];
    CFrameRecordPlay* frame = nullptr;
    try {
        frame = new CFrameRecordPlay(app, prompts, &mainFrame);
    } catch (const std::exception&) {
        prompts.Beep();
        prompts.Message("Error in creating the record and play options window.", platform::Buttons::Ok,
                        platform::Icon::Error);
        return nullptr;
    }
    const QPoint at = IsUnplaced(saved) ? QPoint(100, 50) : QPoint(saved[0], saved[1]);
    frame->setGeometry(at.x(), at.y(), kRecordPlayWidth, kRecordPlayHeight);
    frame->hide();
    app.acquisition.recordPlayFrame = frame;
    app.acquisition.readRecordPlayRate = [&acquisition = app.acquisition] {
        if (CFrameRecordPlay* f = acquisition.recordPlayFrame; f && f->Form())
            f->Form()->ReadSoundCardRate();
    };
    if (frame->CreateForm()) {
        frame->Form()->LoadSettings();
        frame->Form()->ArrangeForMode();
    }
    return frame;
}

void ReloadRecordPlayOptions(ApplicationState& app) {
    CFrameRecordPlay* frame = app.acquisition.recordPlayFrame;
    if (!frame || !frame->isVisible())
        return;
    if (frame->Form()) {
        frame->Form()->LoadSettings();
        frame->Form()->ArrangeForMode();
    }
    const WindowPlacement& p = app.settings.placements[kPlacementRecordPlay];
    if (!IsUnplaced(p))
        frame->setGeometry(p[0], p[1], kRecordPlayWidth, kRecordPlayHeight);
}

void ToggleRecordPlayOptions(ApplicationState& app, COrielDoc* doc) {
    CFrameRecordPlay* frame = app.acquisition.recordPlayFrame;
    if (!frame)
        return;
    try {
        if (frame->isVisible()) {
            if (frame->Form())
                frame->Form()->OnSaveAndClose();
            frame->hide();
        } else {
            frame->show();
            frame->raise();
            if (frame->Form() && doc)
                frame->Form()->savedDocument = doc->neverSaved == 0 ? 1 : 0;
        }
        frame->setWindowTitle(app.acquisition.audioBoxPresent ? QStringLiteral("Sonetta Play Options")
                                                              : QStringLiteral("Record/Play Options"));
        if (frame->Form())
            frame->Form()->SetDocument(doc);
    } catch (const std::exception&) {
    }
}

}  // namespace vocomet
