#include "network/sftp/SFTPOperation.h"

#include "network/sftp/SFTPCommand.h"

#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

// A listing of a huge folder is a few megabytes; anything past this is not a listing.
constexpr qsizetype kOutputCap = 64 * 1024 * 1024;
// Only the end of standard error decides the message.
constexpr qsizetype kErrorCap = 256 * 1024;

} // namespace

SFTPOperation::SFTPOperation(const Launch& launch, Handler done, QObject* parent)
    : QObject(parent)
    , m_done(std::move(done)) {
    m_process = new QProcess(this);
    m_process->setProgram(launch.program);
    m_process->setArguments(launch.arguments);
    m_process->setProcessEnvironment(launch.environment);
    // Its own process group, so that a cancel also ends the ssh that sftp starts.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &SFTPOperation::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &SFTPOperation::readError);
    connect(m_process, &QProcess::finished, this, &SFTPOperation::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(SFTPError{m_process->errorString()});
    });
    m_process->start(QIODevice::ReadWrite);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->write(launch.standardInput);
        m_process->closeWriteChannel();
    }
}

SFTPOperation::SFTPOperation(const SFTPError& failure, Handler done, QObject* parent)
    : QObject(parent)
    , m_done(std::move(done)) {
    finish(failure);
}

SFTPOperation::~SFTPOperation() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        killGroup();
    }
}

qint64 SFTPOperation::processId() const {
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

void SFTPOperation::cancel() {
    if (m_finished)
        return;
    if (m_process)
        m_process->disconnect(this);
    killGroup();
    finish(SFTPError{QStringLiteral("Cancelled."), true});
}

void SFTPOperation::killGroup() {
    if (!m_process)
        return;
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    m_process->kill();
}

void SFTPOperation::readOutput() {
    m_output += m_process->readAllStandardOutput();
    if (m_output.size() > kOutputCap) {
        m_process->disconnect(this);
        killGroup();
        finish(SFTPError{QStringLiteral("The server's answer was too long.")});
    }
}

void SFTPOperation::readError() {
    m_error += m_process->readAllStandardError();
    if (m_error.size() > kErrorCap)
        m_error = m_error.right(kErrorCap);
}

void SFTPOperation::processFinished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    readError();
    if (m_finished)
        return;
    if (status == QProcess::NormalExit && exitCode == 0)
        finish(QString::fromUtf8(m_output));
    else
        finish(SFTPError{SFTPCommand::message(QString::fromUtf8(m_error))});
}

void SFTPOperation::finish(const SFTPResult<QString>& result) {
    if (m_finished)
        return;
    m_finished = true;
    // Reported from an event of our own rather than inside QProcess's signal, so the handler
    // may delete our parent (and with it this operation and its process).
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            Handler done = std::move(m_done);
            deleteLater();
            if (done)
                done(result);
        },
        Qt::QueuedConnection);
}
