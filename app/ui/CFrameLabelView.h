#pragma once
// The label list window of a document's main view: an MDI child frame,
// titled "Labels:: " and the document's title, that holds the form with
// the table of labels (CFormLabelView). At most one per main view.
//
// The main view reports its label changes here (LabelListSink) and asks
// for a refill after edits that move many labels (RefreshLabels). Closing
// the frame clears the main view's link to it; when the main view goes,
// the frame closes with it. The frame's normal position and size are the
// label list placement of the application settings.

#include <QMdiSubWindow>
#include <QPointer>
#include <functional>

#include "app/LabelEdits.h"

class QMdiArea;
class QMenu;

namespace vocomet {

class CChildFrame;
class CFormLabelView;
class COrielView;

class CFrameLabelView : public QMdiSubWindow, public LabelListSink {
    Q_OBJECT
public:
    explicit CFrameLabelView(COrielView& mainView, QWidget* parent = nullptr);

    CFormLabelView* Form() const { return m_form; }
    // The main view that opened the list; null once it has gone.
    COrielView* MainView() const { return m_mainView.data(); }

    // LabelListSink; each does nothing once the main view has gone.
    void AddLabel(const std::string& channelName, const LABEL& label) override;
    void ModifyLabel(const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName) override;
    void DeleteLabel(const LABEL& label, const std::string& channelName) override;
    void RefreshLabels();

    // "Labels:: " and the document's title.
    void OnUpdateFrameTitle();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The main view is going: the frame goes too, touching nothing of it.
    void OnMainViewDestroyed();
    // Stores the normal position and size, as the settings keep them.
    void StorePlacement();

    CFormLabelView* m_form = nullptr;
    QPointer<COrielView> m_mainView;
};

// Labels > View Labels of a main view: brings its open list to the top, or
// opens one in area (null: the MDI area the view's own frame is in; a
// top-level window when there is none) at the stored placement (first time
// 20, 20, 450 x 450), fills it and links it to the view. Returns the list.
CFrameLabelView* OpenLabelList(COrielView& view, QMdiArea* area = nullptr);

// After Load Configuration: the view's open label list goes to the stored
// label list placement (none stored, or no size: it stays where it is).
void PlaceLabelList(COrielView& view);

// Lets the view's label mode and its View Labels command reach its label
// list (COrielView::hooks).
void InstallLabelListHooks(COrielView& view);

// Adds "View Labels" to the Labels menu, acting on the active document's
// main view and enabled while that document holds data.
void AddLabelListCommand(QMenu& labels, QMdiArea& area, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
