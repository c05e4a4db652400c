#include "converter/queue/ConversionJournal.h"

#include "common/Log.h"
#include "common/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <sys/file.h>
#include <sys/stat.h>

namespace {

const QString kSuffix = QStringLiteral(".journal");

QString folderOrDefault(const QString& folder) {
    return folder.isEmpty() ? Paths::applicationCache() : folder;
}

bool existsOnDisk(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Whether `fd` is still the file at `path` (another recovering process may have removed it and a
// new journal may have taken the name).
bool sameFile(int fd, const QString& path) {
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace

ConversionJournal::ConversionJournal(const QString& folder)
    : m_folder(folderOrDefault(folder)) {}

ConversionJournal::~ConversionJournal() {
    close();
}

bool ConversionJournal::open() {
    if (m_file)
        return true;
    QDir().mkpath(m_folder);
    const QString name = QStringLiteral("conversions-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QUuid::createUuid().toString(QUuid::Id128));
    auto file = std::make_unique<QFile>(m_folder + QLatin1Char('/') + name + kSuffix);
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        Log::warning(Log::Area::app, QStringLiteral("Converter: could not open the conversion journal"));
        return false;
    }
    // Held for the life of this journal: a free lock tells `recover` the writer has ended.
    if (::flock(file->handle(), LOCK_EX | LOCK_NB) != 0) {
        file->remove();
        return false;
    }
    m_file = std::move(file);
    return true;
}

void ConversionJournal::append(char action, const QString& path) {
    if (!open())
        return;
    // One JSON array per line keeps any character a file name may hold.
    const QJsonArray entry{QString(QLatin1Char(action)), path};
    m_file->write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    m_file->flush();
}

void ConversionJournal::reserve(const QString& path) {
    if (path.isEmpty() || existsOnDisk(path) || m_unfinished.contains(path))
        return;
    m_unfinished.insert(path);
    append('R', path);
}

void ConversionJournal::finished(const QString& path) {
    if (!m_unfinished.remove(path))
        return;
    append('F', path);
    if (m_unfinished.isEmpty())
        close();
}

void ConversionJournal::close() {
    if (!m_file)
        return;
    // Every entry is finished (or the owner is going away cleanly): nothing to recover.
    m_file->remove();
    m_file.reset();
}

QStringList ConversionJournal::recover(const QString& folder) {
    const QDir dir(folderOrDefault(folder));
    QStringList deleted;
    const QStringList names = dir.entryList({QLatin1Char('*') + kSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (::flock(file.handle(), LOCK_EX | LOCK_NB) != 0)
            continue; // its process is still running
        if (!sameFile(file.handle(), path))
            continue;

        QStringList order;
        QSet<QString> open;
        while (!file.atEnd()) {
            const QJsonArray entry = QJsonDocument::fromJson(file.readLine()).array();
            if (entry.size() != 2)
                continue; // a line cut short by the crash
            const QString action = entry.at(0).toString();
            const QString target = entry.at(1).toString();
            if (target.isEmpty())
                continue;
            if (action == QLatin1String("R")) {
                open.insert(target);
                order.append(target);
            } else if (action == QLatin1String("F")) {
                open.remove(target);
            }
        }
        for (const QString& target : order) {
            if (!open.contains(target))
                continue;
            const QFileInfo info(target);
            bool removed = false;
            if (info.isDir() && !info.isSymLink())
                removed = QDir(target).removeRecursively();
            else if (existsOnDisk(target))
                removed = QFile::remove(target);
            if (removed)
                deleted.append(target);
        }
        file.remove();
    }
    if (!deleted.isEmpty())
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: removed %1 unfinished output(s) left by an earlier run")
                      .arg(deleted.size()));
    return deleted;
}
