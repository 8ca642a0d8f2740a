#include "app/ui/CFormLabelView.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <exception>

#include "app/LabelListRows.h"
#include "app/ui/COrielView.h"
#include "widgets/GridTableView.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {
constexpr int kMargin = 5;
}

CFormLabelView::CFormLabelView(COrielView& mainView, QWidget* parent) : QWidget(parent), m_mainView(&mainView) {
    SetUpLabelListColumns(m_grid);
    m_hint = new QLabel(QStringLiteral("Click on the column header to sort. "), this);
    m_zoomButton = new QPushButton(QStringLiteral("Zoom to Selected Label"), this);
    m_table = new GridTableView(m_grid, this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // A header click sorts; it does not select the column's cells.
    QObject::disconnect(m_table->horizontalHeader(), SIGNAL(sectionPressed(int)), m_table, nullptr);
    QObject::disconnect(m_table->horizontalHeader(), SIGNAL(sectionEntered(int)), m_table, nullptr);
    m_table->horizontalHeader()->setHighlightSections(false);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, &CFormLabelView::OnSortByColumn);
    connect(m_zoomButton, &QPushButton::clicked, this, &CFormLabelView::OnZoomToLabel);
    // A double click on a row zooms to it as well.
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this] { OnZoomToLabel(); });
    m_hint->adjustSize();
    m_zoomButton->adjustSize();
    ArrangeControls();
}

COrielDoc* CFormLabelView::GetDocument() const { return m_mainView ? &m_mainView->GetDocument() : nullptr; }

void CFormLabelView::OnInitialUpdate() { FillTable(); }

void CFormLabelView::FillTable() {
    if (COrielDoc* doc = GetDocument()) {
        try {
            FillLabelRows(m_grid, *doc);
        } catch (const std::exception&) {
            doc->Prompts().Message(kLabelListTableError, platform::Buttons::Ok, platform::Icon::Error);
        }
    }
    if (m_sortColumn >= 0)
        m_table->horizontalHeader()->setSortIndicatorShown(false);
    m_sortColumn = -1;
    ArrangeControls();
}

void CFormLabelView::AddLabelRow(const std::string& channelName, const LABEL& label) {
    vocomet::AddLabelRow(m_grid, channelName, label);
}

void CFormLabelView::ModifyLabelRow(const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName) {
    vocomet::ModifyLabelRow(m_grid, oldLabel, newLabel, channelName);
}

void CFormLabelView::DeleteLabelRow(const LABEL& label, const std::string& channelName) {
    vocomet::DeleteLabelRow(m_grid, label, channelName);
}

void CFormLabelView::ArrangeControls() {
    const int rowHeight = std::max(m_hint->sizeHint().height(), m_zoomButton->sizeHint().height());
    m_hint->setGeometry(kMargin, kMargin + (rowHeight - m_hint->sizeHint().height()) / 2,
                        m_hint->sizeHint().width(), m_hint->sizeHint().height());
    m_zoomButton->setGeometry(kMargin + m_hint->sizeHint().width() + 2 * kMargin, kMargin,
                              m_zoomButton->sizeHint().width(), rowHeight);
    const int top = kMargin + rowHeight + kMargin;
    m_table->setGeometry(kMargin, top, std::max(width() - 2 * kMargin, 0), std::max(height() - top - kMargin, 0));
}

void CFormLabelView::OnZoomToLabel() {
    COrielDoc* doc = GetDocument();
    if (!doc)
        return;
    const std::optional<double> time = SelectedLabelTime(m_grid);
    if (!time) {
        doc->Prompts().Message(kLabelListNoSelection, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    m_mainView->ScrollToTime(*time);
}

void CFormLabelView::OnSortByColumn(int column) {
    m_sortAscending = column == m_sortColumn ? !m_sortAscending : true;
    m_sortColumn = column;
    SortLabelRows(m_grid, column, m_sortAscending);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CFormLabelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

}  // namespace vocomet
