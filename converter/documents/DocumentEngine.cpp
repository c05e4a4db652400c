#include "converter/documents/DocumentEngine.h"

#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/Paths.h"
#include "converter/ffmpeg/ChildProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <future>
#include <mutex>

namespace {

// Where Debian's LibreOffice keeps the program folder that LibreOfficeKit loads.
const QString kOfficeFolder = QStringLiteral("/usr/lib/libreoffice/program");
const QString kWorkerName = QStringLiteral("quorvane-document-worker");
// A first start builds the office's profile, which takes several seconds on a busy machine.
constexpr int kStartLimitMs = 180 * 1000;

DocumentEngine* g_engine = nullptr;

void shutDownAtExit() {
    if (g_engine)
        g_engine->shutDown();
}

} // namespace

struct DocumentEngine::Job {
    enum class Kind { convert, family };
    Kind kind = Kind::convert;
    DocumentProtocol::Message message;
    int timeLimitMs = 0;
    std::promise<std::variant<QString, ConvertError>> promise;
    bool done = false;

    void finish(std::variant<QString, ConvertError> value) {
        if (done)
            return;
        done = true;
        promise.set_value(std::move(value));
    }
};

DocumentEngine& DocumentEngine::shared() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_engine = new DocumentEngine();
        qAddPostRoutine(shutDownAtExit);
    });
    return *g_engine;
}

DocumentEngine::DocumentEngine() {
    m_thread = new QThread();
    m_thread->setObjectName(QStringLiteral("DocumentEngine"));
    m_jobTimer = new QTimer(this);
    m_startTimer = new QTimer(this);
    m_idleTimer = new QTimer(this);
    for (QTimer* timer : {m_jobTimer, m_startTimer, m_idleTimer})
        timer->setSingleShot(true);
    connect(m_jobTimer, &QTimer::timeout, this, [this] {
        Log::info(Log::Area::app,
                  QStringLiteral("Converter: the document worker did not answer in time; stopping it"));
        finishCurrent(ConvertError{unreadableMessage()});
        discardWorker(Stop::kill);
        pump();
    });
    connect(m_startTimer, &QTimer::timeout, this, [this] {
        Log::info(Log::Area::app, QStringLiteral("Converter: the document worker did not start in time"));
        discardWorker(Stop::kill);
        failHead(ConvertError{unreadableMessage()});
        pump();
    });
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_current || !m_queue.empty() || !m_process)
            return;
        Log::info(Log::Area::app, QStringLiteral("Converter: the document worker was idle; stopping it"));
        discardWorker(Stop::politely);
    });
    moveToThread(m_thread);
    m_thread->start();
}

QString DocumentEngine::unreadableMessage() {
    return QStringLiteral(
        "This document couldn't be read. Supported: Word (.docx, .doc), OpenDocument, RTF, HTML, "
        "Markdown and plain text.");
}

QString DocumentEngine::officeMissingMessage() {
    return QStringLiteral("Documents need LibreOffice Writer to convert. Install the package "
                          "\u201Clibreoffice-writer-nogui\u201D (or LibreOffice Writer) and try again.");
}

QString DocumentEngine::workerMissingMessage() {
    return QStringLiteral("The document converter is missing from %1. Reinstall %1.").arg(MediaApp::name());
}

int DocumentEngine::timeLimit(qint64 inputBytes) {
    const qint64 limit = 60'000 + std::max<qint64>(0, inputBytes) * 30'000 / (1024 * 1024);
    return int(std::min<qint64>(limit, 600'000));
}

ConvertResult DocumentEngine::convert(const Request& request) {
    auto job = std::make_shared<Job>();
    job->kind = Job::Kind::convert;
    job->message.kind = std::string(DocumentProtocol::kConvert);
    job->message.set("input", request.input.toStdString())
        .set("output", request.output.toStdString())
        .set("format", request.format.toStdString())
        .set("folder", request.folder.toStdString());
    if (!request.filterOptions.isEmpty())
        job->message.set("filterOptions", request.filterOptions.toStdString());
    if (request.normalize) {
        job->message.set("normalize", "1");
        if (request.paperWidth > 0 && request.paperHeight > 0) {
            job->message.set("paperWidth", QString::number(request.paperWidth, 'f', 2).toStdString())
                .set("paperHeight", QString::number(request.paperHeight, 'f', 2).toStdString())
                .set("margin", QString::number(request.margin, 'f', 2).toStdString());
        }
    }
    const int overrideMs = m_timeLimitOverride.load();
    job->timeLimitMs = overrideMs > 0 ? overrideMs : timeLimit(request.inputSize);
    const auto answer = submit(job);
    if (const auto* error = std::get_if<ConvertError>(&answer))
        return *error;
    return std::nullopt;
}

std::variant<QString, ConvertError> DocumentEngine::sansSerifFamily() {
    auto job = std::make_shared<Job>();
    job->kind = Job::Kind::family;
    return submit(job);
}

std::variant<QString, ConvertError> DocumentEngine::submit(const std::shared_ptr<Job>& job) {
    Q_ASSERT(QThread::currentThread() != m_thread);
    auto future = job->promise.get_future();
    if (m_shutDown.load())
        return ConvertError{unreadableMessage()};
    QMetaObject::invokeMethod(
        this, [this, job] { enqueue(job); }, Qt::QueuedConnection);
    // The engine answers every job; after a shutdown nothing may be left to answer it.
    while (future.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
        if (m_shutDown.load() && !m_thread->isRunning())
            return ConvertError{unreadableMessage()};
    }
    return future.get();
}

void DocumentEngine::enqueue(const std::shared_ptr<Job>& job) {
    if (m_stopped) {
        job->finish(ConvertError{unreadableMessage()});
        return;
    }
    m_queue.push_back(job);
    pump();
}

void DocumentEngine::pump() {
    if (m_current || m_stopped)
        return;
    if (m_queue.empty()) {
        if (m_process) {
            const int idle = m_idleOverride.load();
            m_idleTimer->start(idle > 0 ? idle : kIdleMs);
        }
        return;
    }
    m_idleTimer->stop();
    if (m_state == State::none) {
        startWorker();
        return;
    }
    if (m_state == State::starting)
        return;
    while (!m_queue.empty() && m_queue.front()->kind == Job::Kind::family) {
        m_queue.front()->finish(m_family);
        m_queue.pop_front();
    }
    if (m_queue.empty()) {
        pump();
        return;
    }
    m_current = m_queue.front();
    m_queue.pop_front();
    m_current->message.set("id", std::to_string(m_nextId++));
    const std::string bytes = DocumentProtocol::encode(m_current->message);
    m_process->write(bytes.data(), qint64(bytes.size()));
    m_jobTimer->start(m_current->timeLimitMs);
}

void DocumentEngine::startWorker() {
    const QString program = Paths::helpers() + QLatin1Char('/') + kWorkerName;
    if (!QFileInfo(program).isExecutable()) {
        Log::info(Log::Area::app, QStringLiteral("Converter: the document worker is missing"));
        failHead(ConvertError{workerMissingMessage()});
        // Every waiting document would fail the same way.
        while (!m_queue.empty())
            failHead(ConvertError{workerMissingMessage()});
        return;
    }
    m_process = new QProcess(this);
    m_process->setProgram(program);
    // QC_OFFICE_FOLDER: an office installed elsewhere (and the tests' missing office).
    const QString office = qEnvironmentVariableIsSet("QC_OFFICE_FOLDER")
                               ? qEnvironmentVariable("QC_OFFICE_FOLDER")
                               : kOfficeFolder;
    // QC_OFFICE_PROFILES: where the office keeps its profile (the tests share one across processes).
    const QString profiles = qEnvironmentVariableIsSet("QC_OFFICE_PROFILES")
                                 ? qEnvironmentVariable("QC_OFFICE_PROFILES")
                                 : Paths::applicationCache() + QStringLiteral("/office");
    m_process->setArguments({QStringLiteral("--office"), office, QStringLiteral("--profiles"), profiles});
    if (qEnvironmentVariableIsSet("QC_DOCUMENT_WORKER_STDERR"))
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    else
        m_process->setStandardErrorFile(QProcess::nullDevice());
    ChildProcess::dieWithParent(*m_process, ChildProcess::Priority::normal);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &DocumentEngine::readAnswers);
    connect(m_process, &QProcess::finished, this, &DocumentEngine::workerEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            workerEnded();
    });
    m_reader = DocumentProtocol::Reader();
    m_state = State::starting;
    m_startTimer->start(kStartLimitMs);
    m_process->start(QIODevice::ReadWrite);
    m_workerPid.store(m_process->processId());
}

void DocumentEngine::readAnswers() {
    if (!m_process)
        return;
    const QByteArray bytes = m_process->readAllStandardOutput();
    m_reader.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    while (auto message = m_reader.next()) {
        if (message->kind == DocumentProtocol::kReady && m_state == State::starting) {
            m_startTimer->stop();
            m_state = State::ready;
            m_family = QString::fromStdString(message->value("sans").value_or("DejaVu Sans"));
            Log::info(Log::Area::app, QStringLiteral("Converter: document worker ready"));
            pump();
        } else if (message->kind == DocumentProtocol::kFailed) {
            const bool missing = message->value("reason") == "missing";
            Log::info(Log::Area::app, missing ? QStringLiteral("Converter: LibreOffice is not installed")
                                              : QStringLiteral("Converter: LibreOffice could not start"));
            discardWorker(Stop::politely);
            const ConvertError error{missing ? officeMissingMessage() : unreadableMessage()};
            failHead(error);
            // Without an office every waiting document fails the same way, so spare the restarts.
            if (missing) {
                while (!m_queue.empty())
                    failHead(error);
            }
            pump();
            return;
        } else if ((message->kind == DocumentProtocol::kOk || message->kind == DocumentProtocol::kError) &&
                   m_current && message->value("id") == m_current->message.value("id")) {
            m_jobTimer->stop();
            if (message->kind == DocumentProtocol::kOk) {
                finishCurrent(std::nullopt);
            } else {
                const QString reason = QString::fromStdString(message->value("reason").value_or(""));
                Log::info(
                    Log::Area::app,
                    QStringLiteral("Converter: the office could not convert a document (%1)").arg(reason));
                if (reason != QLatin1String("save"))
                    finishCurrent(ConvertError{unreadableMessage()});
                else if (m_current->message.value("format") == "pdf")
                    finishCurrent(ConvertError{QStringLiteral("The PDF couldn't be made.")});
                else
                    finishCurrent(ConvertError{QStringLiteral("The document couldn't be saved.")});
            }
            // The worker quits after this answer; let it end before a fresh one takes the profile.
            if (message->value("restart") == "1") {
                discardWorker(Stop::afterExit);
                pump();
                return;
            }
            pump();
        }
        if (!m_process)
            return;
    }
    if (m_reader.malformed()) {
        Log::info(Log::Area::app, QStringLiteral("Converter: the document worker sent garbage; stopping it"));
        finishCurrent(ConvertError{unreadableMessage()});
        discardWorker(Stop::kill);
        pump();
    }
}

void DocumentEngine::workerEnded() {
    if (!m_process)
        return;
    const bool starting = m_state == State::starting;
    const bool failedToStart = m_process->error() == QProcess::FailedToStart;
    Log::info(Log::Area::app, QStringLiteral("Converter: the document worker ended unexpectedly"));
    discardWorker(Stop::kill);
    if (m_current)
        finishCurrent(ConvertError{unreadableMessage()});
    else if (starting)
        failHead(ConvertError{failedToStart ? workerMissingMessage() : unreadableMessage()});
    pump();
}

void DocumentEngine::discardWorker(Stop how) {
    m_startTimer->stop();
    m_jobTimer->stop();
    m_idleTimer->stop();
    m_state = State::none;
    m_workerPid.store(0);
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    if (how == Stop::afterExit && !process->waitForFinished(10000))
        how = Stop::kill;
    if (process->state() != QProcess::NotRunning && how == Stop::kill) {
        // A hung worker holds the office profile; free it before a fresh worker wants it.
        process->kill();
        process->waitForFinished(2000);
    }
    if (process->state() != QProcess::NotRunning) {
        // A polite quit lets the office close its profile; a hung worker gets killed.
        const std::string quit = DocumentProtocol::encode({std::string(DocumentProtocol::kQuit), {}});
        process->write(quit.data(), qint64(quit.size()));
        process->closeWriteChannel();
        if (!process->waitForFinished(m_stopped ? 3000 : 0)) {
            connect(process, &QProcess::finished, process, &QObject::deleteLater);
            QTimer::singleShot(5000, process, [process] { process->kill(); });
            return;
        }
    }
    process->deleteLater();
}

void DocumentEngine::finishCurrent(const ConvertResult& result) {
    if (!m_current)
        return;
    m_jobTimer->stop();
    std::shared_ptr<Job> job = std::move(m_current);
    m_current.reset();
    if (result)
        job->finish(*result);
    else
        job->finish(QString());
}

void DocumentEngine::failHead(const ConvertError& error) {
    if (m_queue.empty())
        return;
    std::shared_ptr<Job> job = m_queue.front();
    m_queue.pop_front();
    job->finish(error);
}

void DocumentEngine::shutDown() {
    if (m_shutDown.exchange(true))
        return;
    if (QThread::currentThread() == m_thread) {
        stopOnThread();
        return;
    }
    if (m_thread->isRunning())
        QMetaObject::invokeMethod(
            this, [this] { stopOnThread(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void DocumentEngine::stopOnThread() {
    m_stopped = true;
    finishCurrent(ConvertError{unreadableMessage()});
    while (!m_queue.empty())
        failHead(ConvertError{unreadableMessage()});
    if (m_process) {
        QProcess* process = m_process;
        discardWorker(Stop::politely);
        // discardWorker waited up to three seconds; whatever is left is killed with the thread.
        if (process && process->state() != QProcess::NotRunning)
            process->kill();
    }
}
