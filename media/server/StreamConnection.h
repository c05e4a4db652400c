#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// One accepted connection of the loopback stream server: reads a request head without blocking,
// then sends the answer's head and the file's bytes straight from the file with sendfile(2), so
// a large file never passes through our memory. Owns the socket and the file descriptor and
// closes both. Used only on the server's thread.
class StreamConnection {
public:
    using Clock = std::chrono::steady_clock;

    enum class Received {
        waiting, // the head is not complete yet
        request, // received() holds a whole head (or all the client sent before closing its side)
        closed   // the peer went away, an error, or a request larger than allowed
    };
    enum class Sent {
        more, // wait until the socket takes more
        done, // everything sent
        failed
    };

    explicit StreamConnection(int socket);
    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    int socket() const { return m_socket; }
    bool replying() const { return m_replying; }
    Clock::time_point lastActivity() const { return m_lastActivity; }

    Received receive();
    const std::string& received() const { return m_input; }

    // Starts the answer: `head`, then `length` bytes of `file` from `offset`. Takes `file` (-1
    // for none).
    void reply(std::string head, int file, std::uint64_t offset, std::uint64_t length);
    // Sends what the socket takes, at most a fair share per call so that one large answer does
    // not starve the others.
    Sent send();
    // Discards unread input and ends our side, so that the peer reads the whole answer instead
    // of a reset.
    void finish();

private:
    int m_socket;
    int m_file = -1;
    bool m_replying = false;
    std::string m_input;
    std::string m_head;
    std::size_t m_headSent = 0;
    std::uint64_t m_offset = 0;
    std::uint64_t m_remaining = 0;
    Clock::time_point m_lastActivity;
};
