#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The loopback stream server's reading of one HTTP request: bytes in, a request to serve or a
// refusal out. Pure functions without any framework, so that tests and the fuzzer reach them
// directly. Thread-safe.
namespace StreamRequest {

// The most a request may take; anything longer is refused.
inline constexpr std::size_t kMaxRequestBytes = 16384;

enum class Method { get, head };

// What the Range header asked for, before the file's length is known.
struct RangeSpec {
    enum class Form {
        // "bytes=S-E" and the Part-compatible readings of malformed values ("bytes=-" is 0 to end).
        span,
        // "bytes=-N": the last N bytes.
        suffix,
        // Several ranges ("bytes=0-1,5-9"): served as the whole file.
        several
    };
    Form form = Form::span;
    std::uint64_t start = 0;
    // The given end (inclusive), none for "to the end of the file".
    std::optional<std::uint64_t> end;
    // The byte count of a suffix range.
    std::uint64_t suffixLength = 0;
};

struct Request {
    Method method = Method::get;
    // The path below the cache folder, after the secret: decoded components, none empty, none "."
    // or "..", none holding a NUL byte.
    std::vector<std::string> components;
    std::optional<RangeSpec> range;
};

enum class Refusal {
    // Not UTF-8, or not a request at all: the connection is closed without an answer.
    close,
    methodNotAllowed, // 405
    notFound          // 404
};

using Parsed = std::variant<Request, Refusal>;

// Whether `bytes` hold a whole request head (up to the empty line).
bool complete(std::string_view bytes);

// Reads one request addressed to `secret` (the per-launch path component).
Parsed parse(std::string_view bytes, std::string_view secret);

// The inclusive byte span to send for `range` of a file of `length` bytes, or none for the whole
// file (no usable range: past the end, end before start, several ranges, an empty file).
std::optional<std::pair<std::uint64_t, std::uint64_t>> resolve(const std::optional<RangeSpec>& range,
                                                               std::uint64_t length);

// The pieces parse() is made of.
bool validUtf8(std::string_view bytes);
// Percent-decoding; none for a broken escape or a result that is not UTF-8.
std::optional<std::string> percentDecode(std::string_view text);
// The value after "bytes=" as a range; "bytes=" itself stripped by the caller.
RangeSpec parseRange(std::string_view value);

} // namespace StreamRequest
