#pragma once
// The form inside the measurement log window: the table of entries, the
// modified flag and the log file's path. Rows come from CFrameLog::AddEntry
// and the user's edits; the file is read and written by app/LogFile.
// UI thread only.

#include <QWidget>
#include <span>
#include <string>

#include "app/GridModel.h"
#include "app/LogEntry.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

class GridTableView;

inline constexpr const char* kLogErrorAdding = "Error in adding data into the log file.";

class CFormLog : public QWidget {
    Q_OBJECT
public:
    CFormLog(platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~CFormLog() override;

    // The grid is ready; nothing is modified yet; the table is laid out.
    void OnInitialUpdate();
    // Places the table at (5, 5), client width - 10 by client height - 20.
    // Before OnInitialUpdate throws platform::UserException.
    void ArrangeControls();

    // Appends the entry's row, widening the table as it needs; modified := 1.
    // A failure beeps, says "Error in adding data into the log file." and is
    // passed on.
    void AddEntry(const LogEntry& entry);
    // Many entries as one batch: the table view follows once.
    void AddEntries(std::span<const LogEntry> entries);

    // Reads the file into the table (failures reported); true when read.
    bool OpenLogFile(const std::string& path);
    // Writes the table (failures reported, modified stays set); true when written.
    bool WriteLogFile(const std::string& path);
    // No path: Save As. Otherwise writes when modified. True when the log is
    // in its file afterwards.
    bool SaveLog();
    // Asks for a file ("Save As Text"); 1 when one was chosen (the log then
    // takes its path and name, and the frame shows the name, even if the
    // write failed), 0 when cancelled.
    int SaveLogAs();

    bool IsModified() const { return m_modified; }
    bool IsGridReady() const { return m_gridReady; }
    const std::string& GetPath() const { return m_path; }
    const std::string& GetName() const { return m_name; }
    GridModel& Grid() { return m_grid; }
    GridTableView* Table() { return m_table; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // No column narrower than its header text.
    void WidenColumnsToCaptions();
    void ReportAddFailure();
    void ShowLastRow();

    platform::UserPrompts& m_prompts;
    GridModel m_grid;
    GridTableView* m_table = nullptr;
    bool m_gridReady = false;
    bool m_modified = false;
    std::string m_path;
    std::string m_name;
};

}  // namespace vocomet
