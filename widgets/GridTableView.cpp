#include "widgets/GridTableView.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace vocomet {

GridItemModel::GridItemModel(GridModel& grid, QObject* parent) : QAbstractTableModel(parent), m_grid(grid) {
    m_listener = m_grid.AddListener([this](const GridChange& c) { OnChange(c); });
}

GridItemModel::~GridItemModel() { m_grid.RemoveListener(m_listener); }

void GridItemModel::OnChange(const GridChange& change) {
    switch (change.kind) {
    case GridChange::Cell: {
        const QModelIndex i = index(change.row, change.column);
        emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
        break;
    }
    case GridChange::Layout:
        // The model has already changed; the view re-reads everything.
        beginResetModel();
        endResetModel();
        emit layoutFollowed();
        break;
    case GridChange::Refresh:
        emit refreshRequested();
        break;
    case GridChange::Selection:
        emit selectionFollowed();
        break;
    case GridChange::UserEdit:
        emit cellChangedByUser(change.row, change.column);
        break;
    }
}

int GridItemModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_grid.GetRowCount(); }

int GridItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.GetColumnCount();
}

QVariant GridItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_grid.GetRowCount() || index.column() >= m_grid.GetColumnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(m_grid.FormatCell(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole) {
        const GridCell& c = m_grid.GetCell(index.row(), index.column());
        const bool number = std::holds_alternative<double>(c) || std::holds_alternative<std::int32_t>(c);
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant GridItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_grid.GetColumnCount())
            return {};
        return QString::fromStdString(m_grid.GetColumnCaption(section));
    }
    if (section < 0 || section >= m_grid.GetRowCount())
        return {};
    const std::string header = m_grid.GetRowHeaderText(section);
    return header.empty() ? QVariant(section + 1) : QVariant(QString::fromStdString(header));
}

Qt::ItemFlags GridItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool GridItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_grid.GetRowCount() ||
        index.column() >= m_grid.GetColumnCount())
        return false;
    m_grid.SetCellByUser(index.row(), index.column(), value.toString().toStdString());
    return true;
}

namespace {

// A choice list becomes a combo box; a text cell's editor keeps the column's limit.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(GridModel& grid, QObject* parent) : QStyledItemDelegate(parent), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto choices = m_grid.GetCellChoiceList(index.row(), index.column());
        if (!choices.empty()) {
            auto* box = new QComboBox(parent);
            for (const std::string& item : choices)
                box->addItem(QString::fromStdString(item));
            return box;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const int limit = m_grid.Column(index.column()).textLimit;
            if (limit > 0)
                line->setMaxLength(limit);
        }
        return editor;
    }

    // Cells are single lines of plain text: drawn directly, without the
    // style's item layout, as the value table repaints cells on every mouse move.
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            p->fillRect(option.rect, option.palette.highlight());
        p->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        const auto align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect r = option.rect.adjusted(3, 0, -3, 0);
        p->drawText(r, int(align), option.fontMetrics.elidedText(text, Qt::ElideRight, r.width()));
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
            const QWidget* w = option.widget;
            (w ? w->style() : QApplication::style())->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, w);
        }
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, box->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    GridModel& m_grid;
};

}  // namespace

GridTableView::GridTableView(GridModel& grid, QWidget* parent)
    : QTableView(parent), m_model(new GridItemModel(grid, this)) {
    setModel(m_model);
    setItemDelegate(new GridDelegate(grid, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(m_model, &GridItemModel::layoutFollowed, this, &GridTableView::ApplyLayout);
    connect(m_model, &GridItemModel::selectionFollowed, this, &GridTableView::SelectionFromModel);
    connect(m_model, &GridItemModel::refreshRequested, this, [this] { viewport()->update(); });
    connect(m_model, &GridItemModel::cellChangedByUser, this, &GridTableView::cellChangedByUser);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &GridTableView::SelectionToModel);
    ApplyLayout();
}

void GridTableView::ApplyLayout() {
    m_applying = true;
    GridModel& g = Grid();
    for (int c = 0; c < g.GetColumnCount(); ++c) {
        const GridColumn& col = g.Column(c);
        setColumnWidth(c, static_cast<int>(col.width + 0.5));
        setColumnHidden(c, col.hidden);
    }
    verticalHeader()->setDefaultSectionSize(static_cast<int>(g.GetRowHeight() + 0.5));
    m_applying = false;
    SelectionFromModel();
}

void GridTableView::SelectionFromModel() {
    if (m_applying)
        return;
    m_applying = true;
    GridModel& g = Grid();
    QItemSelection selection;
    for (int r = g.NextSelected(-1); r >= 0; r = g.NextSelected(r))
        selection.select(m_model->index(r, 0), m_model->index(r, std::max(g.GetColumnCount() - 1, 0)));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_applying = false;
}

void GridTableView::SelectionToModel() {
    if (m_applying)
        return;
    m_applying = true;
    GridModel& g = Grid();
    g.ClearSelection();
    for (const QModelIndex& i : selectionModel()->selectedRows())
        g.SetRowSelected(i.row(), true);
    m_applying = false;
}

}  // namespace vocomet
