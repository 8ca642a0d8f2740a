#include "app/ui/CFrameLabelView.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMoveEvent>
#include <QResizeEvent>

#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/CFormLabelView.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

// The placement the list takes the first time: left, top, width, height.
constexpr WindowPlacement kFirstPlacement{20, 20, 450, 450};

WindowPlacement& PlacementOf(COrielView& view) {
    return view.GetDocument().App().settings.placements[kPlacementLabelList];
}

QMdiArea* AreaOf(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w))
            return sub->mdiArea();
    return nullptr;
}

}  // namespace

CFrameLabelView::CFrameLabelView(COrielView& mainView, QWidget* parent)
    : QMdiSubWindow(parent), m_mainView(&mainView) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_form = new CFormLabelView(mainView, this);
    setWidget(m_form);
    connect(&mainView, &QObject::destroyed, this, &CFrameLabelView::OnMainViewDestroyed);
    OnUpdateFrameTitle();
}

void CFrameLabelView::AddLabel(const std::string& channelName, const LABEL& label) {
    if (m_mainView)
        m_form->AddLabelRow(channelName, label);
}

void CFrameLabelView::ModifyLabel(const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName) {
    if (m_mainView)
        m_form->ModifyLabelRow(oldLabel, newLabel, channelName);
}

void CFrameLabelView::DeleteLabel(const LABEL& label, const std::string& channelName) {
    if (m_mainView)
        m_form->DeleteLabelRow(label, channelName);
}

void CFrameLabelView::RefreshLabels() {
    if (m_mainView) {
        OnUpdateFrameTitle();
        m_form->FillTable();
    }
}

void CFrameLabelView::OnUpdateFrameTitle() {
    if (m_mainView)
        setWindowTitle(QStringLiteral("Labels:: ") + QString::fromStdString(m_mainView->GetDocument().GetTitle()));
}

void CFrameLabelView::closeEvent(QCloseEvent* event) {
    if (m_mainView && m_mainView->labelListFrame == this)
        m_mainView->labelListFrame = nullptr;
    QMdiSubWindow::closeEvent(event);
}

void CFrameLabelView::OnMainViewDestroyed() {
    // The document may already be gone: nothing of it is touched again.
    m_mainView = nullptr;
    m_form->Detach();
    hide();
    deleteLater();
}

void CFrameLabelView::StorePlacement() {
    if (!m_mainView || isMinimized() || isMaximized() || !isVisible())
        return;
    const QRect g = geometry();
    PlacementOf(*m_mainView) = {g.x(), g.y(), g.width(), g.height()};
}

void CFrameLabelView::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CFrameLabelView::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

CFrameLabelView* OpenLabelList(COrielView& view, QMdiArea* area) {
    if (CFrameLabelView* open = view.labelListFrame) {
        if (QMdiArea* a = open->mdiArea())
            a->setActiveSubWindow(open);
        open->show();
        open->raise();
        return open;
    }
    if (!area)
        area = AreaOf(&view);
    WindowPlacement& placement = PlacementOf(view);
    if (IsUnplaced(placement))
        placement = kFirstPlacement;
    const WindowPlacement at = placement;  // showing and moving store as they go

    auto* frame = new CFrameLabelView(view);
    view.labelListFrame = frame;
    frame->Form()->OnInitialUpdate();
    if (area)
        area->addSubWindow(frame);
    frame->setGeometry(at[0], at[1], std::max(at[2], 1), std::max(at[3], 1));
    frame->show();
    frame->raise();
    if (area)
        area->setActiveSubWindow(frame);
    return frame;
}

void PlaceLabelList(COrielView& view) {
    CFrameLabelView* frame = view.labelListFrame;
    const WindowPlacement p = PlacementOf(view);
    if (!frame || IsUnplaced(p) || p[2] <= 0 || p[3] <= 0)
        return;
    if (frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
        frame->showNormal();
    frame->setGeometry(p[0], p[1], p[2], p[3]);
    frame->show();
}

void InstallLabelListHooks(COrielView& view) {
    view.hooks.labelList = [&view]() -> LabelListSink* { return view.labelListFrame.data(); };
    view.hooks.viewLabels = [&view] { OpenLabelList(view); };
}

void AddLabelListCommand(QMenu& labels, QMdiArea& area, std::function<CChildFrame*()> activeFrame) {
    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* f = activeFrame();
        return f ? f->GetView() : nullptr;
    };
    QAction* action = labels.addAction(QStringLiteral("View Labels"), &area, [viewOf] {
        if (COrielView* view = viewOf())
            view->OnLabelsViewLabels();
    });
    DeclareViewCommand(action, ViewCommand::LabelsViewLabels);
}

}  // namespace vocomet
