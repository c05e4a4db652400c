#include "media/server/LocalStreamServer.h"

#include "common/Paths.h"
#include "media/server/StreamConnection.h"
#include "media/server/StreamRequest.h"
#include "media/server/StreamResponse.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kSweepMs = 250;

// The answer to one request: the head to send and, for a GET of a file, what to send of it.
struct Reply {
    std::string head;
    int file = -1;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

std::optional<Reply> answer(const std::string& bytes, const std::string& secret, const std::string& root) {
    const StreamRequest::Parsed parsed = StreamRequest::parse(bytes, secret);
    if (const auto* refusal = std::get_if<StreamRequest::Refusal>(&parsed)) {
        switch (*refusal) {
        case StreamRequest::Refusal::close:
            return std::nullopt;
        case StreamRequest::Refusal::methodNotAllowed:
            return Reply{StreamResponse::error(405)};
        case StreamRequest::Refusal::notFound:
            return Reply{StreamResponse::error(404)};
        }
    }
    const auto& request = std::get<StreamRequest::Request>(parsed);
    std::string path = root;
    for (const std::string& component : request.components)
        path += "/" + component;

    // Links are resolved first and the result must still lie below the root, so a link in the
    // cache cannot lead out of it.
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return Reply{StreamResponse::error(404)};
    const std::string real = resolved;
    if (real.size() <= root.size() + 1 || real.compare(0, root.size() + 1, root + "/") != 0)
        return Reply{StreamResponse::error(404)};
    // The resolved path holds no links; O_NOFOLLOW keeps a link swapped in since then out.
    const int file = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (file < 0)
        return Reply{StreamResponse::error(404)};
    struct stat info {};
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        return Reply{StreamResponse::error(404)};
    }
    const auto length = static_cast<std::uint64_t>(info.st_size);
    const std::string type = StreamResponse::contentType(real.substr(real.rfind('/') + 1));
    Reply reply;
    std::optional<StreamResponse::Span> span;
    if (const auto range = StreamRequest::resolve(request.range, length)) {
        span = StreamResponse::Span{range->first, range->second, length};
        reply.offset = range->first;
        reply.length = range->second - range->first + 1;
    } else {
        reply.length = length;
    }
    reply.head = StreamResponse::head(type, reply.length, span);
    if (request.method == StreamRequest::Method::get && reply.length > 0)
        reply.file = file;
    else
        ::close(file);
    return reply;
}

} // namespace

// The server thread's state: the listener, the wake-up descriptor and the connections.
class LocalStreamServer::Loop {
public:
    Loop(int listener, int wake, std::string secret, std::string root, const Options& options,
         std::atomic<std::uint16_t>& port, std::atomic<int>& count)
        : m_listener(listener)
        , m_wake(wake)
        , m_secret(std::move(secret))
        , m_root(std::move(root))
        , m_idle(options.idleTimeoutMs)
        , m_max(static_cast<std::size_t>(options.maxConnections))
        , m_port(port)
        , m_count(count) {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        watch(m_listener, EPOLLIN);
        watch(m_wake, EPOLLIN);
    }

    ~Loop() {
        m_connections.clear();
        m_count = 0;
        ::close(m_epoll);
        ::close(m_listener);
        ::close(m_wake);
    }

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }

    void run() {
        pthread_setname_np(pthread_self(), "Halcyrin.Stream");
        // sendfile(2) to a socket the client has closed raises SIGPIPE; it is only an error here.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

        epoll_event events[64];
        auto lastSweep = StreamConnection::Clock::now();
        while (true) {
            const int ready = ::epoll_wait(m_epoll, events, 64, kSweepMs);
            if (ready < 0 && errno != EINTR)
                break;
            for (int i = 0; i < ready; ++i) {
                const int fd = events[i].data.fd;
                if (fd == m_wake)
                    return;
                if (fd == m_listener) {
                    if (events[i].events & (EPOLLERR | EPOLLHUP)) {
                        m_port = 0;
                        return;
                    }
                    accept();
                } else {
                    serve(fd);
                }
            }
            const auto now = StreamConnection::Clock::now();
            if (now - lastSweep >= std::chrono::milliseconds(kSweepMs)) {
                lastSweep = now;
                sweep(now);
            }
        }
        m_port = 0;
    }

private:
    void watch(int fd, std::uint32_t events) {
        epoll_event event{};
        event.events = events;
        event.data.fd = fd;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }

    void accept() {
        while (true) {
            const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (socket < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return; // EAGAIN, or out of descriptors: the backlog keeps the rest
            }
            if (m_connections.size() >= m_max && !displaceOldestReader()) {
                ::close(socket);
                continue;
            }
            watch(socket, EPOLLIN | EPOLLRDHUP);
            m_connections.emplace(socket, std::make_unique<StreamConnection>(socket));
            m_count = static_cast<int>(m_connections.size());
        }
    }

    // Makes room by closing the connection that has waited longest without a whole request.
    bool displaceOldestReader() {
        auto oldest = m_connections.end();
        for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
            if (!it->second->replying() && (oldest == m_connections.end() ||
                                            it->second->lastActivity() < oldest->second->lastActivity()))
                oldest = it;
        if (oldest == m_connections.end())
            return false;
        drop(oldest->first);
        return true;
    }

    void serve(int fd) {
        const auto found = m_connections.find(fd);
        if (found == m_connections.end())
            return;
        StreamConnection& connection = *found->second;
        if (!connection.replying()) {
            switch (connection.receive()) {
            case StreamConnection::Received::waiting:
                return;
            case StreamConnection::Received::closed:
                drop(fd);
                return;
            case StreamConnection::Received::request:
                break;
            }
            std::optional<Reply> reply = answer(connection.received(), m_secret, m_root);
            if (!reply) {
                drop(fd);
                return;
            }
            connection.reply(std::move(reply->head), reply->file, reply->offset, reply->length);
            epoll_event event{};
            event.events = EPOLLOUT;
            event.data.fd = fd;
            ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
        }
        switch (connection.send()) {
        case StreamConnection::Sent::more:
            return;
        case StreamConnection::Sent::done:
            connection.finish();
            drop(fd);
            return;
        case StreamConnection::Sent::failed:
            drop(fd);
            return;
        }
    }

    void sweep(StreamConnection::Clock::time_point now) {
        std::vector<int> idle;
        for (const auto& [fd, connection] : m_connections)
            if (now - connection->lastActivity() >= m_idle)
                idle.push_back(fd);
        for (const int fd : idle)
            drop(fd);
    }

    void drop(int fd) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        m_connections.erase(fd);
        m_count = static_cast<int>(m_connections.size());
    }

    int m_epoll = -1;
    int m_listener;
    int m_wake;
    std::string m_secret;
    std::string m_root;
    std::chrono::milliseconds m_idle;
    std::size_t m_max;
    std::atomic<std::uint16_t>& m_port;
    std::atomic<int>& m_count;
    std::map<int, std::unique_ptr<StreamConnection>> m_connections;
};

LocalStreamServer::LocalStreamServer(Options options)
    : m_options(std::move(options))
    , m_secret(QUuid::createUuid().toString(QUuid::WithoutBraces).toLower()) {}

LocalStreamServer::~LocalStreamServer() {
    std::lock_guard lock(m_mutex);
    stop();
}

LocalStreamServer& LocalStreamServer::shared() {
    static LocalStreamServer server(Options{Paths::playbackCache()});
    return server;
}

QString LocalStreamServer::root() const {
    std::lock_guard lock(m_mutex);
    return m_root;
}

void LocalStreamServer::stop() {
    if (m_loop)
        m_loop->wake();
    if (m_thread.joinable())
        m_thread.join();
    m_loop.reset();
    m_port = 0;
}

bool LocalStreamServer::start() {
    std::lock_guard lock(m_mutex);
    if (m_loop && m_port != 0)
        return true;
    // A listener that failed left its thread ended; start afresh on a new port.
    stop();

    QDir().mkpath(m_options.root);
    m_root = QFileInfo(m_options.root).canonicalFilePath();
    if (m_root.isEmpty())
        return false;

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return false;
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 512) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(listener);
        return false;
    }
    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(listener);
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_loop = std::make_unique<Loop>(listener, wake, m_secret.toStdString(), m_root.toStdString(), m_options,
                                    m_port, m_connections);
    m_thread = std::thread([loop = m_loop.get()] { loop->run(); });
    return m_port != 0;
}

std::optional<QUrl> LocalStreamServer::url(const QString& file) {
    if (!start())
        return std::nullopt;
    const QFileInfo info(file);
    QString path = info.canonicalFilePath();
    if (path.isEmpty()) {
        // A file that does not exist yet: its folder's real path and its name.
        const QString folder = info.absoluteDir().canonicalPath();
        path = folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                                : folder + QLatin1Char('/') + info.fileName();
    }
    const QString base = root() + QLatin1Char('/');
    if (!path.startsWith(base) || path.size() == base.size())
        return std::nullopt;
    const QString relative = path.mid(base.size());
    const QByteArray encoded = QUrl::toPercentEncoding(relative, "/!$&'()*+,;=:@");
    return QUrl(
        QStringLiteral("http://127.0.0.1:%1/%2/%3").arg(port()).arg(m_secret, QString::fromLatin1(encoded)));
}
