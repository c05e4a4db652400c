#include "media/server/StreamConnection.h"

#include "media/server/StreamRequest.h"

#include <algorithm>
#include <cerrno>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What one call of send() may write before it lets the other connections have their turn.
constexpr std::uint64_t kFairShare = 1024 * 1024;

} // namespace

StreamConnection::StreamConnection(int socket)
    : m_socket(socket)
    , m_lastActivity(Clock::now()) {}

StreamConnection::~StreamConnection() {
    if (m_file >= 0)
        ::close(m_file);
    ::close(m_socket);
}

StreamConnection::Received StreamConnection::receive() {
    char buffer[4096];
    while (true) {
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (got > 0) {
            m_lastActivity = Clock::now();
            m_input.append(buffer, static_cast<std::size_t>(got));
            if (StreamRequest::complete(m_input))
                return Received::request;
            if (m_input.size() > StreamRequest::kMaxRequestBytes)
                return Received::closed;
            continue;
        }
        if (got == 0) // The client closed its side: what it sent is all there is.
            return m_input.empty() ? Received::closed : Received::request;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Received::waiting;
        return Received::closed;
    }
}

void StreamConnection::reply(std::string head, int file, std::uint64_t offset, std::uint64_t length) {
    m_replying = true;
    m_head = std::move(head);
    m_headSent = 0;
    m_file = file;
    m_offset = offset;
    m_remaining = file >= 0 ? length : 0;
    m_lastActivity = Clock::now();
}

StreamConnection::Sent StreamConnection::send() {
    while (m_headSent < m_head.size()) {
        const int more = m_remaining > 0 ? MSG_MORE : 0;
        const ssize_t put =
            ::send(m_socket, m_head.data() + m_headSent, m_head.size() - m_headSent, MSG_NOSIGNAL | more);
        if (put > 0) {
            m_headSent += static_cast<std::size_t>(put);
            m_lastActivity = Clock::now();
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Sent::more;
        } else {
            return Sent::failed;
        }
    }
    std::uint64_t budget = kFairShare;
    while (m_remaining > 0) {
        if (budget == 0)
            return Sent::more;
        off_t offset = static_cast<off_t>(m_offset);
        const std::size_t chunk = static_cast<std::size_t>(std::min(m_remaining, budget));
        const ssize_t put = ::sendfile(m_socket, m_file, &offset, chunk);
        if (put > 0) {
            m_offset += static_cast<std::uint64_t>(put);
            m_remaining -= static_cast<std::uint64_t>(put);
            budget -= std::min(budget, static_cast<std::uint64_t>(put));
            m_lastActivity = Clock::now();
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Sent::more;
        } else {
            // 0 means the file shrank under us: the promised length can no longer be kept.
            return Sent::failed;
        }
    }
    return Sent::done;
}

void StreamConnection::finish() {
    char buffer[4096];
    while (::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
    ::shutdown(m_socket, SHUT_WR);
}
