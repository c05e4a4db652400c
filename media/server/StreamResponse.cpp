#include "media/server/StreamResponse.h"

namespace StreamResponse {

std::string contentType(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string_view ext =
        dot == std::string_view::npos ? std::string_view() : fileName.substr(dot + 1);
    if (ext == "m3u8")
        return "application/vnd.apple.mpegurl";
    if (ext == "m4s")
        return "video/iso.segment";
    return "video/mp4";
}

std::string head(std::string_view contentType, std::uint64_t bodyLength, const std::optional<Span>& span) {
    std::string text = span ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    text += "Content-Type: ";
    text += contentType;
    text += "\r\nContent-Length: " + std::to_string(bodyLength) + "\r\n";
    if (span)
        text += "Content-Range: bytes " + std::to_string(span->start) + "-" + std::to_string(span->last) +
                "/" + std::to_string(span->fileLength) + "\r\n";
    text += "Accept-Ranges: bytes\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
    return text;
}

std::string error(int code) {
    const char* reason = code == 405 ? "Method Not Allowed" : "Not Found";
    return "HTTP/1.1 " + std::to_string(code == 405 ? 405 : 404) + " " + reason +
           "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

} // namespace StreamResponse
