#include <QApplication>

#include "app/ui/COrielApp.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvern"));
    QApplication::setApplicationName(QStringLiteral("Vocomet"));

    vocomet::COrielApp::Options options;
    // The audio box's DSP firmware lies beside the program.
    options.firmwarePath = (QApplication::applicationDirPath() + QStringLiteral("/ada.ldr")).toStdString();
    vocomet::COrielApp app(options);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!app.InitInstance(arguments))
        return 1;
    const int rc = QApplication::exec();
    app.ExitInstance();
    return rc;
}
