#include "converter/ConverterEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>

namespace {

// Output locations handed out and not yet released. Shared by the queue and the background
// conversions; the lock keeps two conversions from choosing the same name before either file
// exists.
QMutex reservedLock;
QSet<QString>& reserved() {
    static QSet<QString> set;
    return set;
}

QString standardized(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool existsOnDisk(const QString& path) {
    // A dangling symbolic link still occupies the name.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

namespace ConverterEngine {

QString candidateName(const QString& base, const QString& ext, bool isFolder, int n) {
    QString suffix;
    if (n == 1)
        suffix = QStringLiteral(" (converted)");
    else if (n >= 2)
        suffix = QStringLiteral(" (converted %1)").arg(n);
    return isFolder ? base + suffix + QStringLiteral(" pages") : base + suffix + QLatin1Char('.') + ext;
}

QString outputURL(const QString& source, const ConvertTarget& target, const QString& folder, bool isFolder) {
    const QFileInfo sourceInfo(source);
    const QString destination = folder.isEmpty() ? sourceInfo.absolutePath() : standardized(folder);
    // completeBaseName keeps "archive.tar" of "archive.tar.gz" as the base, like dropping the
    // last extension only.
    const QString base = sourceInfo.completeBaseName();
    const QString sourcePath = standardized(source);

    QMutexLocker locker(&reservedLock);
    for (int n = 0;; ++n) {
        const QString candidate =
            standardized(destination + QLatin1Char('/') + candidateName(base, target.ext, isFolder, n));
        if (existsOnDisk(candidate) || candidate == sourcePath || reserved().contains(candidate))
            continue;
        reserved().insert(candidate);
        return candidate;
    }
}

QString nextOutputURL(const QString& taken, bool isFolder) {
    const QFileInfo info(taken);
    QString stem = isFolder ? info.fileName() : info.completeBaseName();
    const QString ext = isFolder ? QString() : info.suffix();
    if (isFolder && stem.endsWith(QStringLiteral(" pages")))
        stem.chop(6);
    // "clip", "clip (converted)" or "clip (converted 7)": carry on from the number it has.
    static const QRegularExpression numbered(QStringLiteral("^(.*) \\(converted(?: (\\d+))?\\)$"));
    QString base = stem;
    int n = 0;
    if (const QRegularExpressionMatch match = numbered.match(stem); match.hasMatch()) {
        base = match.captured(1);
        n = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
    }
    QMutexLocker locker(&reservedLock);
    for (++n;; ++n) {
        const QString candidate =
            standardized(info.absolutePath() + QLatin1Char('/') + candidateName(base, ext, isFolder, n));
        if (existsOnDisk(candidate) || reserved().contains(candidate))
            continue;
        reserved().insert(candidate);
        return candidate;
    }
}

void release(const QString& path) {
    QMutexLocker locker(&reservedLock);
    reserved().remove(standardized(path));
}

QString uniqueURL(const QString& path) {
    if (!existsOnDisk(path))
        return path;
    const QFileInfo info(path);
    const QString folder = info.path();
    const QString base = info.completeBaseName();
    const QString ext = info.suffix();
    for (int i = 2;; ++i) {
        QString name = base + QLatin1Char(' ') + QString::number(i);
        if (!ext.isEmpty())
            name += QLatin1Char('.') + ext;
        const QString candidate = folder + QLatin1Char('/') + name;
        if (!existsOnDisk(candidate))
            return candidate;
    }
}

} // namespace ConverterEngine
