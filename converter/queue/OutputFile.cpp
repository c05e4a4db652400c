#include "converter/queue/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

OutputFile::OutputFile(const QString& finalPath)
    : m_finalPath(finalPath) {
    const QFileInfo info(finalPath);
    // Hidden, in the same folder (so the final rename never crosses file systems). Created with
    // O_EXCL and mode 0666 so the finished file gets the user's usual permissions (umask).
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".part-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd =
            ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_temporaryPath = candidate;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    m_error = QString::fromLocal8Bit(std::strerror(errno));
}

OutputFile::~OutputFile() {
    if (!m_committed && !m_temporaryPath.isEmpty())
        ::unlink(QFile::encodeName(m_temporaryPath).constData());
}

bool OutputFile::commit() {
    if (m_temporaryPath.isEmpty())
        return false;
    const QByteArray from = QFile::encodeName(m_temporaryPath);
    const QByteArray to = QFile::encodeName(m_finalPath);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        m_committed = true;
        return true;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        // File systems without RENAME_NOREPLACE: link() fails as well when the name is taken.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            m_committed = true;
            return true;
        }
    }
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
