#include "app/ConverterMenus.h"

#include "app/ConverterAppDelegate.h"
#include "app/ConverterUpdates.h"
#include "app/LegalMenuItems.h"
#include "common/MediaApp.h"
#include "converter/ui/ConverterWindow.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace ConverterMenus {

void install(QMainWindow* window, ConverterAppDelegate& delegate) {
    QMenuBar* bar = window->menuBar();
    const auto action = [window](QMenu* menu, const QString& title, const QString& name) {
        QAction* item = menu->addAction(title);
        item->setObjectName(name);
        Q_UNUSED(window);
        return item;
    };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* show = action(file, QStringLiteral("Show Converter"), QStringLiteral("actionShowConverter"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QObject::connect(show, &QAction::triggered, window, [] { ConverterWindow::show(QList<QUrl>{}); });
    QAction* convert = action(file, QStringLiteral("Convert Files…"), QStringLiteral("actionConvertFiles"));
    convert->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(convert, &QAction::triggered, window, [] { ConverterWindow::chooseAndShow(); });
    file->addSeparator();
    QAction* settings = action(file, QStringLiteral("Settings…"), QStringLiteral("actionSettings"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setMenuRole(QAction::PreferencesRole);
    QObject::connect(settings, &QAction::triggered, &delegate, &ConverterAppDelegate::showSettings);
    file->addSeparator();
    QAction* quit = action(file, QStringLiteral("Quit"), QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    // Queued: the alert must not run inside the menu's own event handling.
    QObject::connect(quit, &QAction::triggered, &delegate, &ConverterAppDelegate::requestQuit,
                     Qt::QueuedConnection);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    LegalMenuItems::add(help);
    help->addSeparator();
    QAction* check =
        action(help, QStringLiteral("Check for Updates…"), QStringLiteral("actionCheckForUpdates"));
    ConverterUpdates& updates = ConverterUpdates::shared();
    check->setEnabled(updates.canCheck());
    QObject::connect(&updates, &ConverterUpdates::canCheckChanged, check, &QAction::setEnabled);
    QObject::connect(check, &QAction::triggered, &updates, &ConverterUpdates::check);
    QAction* about = action(help, QStringLiteral("About ") + MediaApp::name(), QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, &delegate, &ConverterAppDelegate::showAbout);
}

} // namespace ConverterMenus
