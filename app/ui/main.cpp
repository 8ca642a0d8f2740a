#include <QApplication>

#include "app/ui/CMainFrame.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvern"));
    QApplication::setApplicationName(QStringLiteral("Vocomet"));

    vocomet::CMainFrame frame;
    frame.showMaximized();
    return QApplication::exec();
}
