#include <QApplication>

#include "app/ui/COrielApp.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvern"));
    QApplication::setApplicationName(QStringLiteral("Vocomet"));

    vocomet::COrielApp app(vocomet::COrielApp::Options{});
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!app.InitInstance(arguments))
        return 1;
    const int rc = QApplication::exec();
    app.ExitInstance();
    return rc;
}
