#include "mediaserver/MediaServerTokens.h"

#include "common/Paths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MediaServerTokens {

namespace {

const QString kFileName = QStringLiteral("Media Server Tokens.json");
const QString kLockName = QStringLiteral(".Media Server Tokens.lock");

QMutex& processLock() {
    static QMutex lock;
    return lock;
}

QString folder() {
    return Paths::applicationSupport();
}

// The advisory lock other processes of the suite take around the token file. Without a folder
// (nothing written yet) a reader needs no lock: there is no file to read half of.
class FileLock {
public:
    FileLock(int operation, bool create) {
        const QByteArray path = QFile::encodeName(folder() + QLatin1Char('/') + kLockName);
        m_fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, operation) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

QJsonObject readObject() {
    QFile in(file());
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll());
    return document.isObject() ? document.object() : QJsonObject();
}

// Creates the missing folders one by one, each private to the user; folders that exist keep
// their permissions.
void makeFolder(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    QStringList missing;
    for (QString at = clean; !at.isEmpty() && !QFileInfo::exists(at); at = QFileInfo(at).path()) {
        missing.prepend(at);
        if (at == QFileInfo(at).path())
            break;
    }
    for (const QString& at : missing)
        ::mkdir(QFile::encodeName(at).constData(), 0700);
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QString file() {
    return folder() + QLatin1Char('/') + kFileName;
}

std::optional<QString> get(const QString& id) {
    QMutexLocker locker(&processLock());
    FileLock shared(LOCK_SH, false);
    const QJsonValue value = readObject().value(id);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

bool set(const std::optional<QString>& token, const QString& id) {
    QMutexLocker locker(&processLock());
    makeFolder(folder());
    FileLock exclusive(LOCK_EX, true);

    QJsonObject object = readObject();
    if (token)
        object.insert(id, *token);
    else
        object.remove(id);
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);

    const QString temporary =
        folder() + QStringLiteral("/.tokens-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray temporaryPath = QFile::encodeName(temporary);
    const int fd =
        ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    // The token must be on disk before the name points at it, or a crash could leave an empty file.
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temporaryPath.constData());
        return false;
    }
    if (::rename(temporaryPath.constData(), QFile::encodeName(file()).constData()) != 0) {
        ::unlink(temporaryPath.constData());
        return false;
    }
    return true;
}

} // namespace MediaServerTokens
