#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QProcess;

namespace FFmpeg {

// One running `ffmpeg` child process: progress from its "-progress pipe:1" lines, the last six
// lines of its error output, cancellation, and exactly one `finished` call on the main thread:
// none on success, "Cancelled" after `cancel`, else the tool's error lines or
// "FFmpeg stopped with code N.". Destroying the job first (the owner let it go) kills the process
// and suppresses every callback. Main thread only. The process never outlives the application.
class Job : public QObject {
    Q_OBJECT

public:
    using Progress = std::function<void(double fraction)>;
    using Finished = std::function<void(std::optional<QString> failure)>;

    // `arguments` follow the common prefix; `duration` (seconds) and `frames` scale the progress
    // lines, 0 when unknown. Prepares the process but does not launch it.
    Job(QStringList arguments, double duration, double frames, Progress progress, Finished finished,
        QObject* parent = nullptr);
    ~Job() override;

    // The arguments every job puts before the caller's.
    static QStringList commonPrefix();

    // Launches the process. On failure returns the reason (and no callback will ever come). A
    // job starts once; a job cancelled before its start ends at once with "Cancelled".
    std::optional<QString> start();
    void cancel();
    bool isRunning() const;
    bool cancelled() const { return m_cancelled; }
    QStringList errorTail() const { return m_errorTail; }
    // Highest progress fraction reported so far.
    double progressLevel() const { return m_level; }

    // Parses one chunk of progress output into the new level (pure; for tests).
    static double parseProgress(const QByteArray& chunk, double level, double duration, double frames);

private:
    void readOutput();
    void readErrors();
    void appendErrors(const QByteArray& lines);
    void onFinished(int exitCode, bool crashed);
    void terminate();
    // Runs `call` on the main thread's next turn if this job still exists then. The receiver is
    // the application, so an owner may delete the job inside a callback.
    void later(std::function<void()> call);

    QProcess* m_process = nullptr;
    QStringList m_arguments;
    double m_duration = 0;
    double m_frames = 0;
    double m_level = 0;
    bool m_started = false;
    bool m_cancelled = false;
    bool m_done = false;
    QStringList m_errorTail;
    // The unfinished last line of each pipe, joined with the next chunk (capped).
    QByteArray m_pendingOutput;
    QByteArray m_pendingErrors;
    Progress m_progress;
    Finished m_finished;
};

} // namespace FFmpeg
