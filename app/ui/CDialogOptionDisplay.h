#pragma once
// "Display Option": the display settings of one document. A table with one
// row per channel (name, shown, strip height, reference line, intensity
// curve), mouse tracking, the time grid and its spacing, and the print and
// bitmap size with its unit and colour. The caller sets the document before
// the dialog runs; on OK the document takes the values, unless one is
// refused (the dialog then stays open on it). Cancel changes nothing.

#include <QDialog>
#include <memory>

#include "app/GridModel.h"
#include "app/OptionTables.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class COrielDoc;
class GridTableView;

class CDialogOptionDisplay : public QDialog {
    Q_OBJECT
public:
    CDialogOptionDisplay(platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~CDialogOptionDisplay() override;

    COrielDoc* document = nullptr;
    DisplayOptionValues values;

    int DoModal() { return exec(); }
    void OnInitDialog();
    void accept() override;
    void reject() override;
    // Enables the spacing edit exactly while the time grid is checked.
    void OnCheckTimeGrid();

    GridModel& Grid() { return *m_grid; }
    GridTableView* Table() const { return m_table; }
    QCheckBox* TimeGridCheck() const { return m_timeGrid; }
    QLineEdit* SpacingEdit() const { return m_spacing; }
    QLineEdit* WidthEdit() const { return m_width; }
    QLineEdit* HeightEdit() const { return m_height; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Values from the controls; false (after a message) when an edit holds
    // no number.
    bool ReadControls(DisplayOptionValues& out);
    void Refuse(QWidget* focus, const std::string& message);

    platform::UserPrompts& m_prompts;
    std::unique_ptr<GridModel> m_grid;
    GridTableView* m_table;
    QCheckBox* m_trackMouse;
    QCheckBox* m_timeGrid;
    QLineEdit* m_spacing;
    QRadioButton* m_inches;
    QRadioButton* m_cm;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QRadioButton* m_colour;
    QRadioButton* m_blackWhite;
    bool m_initialised = false;
};

}  // namespace vocomet
