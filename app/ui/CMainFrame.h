#pragma once
// The application's main window: the MDI area that holds every document's
// child frames and the analysis windows, the menu bar, and the target of
// dropped files.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace vocomet {

class CFrameLog;
class CStatusWindow;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    QMdiArea* MdiArea() const { return m_mdiArea; }
    QMenu* FileMenu() const { return m_fileMenu; }
    QMenu* EditMenu() const { return m_editMenu; }
    QMenu* ZoomMenu() const { return m_zoomMenu; }
    QMenu* LabelsMenu() const { return m_labelsMenu; }
    QMenu* AnalysisMenu() const { return m_analysisMenu; }
    QMenu* ChannelsMenu() const { return m_channelsMenu; }
    QMenu* EggMenu() const { return m_eggMenu; }
    QMenu* OptionsMenu() const { return m_optionsMenu; }
    QMenu* LogMenu() const { return m_logMenu; }
    QMenu* WindowMenu() const { return m_windowMenu; }
    QMenu* HelpMenu() const { return m_helpMenu; }

    // The measurement log window, null when none is open (CFrameLog.cpp
    // makes it); closing the frame asks the log first.
    CFrameLog* LogFrame() const;
    void SetLogFrame(CFrameLog* log);
    // The status window (MainFrameCommands.cpp makes it); null when it
    // could not be made.
    CStatusWindow* StatusWindow() const;
    void SetStatusWindow(CStatusWindow* window);
    // The status window is shown right after the frame first is.
    void ShowStatusWindowWithFrame() { m_showStatusWithFrame = true; }

    void setVisible(bool visible) override;

    // The window text: "Vocomet", with the title of a maximised document
    // window in brackets after it. Kept so whatever else sets it.
    void OnUpdateFrameTitle();

    // The status bar's message pane as the user reads it: the prompt of the
    // command under the pointer, otherwise "Ready".
    QString StatusMessage() const;
    // The Caps Lock, Num Lock and Scroll Lock indicators, in that order.
    QLabel* LockIndicator(int index) const { return m_locks[index]; }
    // Reads the keyboard's lock states into the indicators.
    void UpdateLockIndicators();

signals:
    // Sent before the toolbar reads the commands' enabled states, so that
    // commands kept up to date by hand refresh them.
    void updatingCommands();
    void filesDropped(const QStringList& paths);
    // Asked before the window closes; a handler may veto by setting *ok.
    void closeRequested(bool* ok);
    // Sent once the documents and the log have agreed to go, just before
    // the window closes: placements are stored and workers stopped.
    void closing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QMdiArea* m_mdiArea;
    QMenu* m_fileMenu;
    QMenu* m_editMenu;
    QMenu* m_zoomMenu;
    QMenu* m_labelsMenu;
    QMenu* m_analysisMenu;
    QMenu* m_channelsMenu;
    QMenu* m_eggMenu;
    QMenu* m_optionsMenu;
    QMenu* m_logMenu;
    QMenu* m_windowMenu;
    QMenu* m_helpMenu;
    QString FrameTitle() const;
    void WatchSubWindow(QMdiSubWindow* window);

    bool m_settingTitle = false;
    bool m_showStatusWithFrame = false;
    QLabel* m_ready;
    QLabel* m_locks[3];
    QPointer<CFrameLog> m_logFrame;
    QPointer<CStatusWindow> m_statusWindow;
};

}  // namespace vocomet
