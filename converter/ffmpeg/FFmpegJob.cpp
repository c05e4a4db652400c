#include "converter/ffmpeg/FFmpegJob.h"

#include "converter/ffmpeg/ChildProcess.h"
#include "converter/ffmpeg/FFmpeg.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kErrorTailLines = 6;
// Caps on what a chatty or broken tool can make us hold: a line without an end is dropped once
// it passes this size, and a kept error line is cut to a readable length.
constexpr qsizetype kMaxPendingLine = 64 * 1024;
constexpr qsizetype kMaxErrorLine = 1000;
// ffmpeg finishes its file on SIGTERM; one that does not react in time is killed.
constexpr int kTerminateGraceMs = 5000;

// libx265 writes its banner and statistics to the error output whatever ffmpeg's log level; they
// are not errors and would push the real ones out of the tail.
bool isEncoderChatter(const QString& line) {
    static const QRegularExpression chatter(
        QStringLiteral("^(x265 \\[(info|warning)\\]:|encoded \\d+ frames in )"));
    return chatter.match(line).hasMatch();
}

QStringList nonEmptyLines(const QByteArray& chunk) {
    return QString::fromUtf8(chunk).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Moves the complete lines of `pending` + `chunk` out and keeps the unfinished rest in `pending`.
QByteArray takeCompleteLines(QByteArray& pending, const QByteArray& chunk) {
    pending += chunk;
    const qsizetype end = pending.lastIndexOf('\n');
    QByteArray complete;
    if (end >= 0) {
        complete = pending.left(end + 1);
        pending.remove(0, end + 1);
    }
    if (pending.size() > kMaxPendingLine)
        pending.clear();
    return complete;
}

} // namespace

namespace FFmpeg {

Job::Job(QStringList arguments, double duration, double frames, Progress progress, Finished finished,
         QObject* parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_arguments(commonPrefix() + arguments)
    , m_duration(duration)
    , m_frames(frames)
    , m_progress(std::move(progress))
    , m_finished(std::move(finished)) {
    m_process->setProgram(FFmpeg::ffmpeg());
    m_process->setArguments(m_arguments);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    ChildProcess::dieWithParent(*m_process);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &Job::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &Job::readErrors);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        onFinished(exitCode, status == QProcess::CrashExit);
    });
}

Job::~Job() {
    // The owner let the job go: nothing may call back, and the tool must not run on unowned.
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
}

QStringList Job::commonPrefix() {
    return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-y"),
            QStringLiteral("-progress"),    QStringLiteral("pipe:1"),   QStringLiteral("-nostats"),
            QStringLiteral("-loglevel"),    QStringLiteral("error")};
}

std::optional<QString> Job::start() {
    if (m_started)
        return QStringLiteral("This conversion has already been started.");
    m_started = true;
    m_process->start(QIODevice::ReadOnly);
    if (!m_process->waitForStarted() && m_process->state() == QProcess::NotRunning) {
        const QString reason = m_process->errorString();
        // The launch failed: no callback may follow, whatever the process object reports later.
        m_process->disconnect(this);
        m_done = true;
        return reason.isEmpty() ? QStringLiteral("FFmpeg couldn't be started.") : reason;
    }
    // Cancelled before it started: run it only to end it at once, so the outcome is "Cancelled".
    if (m_cancelled)
        terminate();
    return std::nullopt;
}

void Job::cancel() {
    m_cancelled = true;
    if (isRunning())
        terminate();
}

bool Job::isRunning() const {
    return m_process->state() != QProcess::NotRunning;
}

void Job::terminate() {
    m_process->terminate();
    QTimer::singleShot(kTerminateGraceMs, m_process, [process = m_process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
}

double Job::parseProgress(const QByteArray& chunk, double level, double duration, double frames) {
    static const QString timeKey = QStringLiteral("out_time_us=");
    static const QString frameKey = QStringLiteral("frame=");
    double m = level;
    for (const QString& line : nonEmptyLines(chunk)) {
        if (line.startsWith(timeKey) && duration > 0) {
            bool ok = false;
            const double micros = line.mid(timeKey.size()).trimmed().toDouble(&ok);
            if (ok && std::isfinite(micros))
                m = std::max(m, micros / 1000000.0 / duration);
        } else if (line.startsWith(frameKey) && frames > 0) {
            bool ok = false;
            const double frame = line.mid(frameKey.size()).trimmed().toDouble(&ok);
            if (ok && std::isfinite(frame))
                m = std::max(m, frame / frames);
        }
    }
    return m;
}

void Job::readOutput() {
    const QByteArray lines = takeCompleteLines(m_pendingOutput, m_process->readAllStandardOutput());
    if (lines.isEmpty())
        return;
    const double m = parseProgress(lines, m_level, m_duration, m_frames);
    if (m <= m_level)
        return;
    m_level = std::min(m, 1.0);
    later([this, level = m_level] {
        if (m_progress && !m_done)
            m_progress(level);
    });
}

void Job::appendErrors(const QByteArray& lines) {
    for (QString line : nonEmptyLines(lines)) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || isEncoderChatter(line))
            continue;
        m_errorTail.append(line.left(kMaxErrorLine));
    }
    while (m_errorTail.size() > kErrorTailLines)
        m_errorTail.removeFirst();
}

void Job::readErrors() {
    appendErrors(takeCompleteLines(m_pendingErrors, m_process->readAllStandardError()));
}

void Job::later(std::function<void()> call) {
    QObject* receiver = QCoreApplication::instance();
    if (!receiver)
        return;
    QMetaObject::invokeMethod(
        receiver,
        [guard = QPointer<Job>(this), call = std::move(call)] {
            if (guard)
                call();
        },
        Qt::QueuedConnection);
}

void Job::onFinished(int exitCode, bool crashed) {
    // Whatever is still in the pipes came before the end.
    readOutput();
    readErrors();
    appendErrors(m_pendingErrors);
    m_pendingErrors.clear();

    std::optional<QString> failure;
    if (m_cancelled) {
        failure = QStringLiteral("Cancelled");
    } else if (exitCode != 0 || crashed) {
        // A tool killed by a signal is never a success, even where no exit code came with it.
        const int code = exitCode != 0 ? exitCode : 1;
        failure = m_errorTail.isEmpty() ? QStringLiteral("FFmpeg stopped with code %1.").arg(code)
                                        : m_errorTail.join(QLatin1Char('\n'));
    }
    // Queued after any pending progress call, and dropped with the job if the owner lets it go.
    later([this, failure] {
        if (m_done)
            return;
        m_done = true;
        const Finished finished = std::move(m_finished);
        m_finished = nullptr;
        // Last statement: the owner may delete the job in its callback.
        if (finished)
            finished(failure);
    });
}

} // namespace FFmpeg
