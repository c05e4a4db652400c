#include "common/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>

namespace {

QMutex overrideLock;
QString resourcesOverride;

QString xdg(const char* variable, const char* fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG base directory rules: a relative path is invalid and ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackUnderHome));
}

} // namespace

namespace Paths {

QString resources() {
    {
        QMutexLocker locker(&overrideLock);
        if (!resourcesOverride.isEmpty())
            return resourcesOverride;
    }
    const QString bin = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return QDir::cleanPath(bin + QStringLiteral("/../") + QStringLiteral(QC_SHARE_SUBDIR));
}

QString toolFolder() {
    return resources() + QStringLiteral("/ffmpeg");
}

QString helpers() {
    return QDir::cleanPath(resources() + QStringLiteral("/../../") + QStringLiteral(QC_LIBEXEC_SUBDIR));
}

QString configHome() {
    return xdg("XDG_CONFIG_HOME", ".config");
}
QString stateHome() {
    return xdg("XDG_STATE_HOME", ".local/state");
}
QString cacheHome() {
    return xdg("XDG_CACHE_HOME", ".cache");
}
QString dataHome() {
    return xdg("XDG_DATA_HOME", ".local/share");
}

QString logFolder() {
    return stateHome() + QStringLiteral("/Halcyrin/logs");
}
QString suiteCache() {
    return cacheHome() + QStringLiteral("/Halcyrin");
}
QString playbackCache() {
    return suiteCache() + QStringLiteral("/Playback");
}
QString thumbnailCache() {
    return suiteCache() + QStringLiteral("/Thumbnails");
}
QString applicationCache() {
    return cacheHome() + QStringLiteral("/QuorvaneConverter");
}
QString applicationSupport() {
    return dataHome() + QStringLiteral("/Halcyrin");
}

QString userFolder(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location);
}

void setResourcesForTesting(const QString& folder) {
    QMutexLocker locker(&overrideLock);
    resourcesOverride = folder;
}

} // namespace Paths
