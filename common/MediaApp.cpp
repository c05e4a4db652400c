#include "common/MediaApp.h"

#include <QReadWriteLock>

namespace {

struct Identity {
    QString identifier;
    QString name;
    QString shortVersion;
    QString build;
};

QReadWriteLock identityLock;
Identity identity;

} // namespace

namespace MediaApp {

void declare(const QString& identifier, const QString& bundleName, const QString& shortVersion,
             const QString& build) {
    QWriteLocker locker(&identityLock);
    identity = {identifier, bundleName, shortVersion, build};
}

QString identifier() {
    QReadLocker locker(&identityLock);
    return identity.identifier;
}

bool isHalcyrin() {
    const QString id = identifier();
    return !id.isEmpty() && id == halcyrinID;
}

QString name() {
    QReadLocker locker(&identityLock);
    return identity.name.isEmpty() ? QStringLiteral("Halcyrin") : identity.name;
}

QString settingsPlace() {
    return isHalcyrin() ? QStringLiteral("Media") : QStringLiteral("Settings");
}

QString shortVersion() {
    QReadLocker locker(&identityLock);
    return identity.shortVersion;
}

QString build() {
    QReadLocker locker(&identityLock);
    return identity.build;
}

} // namespace MediaApp
