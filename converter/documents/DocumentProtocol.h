#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The request/answer protocol between the application and its office worker process
// (quorvane-document-worker), shared by both sides. Plain C++ so that the worker needs no
// framework and a fuzzer reaches the parser directly. Pure functions; any thread.
//
// A message is a netstring ("<length>:<bytes>,") whose bytes are themselves netstrings: the
// message kind, then key and value pairs. Lengths are decimal, bounded, and paths or error texts
// may hold any byte, including line feeds.
namespace DocumentProtocol {

// Messages larger than this are refused as malformed: no request or answer comes near it.
inline constexpr std::size_t kMaxMessage = 1 << 20;

// Message kinds.
inline constexpr std::string_view kReady = "ready";     // worker → client: office loaded
inline constexpr std::string_view kFailed = "failed";   // worker → client: office unusable, worker exits
inline constexpr std::string_view kConvert = "convert"; // client → worker
inline constexpr std::string_view kOk = "ok";           // worker → client: output written
inline constexpr std::string_view kError = "error";     // worker → client: this request failed
inline constexpr std::string_view kQuit = "quit";       // client → worker

struct Message {
    std::string kind;
    std::vector<std::pair<std::string, std::string>> fields;

    // The value of the first field named `key`, or none.
    std::optional<std::string> value(std::string_view key) const;
    Message& set(std::string key, std::string value);

    bool operator==(const Message& other) const = default;
};

std::string encode(const Message& message);

enum class Status { incomplete, complete, malformed };

struct Decoded {
    Status status = Status::incomplete;
    Message message;
    // Bytes of the input that the message took (only for `complete`).
    std::size_t consumed = 0;
};

// Reads the first message of `bytes`. `incomplete` asks for more bytes; `malformed` means the
// stream cannot be trusted any more (the reader should drop the connection).
Decoded decode(std::string_view bytes);

// Accumulates a byte stream and hands out whole messages.
class Reader {
public:
    void append(std::string_view bytes) { m_buffer.append(bytes); }
    // The next whole message, or none when more bytes are needed or the stream is malformed.
    std::optional<Message> next();
    bool malformed() const { return m_malformed; }

private:
    std::string m_buffer;
    bool m_malformed = false;
};

} // namespace DocumentProtocol
