#pragma once
// What the option dialogs share: number edits that are read when the user
// confirms, radio pairs, a refusal that tells the user why and keeps the
// dialog open on the offending control, and the end of a table's cell
// editing. The dialogs talk to the user through UserPrompts, so tests can
// answer their messages.

#include <QDialog>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLineEdit;
class QRadioButton;
class QTableView;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class OptionDialogBase : public QDialog {
    Q_OBJECT
public:
    OptionDialogBase(const QString& title, platform::UserPrompts& prompts, QWidget* parent);

    // exec(): QDialog::Accepted on OK.
    int DoModal() { return exec(); }

protected:
    // A caption in column 0 of the row and an edit in column 1 (spanning
    // span columns).
    QLineEdit* AddEdit(QGridLayout* grid, int row, const QString& caption, int column = 0, int span = 1);

    static void SetInt(QLineEdit* edit, long long v);
    static void SetDouble(QLineEdit* edit, double v);
    // The edit's text as a whole number or a number; false (after telling
    // the user and focusing the edit) when it is not one.
    bool ReadInt(QLineEdit* edit, int& out);
    bool ReadDouble(QLineEdit* edit, double& out);

    // Tells the user why, focuses the control; the dialog stays open.
    void Refuse(QWidget* focus, const std::string& message);

    // A pair of radio buttons of which exactly one is checked.
    static void SetPair(QRadioButton* first, QRadioButton* second, bool firstChecked);

    // Ends a table's cell editing, keeping what was typed.
    static void EndCellEditing(QTableView* table);

    platform::UserPrompts& m_prompts;
};

}  // namespace vocomet
