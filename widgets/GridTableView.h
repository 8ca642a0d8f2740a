#pragma once
// A QTableView over a GridModel. The view only shows the model: a changed
// cell repaints that cell alone; rows, columns and column settings follow
// the model's layout changes; a user's edit goes back into the model, whose
// UserEdit event reaches the host through cellChangedByUser.

#include <QAbstractTableModel>
#include <QTableView>

#include "app/GridModel.h"

namespace vocomet {

// The Qt item model of one GridModel (which must outlive it).
class GridItemModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridItemModel(GridModel& grid, QObject* parent = nullptr);
    ~GridItemModel() override;

    GridModel& Grid() { return m_grid; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void layoutFollowed();
    void refreshRequested();
    void selectionFollowed();
    void cellChangedByUser(int row, int column);

private:
    void OnChange(const GridChange& change);

    GridModel& m_grid;
    int m_listener = 0;
};

class GridTableView : public QTableView {
    Q_OBJECT
public:
    explicit GridTableView(GridModel& grid, QWidget* parent = nullptr);

    GridModel& Grid() { return m_model->Grid(); }
    GridItemModel* ItemModel() { return m_model; }

signals:
    // A user changed a cell.
    void cellChangedByUser(int row, int column);

private:
    // Column widths, hidden columns, row height and the selection, from the model.
    void ApplyLayout();
    void SelectionToModel();
    void SelectionFromModel();

    GridItemModel* m_model;
    bool m_applying = false;
};

}  // namespace vocomet
