#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The exact answers of the loopback stream server: content types, the head of a file answer and
// the two error answers. Pure functions without any framework; thread-safe.
namespace StreamResponse {

// By the file's extension, compared exactly: "m3u8" a playlist, "m4s" a media segment, anything
// else (the "init.mp4" initialization segment) MP4.
std::string contentType(std::string_view fileName);

// The inclusive span of a 206 answer and the file's whole length.
struct Span {
    std::uint64_t start = 0;
    std::uint64_t last = 0;
    std::uint64_t fileLength = 0;
};

// "HTTP/1.1 200 OK" or "206 Partial Content" (with `span`), Content-Type, Content-Length,
// Content-Range for 206, Accept-Ranges, Cache-Control, Connection and the empty line.
std::string head(std::string_view contentType, std::uint64_t bodyLength, const std::optional<Span>& span);

// 404 "Not Found" or 405 "Method Not Allowed", with no body.
std::string error(int code);

} // namespace StreamResponse
