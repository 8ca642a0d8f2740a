#pragma once
// The measurement log window: a floating tool window owned by the main
// frame, at most one at a time, holding the CFormLog table. Entries arrive
// through AddEntry; the main frame's Log commands make, open and save it.
// Closing a modified log asks whether to save it first; when the user says
// Yes and nothing gets saved (Save As cancelled, the write failed), the
// window stays open, so measurements are never thrown away.
// UI thread only.

#include <QWidget>
#include <span>
#include <string>

#include "app/LogEntry.h"
#include "core/ApplicationSettings.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

class CFormLog;
class CMainFrame;

inline constexpr const char* kLogUntitledTitle = "Untitled LogWindow";
inline constexpr const char* kLogCannotCreateFrame = "Could not create the requested frame.";

class CFrameLog : public QWidget, public LogSink {
    Q_OBJECT
public:
    // placement is the log's persisted rectangle (left, top, right, bottom),
    // kept up to date as the window moves and sizes.
    CFrameLog(platform::UserPrompts& prompts, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CFrameLog() override;

    // Creates the form over the client area and titles the window
    // "Untitled LogWindow"; false (after a beep and a message) on failure.
    bool CreateForm();
    // Keeps both texts and shows the title.
    void SetLogTitle(const std::string& title, const std::string& path);
    const std::string& GetLogTitle() const { return m_title; }
    const std::string& GetLogPath() const { return m_path; }

    void AddEntry(const LogEntry& entry) override;
    void AddEntries(std::span<const LogEntry> entries) override;
    bool SaveLog();
    int SaveLogAs();
    bool OpenLogFile(const std::string& path);
    bool IsLogModified() const;

    // The close path: a modified log asks "Save log file-- <title> --, before
    // closing." (Yes, No). Returns true when the window is going (it hides
    // at once, emits closed and is deleted later); false when it stays
    // because Yes saved nothing.
    bool PromptSaveAndClose();

    CFormLog* Form() { return m_form; }

signals:
    // The window is going; it no longer takes entries.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();

    platform::UserPrompts& m_prompts;
    WindowPlacement& m_placement;
    CFormLog* m_form = nullptr;
    std::string m_title;
    std::string m_path;
    bool m_closing = false;
};

// Log > New: an existing log window is only brought to the top; otherwise a
// new one is made at the stored placement (20, 20, 500, 300 the first time),
// owned by the frame, and becomes the frame's log window.
CFrameLog* OnLogNew(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement);
// Log > Open...: with no log window, asks for a file ("Open a log file") and
// opens it in a new log window owned by the frame; a failed read removes the
// window again. Returns the window, or null.
CFrameLog* OnLogOpen(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement);

}  // namespace vocomet
