#include "app/ConverterService.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>

ConverterService& ConverterService::shared() {
    static ConverterService* instance = new ConverterService(qApp);
    return *instance;
}

ConverterService::ConverterService(QObject* parent)
    : QObject(parent) {}

bool ConverterService::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: no session bus, the file manager's convert action is off"));
        return false;
    }
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: can't offer the convert action: ") + bus.lastError().message());
        return false;
    }
    if (!bus.registerService(serviceName)) {
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: can't offer the convert action: ") + bus.lastError().message());
        bus.unregisterObject(objectPath);
        return false;
    }
    return true;
}

QList<QUrl> ConverterService::fileUrls(const QStringList& uris) {
    QList<QUrl> files;
    for (const QString& uri : uris) {
        QUrl url(uri);
        if (uri.startsWith(QLatin1Char('/')))
            url = QUrl::fromLocalFile(QDir::cleanPath(uri));
        if (url.isValid() && url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url);
    }
    return files;
}

void ConverterService::ConvertFiles(const QStringList& uris) {
    const QList<QUrl> files = fileUrls(uris);
    if (files.isEmpty())
        return;
    QMetaObject::invokeMethod(
        this, [this, files] { Q_EMIT convert(files); }, Qt::QueuedConnection);
}
