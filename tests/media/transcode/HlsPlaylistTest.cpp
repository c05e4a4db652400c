#include "media/transcode/HlsPlaylist.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(HlsPlaylistTest, availableSecondsAndSegments) {
    const struct {
        const char* text;
        double seconds;
        int segments;
    } rows[] = {
        {"#EXTM3U\n#EXTINF:4.000000,\nseg00000.m4s\n#EXTINF:4.000000,\nseg00001.m4s\n#EXTINF:4.000000,"
         "\nseg00002.m4s\n",
         12.0, 3},
        {"#EXTM3U\n\n#EXTINF:4.5,\na\n\n#EXTINF:oops,\nb\n#EXTINF:1.25\nc\n", 5.75, 3},
        {"#EXTM3U\r\n#EXTINF:2.000000,\r\na\r\n", 2.0, 1},
        {"#EXTM3U\n#EXT-X-TARGETDURATION:4\n", 0.0, 0},
        {"", 0.0, 0},
        {"#EXTINF:-3,\nx\n#EXTINF:nan,\ny\n", 0.0, 2},
    };
    for (const auto& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        EXPECT_DOUBLE_EQ(HlsPlaylist::available(text), row.seconds) << row.text;
        EXPECT_EQ(HlsPlaylist::segmentCount(text), row.segments) << row.text;
        EXPECT_FALSE(HlsPlaylist::finished(text));
    }
    const QString done = QStringLiteral("#EXTM3U\n#EXTINF:4.0,\na\n#EXT-X-ENDLIST\n");
    EXPECT_TRUE(HlsPlaylist::finished(done));
    EXPECT_TRUE(std::isinf(HlsPlaylist::available(done)));
}
