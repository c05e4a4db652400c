#include "media/server/StreamResponse.h"

#include <gtest/gtest.h>

TEST(StreamResponseTest, contentTypesByExtension) {
    const std::pair<const char*, const char*> rows[] = {
        {"index.m3u8", "application/vnd.apple.mpegurl"},
        {"seg00001.m4s", "video/iso.segment"},
        {"init.mp4", "video/mp4"},
        {"INDEX.M3U8", "video/mp4"},
        {"noextension", "video/mp4"},
    };
    for (const auto& [name, type] : rows)
        EXPECT_EQ(StreamResponse::contentType(name), type) << name;
}

TEST(StreamResponseTest, headsAndErrors) {
    EXPECT_EQ(StreamResponse::head("video/mp4", 1000, std::nullopt),
              "HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: 1000\r\nAccept-Ranges: bytes\r\n"
              "Cache-Control: no-cache\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StreamResponse::head("video/iso.segment", 2, StreamResponse::Span{0, 1, 1000}),
              "HTTP/1.1 206 Partial Content\r\nContent-Type: video/iso.segment\r\nContent-Length: 2\r\n"
              "Content-Range: bytes 0-1/1000\r\nAccept-Ranges: bytes\r\nCache-Control: no-cache\r\n"
              "Connection: close\r\n\r\n");
    EXPECT_EQ(StreamResponse::error(404),
              "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StreamResponse::error(405),
              "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}
