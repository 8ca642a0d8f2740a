#include "analysis/ui/CFormPlotFormantFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QResizeEvent>
#include <exception>
#include <filesystem>
#include <optional>

#include "analysis/ui/CFormPlotFormantView.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

CFormPlotFormantFrame::CFormPlotFormantFrame(COrielDoc& doc, platform::UserPrompts& prompts,
                                             WindowPlacement& placement, QWidget* parent)
    : QMdiSubWindow(parent), m_doc(doc), m_prompts(prompts), m_placement(placement) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new CFormPlotFormantView(doc, prompts, this);
    setWidget(m_view);
    connect(m_view, &CFormPlotFormantView::titleChanged, this,
            [this](const QString& title) { SetTitle(title.toStdString()); });
}

CFormPlotFormantFrame::~CFormPlotFormantFrame() = default;

void CFormPlotFormantFrame::AdoptDocument(std::unique_ptr<COrielDoc> document) {
    m_ownedDocument = std::move(document);
}

void CFormPlotFormantFrame::SetTitle(const std::string& title) {
    m_title = title;
    setWindowTitle(QString::fromStdString(title));
}

void CFormPlotFormantFrame::PlaceAtPlacement() {
    if (IsUnplaced(m_placement))
        m_placement = {20, 20, 300, 300};
    const WindowPlacement at = m_placement;
    setGeometry(at[0], at[1], std::max(at[2], 100), std::max(at[3], 100));
    m_storePlacement = true;
    StorePlacement();
}

void CFormPlotFormantFrame::StorePlacement() {
    if (!m_storePlacement || isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_placement = {g.x(), g.y(), g.width(), g.height()};
}

void CFormPlotFormantFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CFormPlotFormantFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

bool CFormPlotFormantFrame::QueryClose() {
    if (!m_view || !m_view->IsModified())
        return true;
    const std::string question = "Save plot formant file-- " + windowTitle().toStdString() + " --, before closing.";
    switch (m_prompts.Message(question, platform::Buttons::YesNoCancel, platform::Icon::Question)) {
    case platform::Answer::Yes:
        // Nothing saved (Save As cancelled, the write failed): the table
        // stays on the screen.
        return m_view->SavePlotFormantFile() && !m_view->IsModified();
    case platform::Answer::No: return true;
    default: return false;
    }
}

void CFormPlotFormantFrame::closeEvent(QCloseEvent* event) {
    if (!QueryClose()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

CFormPlotFormantFrame* OpenPlotFormantWindow(QMdiArea& area, platform::UserPrompts& prompts,
                                             WindowPlacement& placement, const PlotDocumentFactory& makeDocument) {
    platform::FileDialogRequest request;
    request.title = kPlotFormantOpenTitle;
    request.filter = kPlotFormantFilter;
    request.defaultSuffix = "txt";
    const std::optional<std::string> chosen = prompts.AskOpenPath(request);
    if (!chosen || chosen->empty())
        return nullptr;
    const std::string path = std::filesystem::absolute(*chosen).string();

    CFormPlotFormantFrame* frame = nullptr;
    try {
        std::unique_ptr<COrielDoc> doc = makeDocument();
        frame = new CFormPlotFormantFrame(*doc, prompts, placement);
        frame->AdoptDocument(std::move(doc));
    } catch (const std::exception&) {
        delete frame;
        frame = nullptr;
    }
    if (!frame) {
        prompts.Beep();
        prompts.Message(kPlotFormantViewFailure, platform::Buttons::Ok, platform::Icon::Warning);
        return nullptr;
    }
    frame->SetTitle(std::filesystem::path(path).filename().string());
    frame->GetView()->OnInitialUpdate();
    if (!frame->GetView()->ReadPlotFormantFile(path)) {
        // Reported by the reader; no empty table under the file's name.
        delete frame;
        return nullptr;
    }
    area.addSubWindow(frame);
    frame->PlaceAtPlacement();
    frame->show();
    return frame;
}

}  // namespace vocomet
