#include "converter/queue/ConversionJournal.h"

#include "common/Log.h"
#include "common/Paths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSuffix = QStringLiteral(".journal");

QString folderOrDefault(const QString& folder) {
    return folder.isEmpty() ? Paths::applicationCache() : folder;
}

bool identify(const QString& path, quint64& device, quint64& inode) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    device = quint64(info.st_dev);
    inode = quint64(info.st_ino);
    return true;
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

// Removes a recorded temporary file, or a recorded temporary folder with what is inside it (only
// our pages are ever written there), when the path still holds the recorded one.
bool removeIfSame(const QString& path, quint64 device, quint64 inode) {
    quint64 foundDevice = 0;
    quint64 foundInode = 0;
    if (!identify(path, foundDevice, foundInode) || foundDevice != device || foundInode != inode)
        return false;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

// The office worker keeps a private profile in "temp-*" folders of its profiles folder, each with
// a "lock" file its worker holds; a free lock means the worker has ended.
QStringList removeEndedOfficeProfiles(const QString& profiles) {
    QStringList removed;
    const QFileInfoList folders = QDir(profiles).entryInfoList(
        {QStringLiteral("temp-*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& folder : folders) {
        if (folder.isSymLink())
            continue;
        const QByteArray lockPath = QFile::encodeName(folder.absoluteFilePath() + QStringLiteral("/lock"));
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            if (!free)
                continue;
        } else if (folder.lastModified().secsTo(QDateTime::currentDateTime()) < 60) {
            continue; // a worker may be creating it right now
        }
        if (QDir(folder.absoluteFilePath()).removeRecursively())
            removed.append(folder.absoluteFilePath());
    }
    return removed;
}

// A path recorded only as about to be created: removed only while it is an empty file or an
// empty folder, which is all a crash at that moment can have left.
bool removeIfEmpty(const QString& path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0)
        return false;
    if (S_ISREG(info.st_mode) && info.st_size == 0)
        return ::unlink(name.constData()) == 0;
    if (S_ISDIR(info.st_mode))
        return ::rmdir(name.constData()) == 0;
    return false;
}

} // namespace

ConversionJournal::ConversionJournal(const QString& folder)
    : m_folder(folderOrDefault(folder)) {}

ConversionJournal::~ConversionJournal() {
    QMutexLocker locker(&m_lock);
    close();
}

ConversionJournal& ConversionJournal::shared() {
    static ConversionJournal journal;
    return journal;
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

void ConversionJournal::append(const QString& action, const QString& path, const Identity& identity) {
    if (!open())
        return;
    // One JSON array per line keeps any character a file name may hold. Device and inode are
    // written as text: they may not fit a JSON number exactly.
    const QJsonArray entry{action, path, QString::number(identity.device), QString::number(identity.inode)};
    m_file->write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    m_file->flush();
}

void ConversionJournal::creating(const QString& path) {
    if (path.isEmpty())
        return;
    QMutexLocker locker(&m_lock);
    m_unfinished.insert(path, Identity{});
    append(QStringLiteral("P"), path, Identity{});
}

void ConversionJournal::created(const QString& path) {
    Identity identity;
    if (path.isEmpty() || !identify(path, identity.device, identity.inode))
        return;
    QMutexLocker locker(&m_lock);
    m_unfinished.insert(path, identity);
    append(QStringLiteral("C"), path, identity);
}

void ConversionJournal::finished(const QString& path) {
    QMutexLocker locker(&m_lock);
    const auto found = m_unfinished.constFind(path);
    if (found == m_unfinished.constEnd())
        return;
    if (found->device == 0 && found->inode == 0) { // never created
        m_unfinished.erase(found);
        if (m_unfinished.isEmpty())
            close();
        return;
    }
    append(QStringLiteral("F"), path, *found);
    m_unfinished.erase(found);
    if (m_unfinished.isEmpty())
        close();
}

QSet<QString> ConversionJournal::unfinished() const {
    QMutexLocker locker(&m_lock);
    QSet<QString> paths;
    for (auto it = m_unfinished.begin(); it != m_unfinished.end(); ++it)
        paths.insert(it.key());
    return paths;
}

void ConversionJournal::close() {
    if (!m_file)
        return;
    // Every entry is finished (or the owner is going away cleanly): nothing to recover.
    m_file->remove();
    m_file.reset();
}

QStringList ConversionJournal::recover(const QString& folder) {
    const QString root = folderOrDefault(folder);
    const QDir dir(root);
    QStringList removed;
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

        struct Entry {
            QString path;
            quint64 device = 0;
            quint64 inode = 0;
        };
        QList<Entry> order;
        QSet<QString> open;
        while (!file.atEnd()) {
            const QJsonArray entry = QJsonDocument::fromJson(file.readLine()).array();
            // Lines of an older journal (path only) and lines cut short by the crash are skipped:
            // without an identity nothing proves the path still holds what we wrote.
            if (entry.size() != 4)
                continue;
            const QString action = entry.at(0).toString();
            const QString target = entry.at(1).toString();
            bool deviceOk = false;
            bool inodeOk = false;
            const quint64 device = entry.at(2).toString().toULongLong(&deviceOk);
            const quint64 inode = entry.at(3).toString().toULongLong(&inodeOk);
            if (target.isEmpty() || !deviceOk || !inodeOk)
                continue;
            if (action == QLatin1String("C") || action == QLatin1String("P")) {
                open.insert(target);
                // The identity, once known, replaces the intent.
                order.erase(std::remove_if(order.begin(), order.end(),
                                           [&target](const Entry& known) { return known.path == target; }),
                            order.end());
                order.append(Entry{target, device, inode});
            } else if (action == QLatin1String("F")) {
                open.remove(target);
            }
        }
        for (const Entry& entry : order) {
            if (!open.remove(entry.path))
                continue;
            const bool gone = entry.device == 0 && entry.inode == 0
                                  ? removeIfEmpty(entry.path)
                                  : removeIfSame(entry.path, entry.device, entry.inode);
            if (gone)
                removed.append(entry.path);
        }
        file.remove();
    }
    if (folder.isEmpty())
        removed += removeEndedOfficeProfiles(root + QStringLiteral("/office"));
    if (!removed.isEmpty())
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: removed %1 unfinished output(s) left by an earlier run")
                      .arg(removed.size()));
    return removed;
}
