#include "analysis/ui/OptionDialogBase.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QRadioButton>
#include <QTableView>
#include <cmath>

#include "platform/UserPrompts.h"

namespace vocomet {

OptionDialogBase::OptionDialogBase(const QString& title, platform::UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts) {
    setWindowTitle(title);
    setModal(true);
}

QLineEdit* OptionDialogBase::AddEdit(QGridLayout* grid, int row, const QString& caption, int column, int span) {
    grid->addWidget(new QLabel(caption, this), row, column);
    auto* edit = new QLineEdit(this);
    edit->setMaximumWidth(90);
    grid->addWidget(edit, row, column + 1, 1, span);
    return edit;
}

void OptionDialogBase::SetInt(QLineEdit* edit, long long v) { edit->setText(QString::number(v)); }

void OptionDialogBase::SetDouble(QLineEdit* edit, double v) { edit->setText(QString::number(v, 'g', 15)); }

bool OptionDialogBase::ReadInt(QLineEdit* edit, int& out) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        Refuse(edit, "Please enter an integer.");
        return false;
    }
    out = v;
    return true;
}

bool OptionDialogBase::ReadDouble(QLineEdit* edit, double& out) {
    bool ok = false;
    // C-locale parsing: a settings value reads the same everywhere.
    const double v = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        Refuse(edit, "Please enter a number.");
        return false;
    }
    out = v;
    return true;
}

void OptionDialogBase::Refuse(QWidget* focus, const std::string& message) {
    m_prompts.Message(message, platform::Buttons::Ok, platform::Icon::Warning);
    if (focus) {
        focus->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(focus))
            edit->selectAll();
    }
}

void OptionDialogBase::SetPair(QRadioButton* first, QRadioButton* second, bool firstChecked) {
    first->setChecked(firstChecked);
    second->setChecked(!firstChecked);
}

void OptionDialogBase::EndCellEditing(QTableView* table) {
    if (!table)
        return;
    QWidget* editor = table->indexWidget(table->currentIndex());
    if (!editor)
        return;
    QMetaObject::invokeMethod(table, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, editor));
    QMetaObject::invokeMethod(table, "closeEditor", Qt::DirectConnection, Q_ARG(QWidget*, editor),
                              Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
}

}  // namespace vocomet
