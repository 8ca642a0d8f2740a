#include "app/ui/CFrameLog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMoveEvent>
#include <QResizeEvent>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>

#include "app/ui/CFormLog.h"
#include "app/ui/CMainFrame.h"
#include "platform/UserPrompts.h"

namespace vocomet {

CFrameLog::CFrameLog(platform::UserPrompts& prompts, WindowPlacement& placement, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_prompts(prompts),
      m_placement(placement) {}

CFrameLog::~CFrameLog() = default;

bool CFrameLog::CreateForm() {
    try {
        m_form = new CFormLog(m_prompts, this);
    } catch (const std::exception&) {
        m_form = nullptr;
    }
    if (!m_form) {
        m_prompts.Beep();
        m_prompts.Message(kLogCannotCreateFrame, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    m_form->setGeometry(rect());
    m_form->show();
    m_form->OnInitialUpdate();
    setWindowTitle(QString::fromLatin1(kLogUntitledTitle));
    return true;
}

void CFrameLog::SetLogTitle(const std::string& title, const std::string& path) {
    m_title = title;
    m_path = path;
    setWindowTitle(QString::fromStdString(title));
}

void CFrameLog::AddEntry(const LogEntry& entry) {
    if (m_form && !m_closing)
        m_form->AddEntry(entry);
}

void CFrameLog::AddEntries(std::span<const LogEntry> entries) {
    if (m_form && !m_closing)
        m_form->AddEntries(entries);
}

bool CFrameLog::SaveLog() { return m_form && m_form->SaveLog(); }

int CFrameLog::SaveLogAs() { return m_form ? m_form->SaveLogAs() : 0; }

bool CFrameLog::OpenLogFile(const std::string& path) { return m_form && m_form->OpenLogFile(path); }

bool CFrameLog::IsLogModified() const { return m_form && m_form->IsModified(); }

bool CFrameLog::PromptSaveAndClose() {
    if (m_closing)
        return true;
    if (IsLogModified()) {
        const std::string question = "Save log file-- " + windowTitle().toStdString() + " --, before closing.";
        if (m_prompts.Message(question, platform::Buttons::YesNo, platform::Icon::Question) ==
            platform::Answer::Yes) {
            SaveLog();
            // Nothing saved (Save As cancelled, the write failed): the
            // measurements stay on the screen.
            if (IsLogModified())
                return false;
        }
    }
    m_closing = true;
    hide();
    emit closed();
    deleteLater();
    return true;
}

void CFrameLog::closeEvent(QCloseEvent* event) {
    // The window goes through PromptSaveAndClose, which deletes it itself.
    event->ignore();
    PromptSaveAndClose();
}

void CFrameLog::StorePlacement() {
    if (isMaximized() || isMinimized() || !isVisible())
        return;
    m_placement = {x(), y(), x() + width(), y() + height()};
}

void CFrameLog::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    StorePlacement();
}

void CFrameLog::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_form) {
        m_form->setGeometry(rect());
        try {
            m_form->ArrangeControls();
        } catch (const std::exception&) {
            // Layout before the form is ready is skipped.
        }
    }
    StorePlacement();
}

namespace {

CFrameLog* MakeLogFrame(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement) {
    if (IsUnplaced(placement))
        placement = {20, 20, 500, 300};
    CFrameLog* log = nullptr;
    try {
        log = new CFrameLog(prompts, placement, &frame);
    } catch (const std::exception&) {
        log = nullptr;
    }
    if (!log) {
        prompts.Beep();
        prompts.Message(kLogCannotCreateFrame, platform::Buttons::Ok, platform::Icon::Warning);
        return nullptr;
    }
    // A stored rectangle too small to use (or turned inside out) keeps its
    // corner and gets the default size.
    const WindowPlacement at = placement;
    const int w = at[2] - at[0] >= 100 ? at[2] - at[0] : 480;
    const int h = at[3] - at[1] >= 60 ? at[3] - at[1] : 280;
    log->move(at[0], at[1]);
    log->resize(w, h);
    frame.SetLogFrame(log);
    QObject::connect(log, &CFrameLog::closed, &frame, [&frame, log] {
        if (frame.LogFrame() == log)
            frame.SetLogFrame(nullptr);
    });
    if (!log->CreateForm()) {
        frame.SetLogFrame(nullptr);
        delete log;
        return nullptr;
    }
    return log;
}

}  // namespace

CFrameLog* OnLogNew(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement) {
    if (CFrameLog* log = frame.LogFrame()) {
        log->show();
        log->raise();
        log->activateWindow();
        return log;
    }
    CFrameLog* log = MakeLogFrame(frame, prompts, placement);
    if (log)
        log->show();
    return log;
}

CFrameLog* OnLogOpen(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement) {
    if (frame.LogFrame())
        return nullptr;
    platform::FileDialogRequest request;
    request.title = "Open a log file";
    request.filter = "text files (*.txt)|*.txt||";
    request.defaultSuffix = "txt";
    const std::optional<std::string> path = prompts.AskOpenPath(request);
    if (!path || path->empty())
        return nullptr;
    CFrameLog* log = MakeLogFrame(frame, prompts, placement);
    if (!log)
        return nullptr;
    if (!log->OpenLogFile(*path)) {
        // The failure has been reported; the empty window goes away.
        frame.SetLogFrame(nullptr);
        delete log;
        return nullptr;
    }
    log->SetLogTitle(std::filesystem::path(*path).stem().string(), *path);
    log->show();
    return log;
}

}  // namespace vocomet
