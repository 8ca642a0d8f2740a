#pragma once
// The application's main window: the MDI area that holds every document's
// child frames and the analysis windows.

#include <QMainWindow>

class QMdiArea;

namespace vocomet {

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    QMdiArea* MdiArea() const { return m_mdiArea; }

private:
    QMdiArea* m_mdiArea;
};

}  // namespace vocomet
