#include "common/Log.h"
#include "common/MediaApp.h"

#include <QApplication>
#include <QMainWindow>
#include <QSysInfo>

int main(int argc, char* argv[])
{
    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"),
                      QStringLiteral(QC_VERSION), QStringLiteral(QC_BUILD_NUMBER));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuorvaneConverter"));
    QApplication::setOrganizationName(QStringLiteral("Halcyrin"));
    QApplication::setApplicationVersion(QStringLiteral(QC_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.halcyrin.QuorvaneConverter"));

    Log::info(Log::Area::app, QStringLiteral("Launched %1 %2 on %3")
                                  .arg(MediaApp::name(), MediaApp::shortVersion(), QSysInfo::prettyProductName()));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Converter"));
    window.resize(800, 720);
    window.show();
    return app.exec();
}
