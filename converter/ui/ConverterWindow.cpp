#include "converter/ui/ConverterWindow.h"

#include "common/UserDefaults.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterView.h"
#include "converter/ui/FileChooser.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace {

// The window's saved frame, under its autosave name.
const QString kFrameKey = QStringLiteral("fx.windowFrame.HalcyrinConverter");

QPointer<ConverterWindow>& live() {
    static QPointer<ConverterWindow> window;
    return window;
}

std::function<void(QMainWindow*)>& menuInstaller() {
    static std::function<void(QMainWindow*)> install;
    return install;
}

} // namespace

ConverterWindow::ConverterWindow() {
    setObjectName(QStringLiteral("converterWindow"));
    setWindowTitle(QStringLiteral("Converter"));
    setMinimumSize(600, 420);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_view = new ConverterView(ConverterModel::shared(), this);
    setCentralWidget(m_view);
    if (menuInstaller())
        menuInstaller()(this);
    restoreFrame();
}

ConverterWindow* ConverterWindow::current() {
    return live().data();
}

void ConverterWindow::show(const QList<QUrl>& adding) {
    QStringList paths;
    for (const QUrl& url : adding) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    }
    if (!paths.isEmpty())
        ConverterModel::shared().add(paths);
    if (!live())
        live() = new ConverterWindow;
    ConverterWindow* window = live();
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->QMainWindow::show();
    window->m_view->refresh();
    window->raise();
    window->activateWindow();
}

void ConverterWindow::chooseAndShow() {
    auto* chooser = new FileChooser(FileChooser::Mode::filesAndFolders, choosePanelMessage, live());
    QObject::connect(chooser, &FileChooser::chosen, chooser, [](const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        show(urls);
    });
    chooser->open();
    chooser->raise();
    chooser->activateWindow();
}

void ConverterWindow::setMenuInstaller(std::function<void(QMainWindow*)> install) {
    menuInstaller() = std::move(install);
}

void ConverterWindow::closeEvent(QCloseEvent* event) {
    saveFrame();
    ConverterModel::shared().clearFinished();
    // Hidden, not destroyed: the same window comes back at the same place.
    event->accept();
}

void ConverterWindow::saveFrame() {
    UserDefaults::media().setData(kFrameKey, saveGeometry());
}

void ConverterWindow::restoreFrame() {
    const QByteArray frame = UserDefaults::media().data(kFrameKey);
    if (!frame.isEmpty() && restoreGeometry(frame))
        return;
    resize(800, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        QRect frameRect(QPoint(0, 0), size().boundedTo(area.size()));
        frameRect.moveCenter(area.center());
        move(frameRect.topLeft());
    }
}
