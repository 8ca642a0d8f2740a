#include "app/ui/CMainFrame.h"

#include <QMdiArea>

namespace vocomet {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_mdiArea(new QMdiArea(this)) {
    setWindowTitle(QStringLiteral("Vocomet"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    resize(1024, 720);
}

}  // namespace vocomet
