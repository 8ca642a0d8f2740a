#include "app/ui/CFormLog.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <algorithm>
#include <optional>
#include <exception>
#include <filesystem>

#include "app/LogFile.h"
#include "app/ui/CFrameLog.h"
#include "widgets/GridTableView.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

CFormLog::CFormLog(platform::UserPrompts& prompts, QWidget* parent) : QWidget(parent), m_prompts(prompts) {
    // The template's three columns: File Name, Entry definition and order, Comments.
    SetUpNewLogTable(m_grid);
    m_table = new GridTableView(m_grid, this);
    connect(m_table, &GridTableView::cellChangedByUser, this, [this](int, int) { m_modified = true; });
    // Registered after the table's own listener, so it runs once the table
    // has taken the grid's columns.
    m_grid.AddListener([this](const GridChange& change) {
        if (change.kind == GridChange::Layout && m_table)
            WidenColumnsToCaptions();
    });
    WidenColumnsToCaptions();
}

void CFormLog::WidenColumnsToCaptions() {
    QHeaderView* header = m_table->horizontalHeader();
    for (int c = 0; c < m_grid.GetColumnCount(); ++c) {
        const int needed = header->sectionSizeHint(c);
        if (header->sectionSize(c) < needed)
            m_table->setColumnWidth(c, needed);
    }
}

CFormLog::~CFormLog() {
    // The view goes before the grid it shows.
    delete m_table;
    m_table = nullptr;
}

void CFormLog::OnInitialUpdate() {
    m_gridReady = true;
    m_modified = false;
    ArrangeControls();
}

void CFormLog::ArrangeControls() {
    if (!m_gridReady)
        throw platform::UserException();
    m_table->setGeometry(5, 5, std::max(width() - 10, 0), std::max(height() - 20, 0));
}

void CFormLog::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    try {
        ArrangeControls();
    } catch (const platform::UserException&) {
        // Before the initial update there is nothing to place.
    }
}

void CFormLog::ReportAddFailure() {
    m_prompts.Beep();
    m_prompts.Message(kLogErrorAdding, platform::Buttons::Ok, platform::Icon::Warning);
}

void CFormLog::ShowLastRow() {
    if (m_grid.GetRowCount() > 0)
        m_table->scrollToBottom();
}

void CFormLog::AddEntry(const LogEntry& entry) { AddEntries(std::span<const LogEntry>(&entry, 1)); }

void CFormLog::AddEntries(std::span<const LogEntry> entries) {
    if (entries.empty())
        return;
    const int rowsBefore = m_grid.GetRowCount();
    try {
        AddLogEntries(m_grid, entries);
    } catch (const std::exception&) {
        if (m_grid.GetRowCount() != rowsBefore)
            m_modified = true;
        ReportAddFailure();
        throw;
    }
    m_modified = true;
    ShowLastRow();
}

bool CFormLog::OpenLogFile(const std::string& path) {
    if (ReadLogFile(path, m_grid, m_prompts) != LogReadStatus::Ok)
        return false;
    m_path = path;
    m_modified = false;
    return true;
}

bool CFormLog::WriteLogFile(const std::string& path) {
    if (!vocomet::WriteLogFile(path, m_grid, m_prompts))
        return false;
    m_modified = false;
    return true;
}

bool CFormLog::SaveLog() {
    if (m_path.empty()) {
        SaveLogAs();
        return !m_path.empty() && !m_modified;
    }
    if (m_modified)
        WriteLogFile(m_path);
    return !m_modified;
}

int CFormLog::SaveLogAs() {
    auto* frame = qobject_cast<CFrameLog*>(parentWidget());
    platform::FileDialogRequest request;
    request.title = "Save As Text";
    request.filter = "text files (*.txt)|*.txt||";
    request.defaultSuffix = "txt";
    request.initialPath = !m_path.empty() ? m_path : frame ? frame->GetLogTitle() : std::string();
    const std::optional<std::string> chosen = m_prompts.AskSavePath(request);
    if (!chosen || chosen->empty())
        return 0;
    m_path = *chosen;
    m_name = std::filesystem::path(m_path).stem().string();
    WriteLogFile(m_path);
    if (frame)
        frame->SetLogTitle(m_name, m_path);
    return 1;
}

}  // namespace vocomet
