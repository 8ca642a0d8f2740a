#pragma once
// The application's main window: the MDI area that holds every document's
// child frames and the analysis windows, the menu bar, and the target of
// dropped files.

#include <QMainWindow>
#include <QStringList>

class QMdiArea;
class QMenu;

namespace vocomet {

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    QMdiArea* MdiArea() const { return m_mdiArea; }
    QMenu* FileMenu() const { return m_fileMenu; }
    QMenu* ZoomMenu() const { return m_zoomMenu; }
    QMenu* WindowMenu() const { return m_windowMenu; }
    QMenu* HelpMenu() const { return m_helpMenu; }

signals:
    void filesDropped(const QStringList& paths);
    // Asked before the window closes; a handler may veto by setting *ok.
    void closeRequested(bool* ok);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QMdiArea* m_mdiArea;
    QMenu* m_fileMenu;
    QMenu* m_zoomMenu;
    QMenu* m_windowMenu;
    QMenu* m_helpMenu;
};

}  // namespace vocomet
