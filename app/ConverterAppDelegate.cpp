#include "app/ConverterAppDelegate.h"

#include "app/About.h"
#include "app/ConverterMenus.h"
#include "app/ConverterService.h"
#include "app/ConverterSettingsView.h"
#include "app/ConverterUpdates.h"
#include "app/SingleInstance.h"
#include "common/Log.h"
#include "common/MediaApp.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterWindow.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long Quit waits for stopped tools to exit and their partial outputs to be deleted.
constexpr int kStopWaitMs = 5000;

} // namespace

ConverterAppDelegate& ConverterAppDelegate::shared() {
    static ConverterAppDelegate* instance = new ConverterAppDelegate(qApp);
    return *instance;
}

ConverterAppDelegate::ConverterAppDelegate(QObject* parent)
    : QObject(parent)
    , m_quit([] { QApplication::quit(); }) {}

ConverterAppDelegate::~ConverterAppDelegate() {
    if (m_settings)
        delete m_settings.data();
}

bool ConverterAppDelegate::handOverToRunningInstance(const QStringList& arguments,
                                                     const QString& workingFolder) {
    return SingleInstance::handOver(SingleInstance::addressesFromArguments(arguments, workingFolder));
}

QString ConverterAppDelegate::launchLine() {
    const QString version =
        MediaApp::shortVersion().isEmpty() ? QStringLiteral("?") : MediaApp::shortVersion();
    return QStringLiteral("Launched ") + MediaApp::name() + QLatin1Char(' ') + version +
           QStringLiteral(" on ") + QSysInfo::prettyProductName();
}

void ConverterAppDelegate::didFinishLaunching(const QStringList& arguments, const QString& workingFolder) {
    Log::info(Log::Area::app, launchLine());
    ConverterUpdates::shared().start();

    m_instance = new SingleInstance(this);
    m_instance->listen();
    connect(m_instance, &SingleInstance::received, this, [this](const QStringList& addresses) {
        QList<QUrl> urls;
        for (const QString& address : addresses)
            urls.append(QUrl(address));
        open(urls);
    });

    ConverterService& service = ConverterService::shared();
    service.registerOnSessionBus();
    connect(&service, &ConverterService::convert, this,
            [](const QList<QUrl>& files) { ConverterWindow::show(files); });

    ConverterWindow::setMenuInstaller([this](QMainWindow* window) { installMenus(window); });
    QList<QUrl> urls;
    for (const QString& address : SingleInstance::addressesFromArguments(arguments, workingFolder))
        urls.append(QUrl(address));
    QTimer::singleShot(0, this, [this, urls] { open(urls); });
}

void ConverterAppDelegate::open(const QList<QUrl>& urls) {
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(url);
    }
    ConverterWindow::show(files);
}

bool ConverterAppDelegate::shouldTerminate() {
    ConverterModel& model = ConverterModel::shared();
    if (!model.isBusy())
        return true;
    QMessageBox alert(ConverterWindow::current());
    alert.setObjectName(QStringLiteral("quitAlert"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(MediaApp::name());
    alert.setText(QStringLiteral("Stop converting and quit?"));
    alert.setInformativeText(
        QStringLiteral("Files that are still converting won't be finished. Your originals aren't changed."));
    QPushButton* quit = alert.addButton(QStringLiteral("Quit"), QMessageBox::AcceptRole);
    quit->setObjectName(QStringLiteral("quitAlertQuit"));
    QPushButton* cancel = alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("quitAlertCancel"));
    alert.setDefaultButton(quit);
    alert.setEscapeButton(cancel);
    alert.exec();
    if (alert.clickedButton() != quit)
        return false;
    model.cancelAll();
    return true;
}

void ConverterAppDelegate::requestQuit() {
    if (m_quitting || !shouldTerminate())
        return;
    m_quitting = true;
    ConverterModel& model = ConverterModel::shared();
    if (!model.isBusy()) {
        quitNow();
        return;
    }
    // Stopped tools report back within moments; their partial outputs are deleted then. A
    // picture or document that cannot be stopped is not waited for beyond the limit.
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        timer->deleteLater();
        quitNow();
    });
    connect(&model, &ConverterModel::busyChanged, timer, [this, timer](bool busy) {
        if (busy)
            return;
        timer->deleteLater();
        quitNow();
    });
    timer->start(kStopWaitMs);
}

void ConverterAppDelegate::quitNow() {
    Log::flush();
    if (m_quit)
        m_quit();
}

void ConverterAppDelegate::setQuitForTesting(std::function<void()> quit) {
    m_quit = std::move(quit);
}

void ConverterAppDelegate::showSettings() {
    if (!m_settings) {
        m_settings = new QDialog;
        m_settings->setObjectName(QStringLiteral("settingsWindow"));
        m_settings->setWindowTitle(QStringLiteral("Settings"));
        auto* layout = new QVBoxLayout(m_settings);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new ConverterSettingsView(ConverterUpdates::shared(), m_settings));
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void ConverterAppDelegate::showAbout() {
    About::show(ConverterWindow::current());
}

void ConverterAppDelegate::installMenus(QMainWindow* window) {
    ConverterMenus::install(window, *this);
}
