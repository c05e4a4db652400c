#pragma once

#include "converter/catalogue/ConvertError.h"
#include "converter/documents/DocumentProtocol.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <variant>

class QProcess;
class QThread;
class QTimer;

// The client of the office worker (quorvane-document-worker), which converts documents with
// LibreOffice in a process of its own. One application-wide instance, `shared()`, living on a
// thread of its own that owns the worker process: the worker starts with the first request, stays
// warm for the next ones, quits after some idle minutes and dies with the application. Requests
// from any number of threads queue and run one after another.
//
// A crash, a hang past the request's time limit (which grows with the input's size) or a worker
// that cannot start fails only the request at hand; the next one starts a fresh worker. Nothing
// of the office ever runs inside this process.
class DocumentEngine : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString input;  // absolute path; read only
        QString output; // absolute path in a private folder; the worker creates it
        // The office's export format: pdf, docx, doc, odt, rtf, html, txt.
        QString format;
        QString filterOptions;
        // Web pages: turn the document into a plain text document first (in `folder`, private).
        bool normalize = false;
        QString folder;
        // With `normalize`: the paper and margins, in points, to give the document (0 = keep).
        double paperWidth = 0;
        double paperHeight = 0;
        double margin = 0;
        qint64 inputSize = 0;
    };

    static DocumentEngine& shared();

    // Blocking; call from any thread except the engine's own. Fails with a plain-language text.
    ConvertResult convert(const Request& request);
    // The desktop's sans-serif family as the worker's office sees it; starts the worker if needed.
    // Blocking, like `convert`; an error when the worker cannot start.
    std::variant<QString, ConvertError> sansSerifFamily();

    // The time a request may take: a minute plus half a minute per megabyte, at most ten.
    static int timeLimit(qint64 inputBytes);
    // How long an idle worker stays.
    static constexpr int kIdleMs = 5 * 60 * 1000;

    // Stops the worker and the engine's thread; later requests fail at once. Called when the
    // application object goes away. Any thread but the engine's.
    void shutDown();

    // For tests: the running worker's process id (0 when none), and shorter limits.
    qint64 workerProcessId() const { return m_workerPid.load(); }
    void setTimeLimitForTesting(int ms) { m_timeLimitOverride.store(ms); }
    void setIdleTimeForTesting(int ms) { m_idleOverride.store(ms); }

    // The user-facing texts.
    static QString unreadableMessage();
    static QString officeMissingMessage();
    static QString workerMissingMessage();

private:
    struct Job;

    DocumentEngine();
    std::variant<QString, ConvertError> submit(const std::shared_ptr<Job>& job);
    // Everything below runs on the engine's thread.
    void enqueue(const std::shared_ptr<Job>& job);
    void pump();
    void startWorker();
    void readAnswers();
    void workerEnded();
    // afterExit: the worker said it quits; wait for it (briefly), then kill.
    enum class Stop { politely, afterExit, kill };
    void discardWorker(Stop how);
    void finishCurrent(const ConvertResult& result);
    void failHead(const ConvertError& error);
    void stopOnThread();

    QThread* m_thread = nullptr;
    QProcess* m_process = nullptr;
    QTimer* m_jobTimer = nullptr;
    QTimer* m_startTimer = nullptr;
    QTimer* m_idleTimer = nullptr;
    enum class State { none, starting, ready } m_state = State::none;
    DocumentProtocol::Reader m_reader;
    QString m_family;
    std::deque<std::shared_ptr<Job>> m_queue;
    std::shared_ptr<Job> m_current;
    quint64 m_nextId = 1;
    bool m_stopped = false;
    std::atomic<qint64> m_workerPid{0};
    std::atomic<int> m_timeLimitOverride{0};
    std::atomic<int> m_idleOverride{0};
    std::atomic<bool> m_shutDown{false};
};
