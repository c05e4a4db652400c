#pragma once

#include <QString>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// A minimal HTTP/1.1 file server on 127.0.0.1 that gives the player the playback cache's HLS
// playlists and segments. It serves files only below its root folder and only under a random
// first path component (`secret`) made once per instance, answers one GET or HEAD per connection
// and closes it. The listener and all connections run on the server's own thread
// ("Halcyrin.LocalStreamServer"): non-blocking sockets, a bounded number of connections, files
// sent with sendfile(2), and a connection idle for the timeout closed. url() may be called from
// any thread; it never waits for a request to be served. The instance owns its thread, which the
// destructor stops and joins.
class LocalStreamServer {
public:
    struct Options {
        // The folder whose files are served: the playback cache for the shared instance.
        QString root;
        // A connection that neither sends nor takes bytes for this long is closed.
        int idleTimeoutMs = 10000;
        // Open connections at most; a newcomer beyond it displaces the oldest one still sending
        // its request, or is closed when every connection is being answered.
        int maxConnections = 256;
    };

    explicit LocalStreamServer(Options options);
    ~LocalStreamServer();
    LocalStreamServer(const LocalStreamServer&) = delete;
    LocalStreamServer& operator=(const LocalStreamServer&) = delete;

    // The application's one server, serving the playback cache; starts on first use.
    static LocalStreamServer& shared();

    // "http://127.0.0.1:<port>/<secret>/<path below root, percent-encoded>" for a file below the
    // root; starts the server if needed. None when it cannot listen or the file lies elsewhere.
    std::optional<QUrl> url(const QString& file);

    // Listens if not yet listening; true when listening.
    bool start();

    // 0 while not listening.
    std::uint16_t port() const { return m_port.load(); }
    // A lower-case canonical UUID, the same for the instance's whole life.
    QString secret() const { return m_secret; }
    // The root, standardized with links resolved (created if missing).
    QString root() const;
    // Open connections right now (for tests and diagnostics).
    int connectionCount() const { return m_connections.load(); }

private:
    class Loop;

    void stop();

    Options m_options;
    QString m_secret;
    mutable std::mutex m_mutex;
    QString m_root;
    std::atomic<std::uint16_t> m_port{0};
    std::atomic<int> m_connections{0};
    std::unique_ptr<Loop> m_loop;
    std::thread m_thread;
};
