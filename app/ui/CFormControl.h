#pragma once
// The form inside the status window: the cursor and duration read-outs and
// the value table (one row per shown channel).

#include <QWidget>

#include "app/GridModel.h"

class QLabel;

namespace vocomet {

class COrielDoc;
class GridTableView;

class CFormControl : public QWidget {
    Q_OBJECT
public:
    explicit CFormControl(QWidget* parent = nullptr);
    ~CFormControl() override;

    void OnInitialUpdate();
    void ArrangeControls();
    // Refills the table from the document (none: an empty table). A failure
    // is reported and leaves the rows made so far.
    void FillTable(const COrielDoc* document);
    // Stores the value as a double; a bad row or column throws std::out_of_range.
    void SetCellDouble(int row, int column, double value);
    void SetCursorText(const QString& text);
    void SetDurationText(const QString& text);

    GridModel& Grid() { return m_grid; }
    GridTableView* Table() { return m_table; }
    QLabel* CursorText() { return m_cursorText; }
    QLabel* DurationText() { return m_durationText; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect DialogRect(int x, int y, int w, int h) const;

    GridModel m_grid;
    GridTableView* m_table = nullptr;
    QLabel* m_cursorText = nullptr;
    QLabel* m_durationText = nullptr;
    QLabel* m_cursorCaption = nullptr;
    QLabel* m_durationCaption = nullptr;
    const COrielDoc* m_document = nullptr;
};

}  // namespace vocomet
