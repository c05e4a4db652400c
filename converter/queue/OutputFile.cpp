#include "converter/queue/OutputFile.h"

#include "common/MediaApp.h"
#include "converter/ConverterEngine.h"
#include "converter/queue/ConversionJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Less room than this left after a failed write means the disk filled up.
constexpr unsigned long long kNearlyFull = 1024 * 1024;

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

int renameWithoutReplacing(const QString& from, const QString& to) {
    if (::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(),
                    RENAME_NOREPLACE) == 0)
        return 0;
    return errno;
}

bool nearlyFull(const QString& folder) {
    struct statvfs info {};
    if (::statvfs(encoded(folder).constData(), &info) != 0)
        return false;
    return (unsigned long long)info.f_bavail * info.f_frsize < kNearlyFull;
}

} // namespace

OutputFile::OutputFile(const QString& finalPath, Kind kind, ConvertControlPtr control,
                       ConversionJournal* journal)
    : m_kind(kind)
    , m_finalPath(finalPath)
    , m_control(std::move(control))
    , m_journal(journal ? journal : &ConversionJournal::shared()) {
    const QFileInfo info(finalPath);
    // Hidden, in the destination folder (so the final rename never crosses file systems).
    // Created exclusively; files get mode 0666 so the result has the user's usual permissions.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".part-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_journal->creating(candidate);
        int result = -1;
        if (kind == Kind::folder) {
            result = ::mkdir(encoded(candidate).constData(), 0777);
        } else {
            result = ::open(encoded(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (result >= 0)
                ::close(result);
        }
        const int error = errno;
        if (result >= 0) {
            m_temporaryPath = candidate;
            m_journal->created(candidate);
            return;
        }
        m_journal->finished(candidate);
        errno = error;
        if (errno != EEXIST)
            break;
    }
    m_errno = errno;
}

OutputFile::~OutputFile() {
    if (!m_committed)
        discard();
}

void OutputFile::discard() {
    if (m_temporaryPath.isEmpty())
        return;
    if (m_kind == Kind::folder) {
        for (const QString& file : std::as_const(m_created))
            ::unlink(encoded(file).constData());
        // Never recursive: anything else in there is not ours to delete.
        ::rmdir(encoded(m_temporaryPath).constData());
    } else {
        ::unlink(encoded(m_temporaryPath).constData());
    }
    m_journal->finished(m_temporaryPath);
    m_temporaryPath.clear();
}

QString OutputFile::createFile(const QString& name) {
    if (m_kind != Kind::folder || m_temporaryPath.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    const QString path = m_temporaryPath + QLatin1Char('/') + name;
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_errno = errno;
        return {};
    }
    ::close(fd);
    m_created.append(path);
    return path;
}

bool OutputFile::adopt(const QString& made) {
    if (m_kind != Kind::file || m_temporaryPath.isEmpty())
        return false;
    if (::rename(encoded(made).constData(), encoded(m_temporaryPath).constData()) != 0) {
        m_errno = errno;
        return false;
    }
    // The temporary name now holds another inode: record that one.
    m_journal->finished(m_temporaryPath);
    m_journal->created(m_temporaryPath);
    return true;
}

bool OutputFile::commit() {
    if (m_temporaryPath.isEmpty() || m_committed)
        return m_committed;
    if (m_control && m_control->isCancelled())
        return false;
    const bool isFolder = m_kind == Kind::folder;
    QString target = m_finalPath;
    for (int attempt = 0; attempt < 10000; ++attempt) {
        int error = 0;
        if (isFolder)
            error = moveFolderWithoutReplacing(target) ? 0 : m_errno;
        else
            error = renameWithoutReplacing(m_temporaryPath, target);
        if (error == EINVAL || error == ENOSYS) {
            // File systems without RENAME_NOREPLACE: link() fails as well when the name is taken.
            if (::link(encoded(m_temporaryPath).constData(), encoded(target).constData()) == 0) {
                ::unlink(encoded(m_temporaryPath).constData());
                error = 0;
            } else {
                error = errno;
            }
        }
        if (error == 0) {
            m_journal->finished(m_temporaryPath);
            if (target != m_finalPath)
                ConverterEngine::release(m_finalPath);
            m_finalPath = target;
            m_committed = true;
            if (m_control)
                m_control->setSaved(target);
            return true;
        }
        if (error != EEXIST && error != ENOTEMPTY) {
            m_errno = error;
            return false;
        }
        // Something appeared under the name while we converted: it stays, we take the next one.
        const QString next = ConverterEngine::nextOutputURL(target, isFolder);
        if (target != m_finalPath)
            ConverterEngine::release(target);
        target = next;
    }
    m_errno = EEXIST;
    return false;
}

bool OutputFile::moveFolderWithoutReplacing(const QString& to) {
    const int error = renameWithoutReplacing(m_temporaryPath, to);
    if (error != EINVAL && error != ENOSYS) {
        m_errno = error;
        return error == 0;
    }
    // No RENAME_NOREPLACE here: make the folder exclusively and move our files into it.
    if (::mkdir(encoded(to).constData(), 0777) != 0) {
        m_errno = errno;
        return false;
    }
    for (QString& file : m_created) {
        const QString moved = to + QLatin1Char('/') + QFileInfo(file).fileName();
        if (::link(encoded(file).constData(), encoded(moved).constData()) != 0) {
            m_errno = errno;
            return false;
        }
        ::unlink(encoded(file).constData());
        file = moved;
    }
    ::rmdir(encoded(m_temporaryPath).constData());
    m_errno = 0;
    return true;
}

ConvertError OutputFile::failure(const QString& fallback, int errnum) const {
    if (m_control && m_control->isCancelled())
        return ConvertError{ConvertControl::cancelledText()};
    const int error = errnum ? errnum : m_errno;
    if (error == ENOSPC || error == EDQUOT)
        return ConvertError{diskFullMessage()};
    if (error == EACCES || error == EPERM || error == EROFS)
        return ConvertError{notAllowedMessage()};
    // Writers (libvips, cairo, the office) often don't say why a write failed.
    if (nearlyFull(QFileInfo(m_finalPath).absolutePath()))
        return ConvertError{diskFullMessage()};
    return ConvertError{fallback};
}

QString OutputFile::diskFullMessage() {
    return QStringLiteral("The disk is full.");
}

QString OutputFile::notAllowedMessage() {
    return MediaApp::name() + QStringLiteral(" isn't allowed to save in that folder. Choose another folder.");
}
