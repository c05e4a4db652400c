#include "app/ConverterAppDelegate.h"
#include "common/MediaApp.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char* argv[]) {
    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"),
                      QStringLiteral(QC_VERSION), QStringLiteral(QC_BUILD_NUMBER));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuorvaneConverter"));
    QApplication::setOrganizationName(QStringLiteral("Halcyrin"));
    QApplication::setApplicationVersion(QStringLiteral(QC_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.halcyrin.QuorvaneConverter"));
    // Without a desktop session (a bare X server, a minimal window manager) the theme may be
    // unset: Adwaita still gives file icons.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // The converter lives on without a window; a later launch brings the window back.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = QApplication::arguments().mid(1);
    if (ConverterAppDelegate::handOverToRunningInstance(arguments, QDir::currentPath()))
        return 0;

    ConverterAppDelegate::shared().didFinishLaunching(arguments, QDir::currentPath());
    return app.exec();
}
