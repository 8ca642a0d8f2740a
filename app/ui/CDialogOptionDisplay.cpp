#include "app/ui/CDialogOptionDisplay.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "widgets/GridTableView.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

void EndCellEditing(QTableView* table) {
    QWidget* editor = table->indexWidget(table->currentIndex());
    if (!editor)
        return;
    QMetaObject::invokeMethod(table, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, editor));
    QMetaObject::invokeMethod(table, "closeEditor", Qt::DirectConnection, Q_ARG(QWidget*, editor),
                              Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
}

}  // namespace

CDialogOptionDisplay::CDialogOptionDisplay(platform::UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_grid(std::make_unique<GridModel>()) {
    setWindowTitle(QStringLiteral("Display Option"));
    setModal(true);
    auto* top = new QVBoxLayout(this);
    m_table = new GridTableView(*m_grid, this);
    m_table->setMinimumSize(420, 200);
    top->addWidget(m_table);

    m_trackMouse = new QCheckBox(QStringLiteral("Track mouse for all windows"), this);
    top->addWidget(m_trackMouse);
    auto* gridRow = new QHBoxLayout;
    m_timeGrid = new QCheckBox(QStringLiteral("Add Time grid with spacing (ms) = "), this);
    m_spacing = new QLineEdit(this);
    m_spacing->setMaximumWidth(80);
    gridRow->addWidget(m_timeGrid);
    gridRow->addWidget(m_spacing);
    gridRow->addStretch();
    top->addLayout(gridRow);
    auto* note = new QLabel(QStringLiteral("Note:\nA value of 0 will make the time grids adjust automatically to the "
                                           "zoomed window.\nGrid is always displayed on the main screen but follows "
                                           "the selection for the print and bitmap."),
                            this);
    note->setWordWrap(true);
    top->addWidget(note);

    auto* print = new QGroupBox(QStringLiteral("Print / BMP size"), this);
    auto* pg = new QGridLayout(print);
    auto* unit = new QButtonGroup(this);
    m_inches = new QRadioButton(QStringLiteral("Inches"), print);
    m_cm = new QRadioButton(QStringLiteral("cm"), print);
    unit->addButton(m_inches);
    unit->addButton(m_cm);
    pg->addWidget(m_inches, 0, 0);
    pg->addWidget(m_cm, 0, 1);
    pg->addWidget(new QLabel(QStringLiteral("width  = "), print), 1, 0);
    m_width = new QLineEdit(print);
    m_width->setMaximumWidth(90);
    pg->addWidget(m_width, 1, 1);
    pg->addWidget(new QLabel(QStringLiteral("heigth = "), print), 2, 0);
    m_height = new QLineEdit(print);
    m_height->setMaximumWidth(90);
    pg->addWidget(m_height, 2, 1);
    auto* colour = new QButtonGroup(this);
    m_colour = new QRadioButton(QStringLiteral("Color"), print);
    m_blackWhite = new QRadioButton(QStringLiteral("Black White"), print);
    colour->addButton(m_colour);
    colour->addButton(m_blackWhite);
    pg->addWidget(m_colour, 3, 0);
    pg->addWidget(m_blackWhite, 3, 1);
    pg->setColumnStretch(2, 1);
    top->addWidget(print);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDialogOptionDisplay::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDialogOptionDisplay::reject);
    connect(m_timeGrid, &QCheckBox::toggled, this, &CDialogOptionDisplay::OnCheckTimeGrid);
}

// The table's model listens to the grid: the table goes first, before the
// grid it watches.
CDialogOptionDisplay::~CDialogOptionDisplay() {
    delete m_table;
    m_table = nullptr;
}

void CDialogOptionDisplay::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

void CDialogOptionDisplay::OnInitDialog() {
    m_initialised = true;
    if (document) {
        try {
            FillDisplayTable(*m_grid, *document);
        } catch (const std::exception&) {
            m_prompts.Message(kDisplayTableSetupError, platform::Buttons::Ok, platform::Icon::Warning);
        }
        values = DisplayValuesOf(*document);
    }
    m_trackMouse->setChecked(values.trackMouse != 0);
    m_timeGrid->setChecked(values.timeGrid != 0);
    m_spacing->setText(QString::number(values.gridSpacingMs));
    m_inches->setChecked(values.inches != 0);
    m_cm->setChecked(values.inches == 0);
    m_colour->setChecked(values.colour != 0);
    m_blackWhite->setChecked(values.colour == 0);
    m_width->setText(QString::number(values.width, 'g', 15));
    m_height->setText(QString::number(values.height, 'g', 15));
    OnCheckTimeGrid();
}

void CDialogOptionDisplay::OnCheckTimeGrid() { m_spacing->setEnabled(m_timeGrid->isChecked()); }

bool CDialogOptionDisplay::ReadControls(DisplayOptionValues& out) {
    out.trackMouse = m_trackMouse->isChecked() ? 1 : 0;
    out.timeGrid = m_timeGrid->isChecked() ? 1 : 0;
    out.inches = m_inches->isChecked() ? 1 : 0;
    out.colour = m_colour->isChecked() ? 1 : 0;
    bool ok = false;
    out.gridSpacingMs = m_spacing->text().trimmed().toInt(&ok);
    if (!ok) {
        // A disabled edit keeps the spacing the document had.
        if (out.timeGrid == 0) {
            out.gridSpacingMs = values.gridSpacingMs;
        } else {
            Refuse(m_spacing, "Please enter an integer.");
            return false;
        }
    }
    out.width = m_width->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(out.width)) {
        Refuse(m_width, "Please enter a number.");
        return false;
    }
    out.height = m_height->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(out.height)) {
        Refuse(m_height, "Please enter a number.");
        return false;
    }
    return true;
}

void CDialogOptionDisplay::Refuse(QWidget* focus, const std::string& message) {
    m_prompts.Message(message, platform::Buttons::Ok, platform::Icon::Warning);
    if (focus)
        focus->setFocus();
}

void CDialogOptionDisplay::accept() {
    EndCellEditing(m_table);
    DisplayOptionValues read;
    if (!ReadControls(read))
        return;
    if (document) {
        std::optional<TableRefusal> refusal;
        try {
            refusal = StoreDisplayOptions(*m_grid, read, *document);
        } catch (const std::exception&) {
            // Nothing more can be read; what was stored stays stored.
            m_prompts.Message(kDisplayTableReadError, platform::Buttons::Ok, platform::Icon::Warning);
            values = read;
            QDialog::accept();
            return;
        }
        if (refusal) {
            QWidget* focus = refusal->row >= 0 ? static_cast<QWidget*>(m_table)
                             : refusal->column == 0 ? static_cast<QWidget*>(m_spacing)
                             : refusal->column == 1 ? static_cast<QWidget*>(m_width)
                             : refusal->column == 2 ? static_cast<QWidget*>(m_height)
                                                    : nullptr;
            Refuse(focus, refusal->message);
            if (refusal->row >= 0)
                m_table->setCurrentIndex(m_table->model()->index(refusal->row, refusal->column));
            return;
        }
    }
    values = read;
    QDialog::accept();
}

void CDialogOptionDisplay::reject() {
    EndCellEditing(m_table);
    QDialog::reject();
}

}  // namespace vocomet
