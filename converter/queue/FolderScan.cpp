#include "converter/queue/FolderScan.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>

namespace {

QString standardized(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Folders the desktop shows as one file (application and document bundles): their insides are
// not the user's files.
bool isPackage(const QFileInfo& info) {
    static const QSet<QString> packages{
        QStringLiteral("app"),           QStringLiteral("bundle"),        QStringLiteral("framework"),
        QStringLiteral("plugin"),        QStringLiteral("photoslibrary"), QStringLiteral("fcpbundle"),
        QStringLiteral("imovielibrary"), QStringLiteral("rtfd"),          QStringLiteral("pages"),
        QStringLiteral("numbers"),       QStringLiteral("key"),           QStringLiteral("xcodeproj")};
    return packages.contains(info.suffix().toLower());
}

// Regular files at depth 1 and 2 under `folder`, in name order, hidden entries and packages left
// out; symbolic links to folders are not followed.
void walk(const QString& folder, int depth, QStringList& files) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(QLatin1Char('.')))
            continue;
        if (entry.isDir()) {
            if (depth < 2 && !entry.isSymLink() && !isPackage(entry))
                walk(entry.absoluteFilePath(), depth + 1, files);
        } else if (entry.isFile()) {
            files.append(standardized(entry.absoluteFilePath()));
        }
    }
}

} // namespace

namespace FolderScan {

QStringList expand(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        if (info.isDir())
            walk(info.absoluteFilePath(), 1, files);
        else if (info.isFile()) // not a pipe or a device: reading one to decide its kind could block
            files.append(standardized(path));
    }
    return files;
}

Result scan(const QStringList& paths) {
    static const QMimeDatabase database;
    Result result;
    for (const QString& path : expand(paths)) {
        const std::optional<ConvertKind> kind = ConvertKind::of(path);
        if (!kind) {
            ++result.skipped;
            continue;
        }
        const QMimeType type = database.mimeTypeForFile(path);
        result.files.append(File{path, *kind, std::max<qint64>(0, QFileInfo(path).size()), type.iconName(),
                                 type.genericIconName()});
    }
    return result;
}

} // namespace FolderScan
