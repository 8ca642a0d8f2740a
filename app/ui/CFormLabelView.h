#pragma once
// The form of the label list window: the static text "Click on the column
// header to sort. ", the "Zoom to Selected Label" button and the table of
// labels (channel name, label text, time in ms; LabelListRows.h). A click
// on a column header sorts the rows by it (again: the other way round).
// The rows only mirror the document's channels, so the cells are read-only.
//
// The form reaches its document through the main view that opened the
// list; once that view goes (Detach) the form does nothing.

#include <QPointer>
#include <QWidget>
#include <string>

#include "app/GridModel.h"
#include "core/ChannelRecords.h"

class QLabel;
class QPushButton;

namespace vocomet {

class COrielDoc;
class COrielView;
class GridTableView;

class CFormLabelView : public QWidget {
    Q_OBJECT
public:
    explicit CFormLabelView(COrielView& mainView, QWidget* parent = nullptr);

    // The document of the main view; null once detached.
    COrielDoc* GetDocument() const;
    COrielView* MainView() const { return m_mainView.data(); }
    // The main view is going: forget it and its document.
    void Detach() { m_mainView = nullptr; }

    // First fill.
    void OnInitialUpdate();
    // Every label of the shown channels anew. A failure says "Error in
    // setting up the data table" and keeps the rows filled so far; the
    // controls are laid out in every case.
    void FillTable();
    void AddLabelRow(const std::string& channelName, const LABEL& label);
    void ModifyLabelRow(const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName);
    void DeleteLabelRow(const LABEL& label, const std::string& channelName);
    // The table fills the form below the top row of controls, 5 pixels in.
    void ArrangeControls();
    // Scrolls the main view to the time of the first selected row; with no
    // row selected says "Select a row the label view and then zoom to the label.".
    void OnZoomToLabel();
    // Header click: sorts by the column, ascending first.
    void OnSortByColumn(int column);

    GridModel& Grid() { return m_grid; }
    GridTableView* Table() const { return m_table; }
    QPushButton* ZoomButton() const { return m_zoomButton; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<COrielView> m_mainView;
    GridModel m_grid;
    QLabel* m_hint = nullptr;
    QPushButton* m_zoomButton = nullptr;
    GridTableView* m_table = nullptr;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

}  // namespace vocomet
