#pragma once

#include "network/sftp/SFTPResult.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

#include <functional>

// One running `sftp` batch process. Lives on the thread that created it (normally the main
// thread), which needs an event loop: the process is started and read there without ever
// blocking, both outputs drained as they arrive so neither pipe can fill up. `done` is called
// exactly once, from the event loop, with standard output or the failure; then the operation
// deletes itself. Its parent (the caller's context) owns it: destroying the parent first kills
// the process and calls nothing.
class SFTPOperation : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const SFTPResult<QString>&)>;

    struct Launch {
        QString program;
        QStringList arguments;
        QProcessEnvironment environment;
        QByteArray standardInput;
    };

    // Starts the process now.
    SFTPOperation(const Launch& launch, Handler done, QObject* parent);
    // Starts nothing and reports `failure` on the next turn of the event loop.
    SFTPOperation(const SFTPError& failure, Handler done, QObject* parent);
    ~SFTPOperation() override;

    // Kills the process (and the ssh it started) and reports a cancelled error. Does nothing
    // once the operation has finished.
    void cancel();
    bool isFinished() const { return m_finished; }
    // The process id while it runs, else 0 (for tests that inspect the child).
    qint64 processId() const;

private:
    void readOutput();
    void readError();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void finish(const SFTPResult<QString>& result);
    void killGroup();

    QProcess* m_process = nullptr;
    Handler m_done;
    QByteArray m_output;
    QByteArray m_error;
    bool m_finished = false;
};
