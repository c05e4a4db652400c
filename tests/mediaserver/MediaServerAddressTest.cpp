#include "mediaserver/MediaServerAddress.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

using MediaServerRecords::Server;

Server server(const QString& host, qint64 port = 8642) {
    return {QStringLiteral("S1"), QStringLiteral("Living room"), host, port};
}

QUrl built(const MediaServerAddress::Built& result) {
    const auto* url = std::get_if<QUrl>(&result);
    EXPECT_TRUE(url) << (url ? "" : std::get<MediaServerError>(result).message.toStdString());
    return url ? *url : QUrl();
}

} // namespace

TEST(MediaServerAddressTest, BaseBracketsIPv6Hosts) {
    const struct {
        const char* host;
        qint64 port;
        const char* base;
    } cases[] = {
        {"fe80::1", 8642, "http://[fe80::1]:8642/"},
        {"192.168.1.20", 8642, "http://192.168.1.20:8642/"},
        {"media-pc.local", 9000, "http://media-pc.local:9000/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MediaServerAddress::base(server(QString::fromLatin1(c.host), c.port)),
                  QString::fromLatin1(c.base));
        const QUrl url =
            built(MediaServerAddress::url(server(QString::fromLatin1(c.host), c.port),
                                          QStringLiteral("api/libraries"), {}, QStringLiteral("x")));
        EXPECT_EQ(url.toString(), QString::fromLatin1(c.base) + QStringLiteral("api/libraries?t=x"));
    }
}

TEST(MediaServerAddressTest, QueryKeepsItsOrderWithTheTokenLast) {
    const QUrl url =
        built(MediaServerAddress::url(server(QStringLiteral("127.0.0.1")), QStringLiteral("api/browse"),
                                      {{QStringLiteral("lib"), QStringLiteral("movies")},
                                       {QStringLiteral("path"), QStringLiteral("Films")}},
                                      QStringLiteral("tok")));
    EXPECT_EQ(url.path(), QStringLiteral("/api/browse"));
    EXPECT_EQ(url.query(), QStringLiteral("lib=movies&path=Films&t=tok"));

    const QUrl empty = built(MediaServerAddress::url(server(QStringLiteral("127.0.0.1")),
                                                     QStringLiteral("api/libraries"), {}, QString()));
    EXPECT_EQ(empty.query(), QStringLiteral("t="));
}

TEST(MediaServerAddressTest, ValuesReachTheServerAsTheyAre) {
    const QString path = QStringLiteral("Films/Tom & Jerry + friends=1 #2 ? 100%/é.mkv");
    const QString token = QStringLiteral("a+b/c=d&e");
    const QUrl url =
        built(MediaServerAddress::url(server(QStringLiteral("127.0.0.1")), QStringLiteral("api/file"),
                                      {{QStringLiteral("path"), path}}, token));
    const QString wire = QString::fromLatin1(url.toEncoded());
    // A form decoder reads "+" as a space, so it must travel encoded.
    EXPECT_FALSE(url.query(QUrl::FullyEncoded).contains(QLatin1Char('+'))) << wire.toStdString();
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    const auto items = query.queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2) << wire.toStdString();
    EXPECT_EQ(items[0].second, path);
    EXPECT_EQ(items[1], qMakePair(QStringLiteral("t"), token));
}

TEST(MediaServerAddressTest, HostsFromWhichNoAddressCanBeFormedFailWithASentence) {
    const struct {
        const char* host;
        qint64 port;
    } cases[] = {
        {"", 8642},       {"my media pc", 8642}, {" ", 8642},   {"evil.example/x", 8642}, {"user@evil", 8642},
        {"host?x", 8642}, {"host#x", 8642},      {"a:b", 8642}, {"[fe80::1]", 8642},      {"tab\there", 8642},
        {"host", 0},      {"host", 70000},       {"host", -1},  {"fe80::1", 65536},
    };
    for (const auto& c : cases) {
        const auto result =
            MediaServerAddress::url(server(QString::fromUtf8(c.host), c.port),
                                    QStringLiteral("api/libraries"), {}, QStringLiteral("tok"));
        const auto* error = std::get_if<MediaServerError>(&result);
        ASSERT_TRUE(error) << c.host << ":" << c.port;
        EXPECT_EQ(error->kind, MediaServerError::Kind::address);
        EXPECT_TRUE(error->message.endsWith(QLatin1Char('.')));
        EXPECT_FALSE(error->message.contains(QStringLiteral("tok")));
    }
}

TEST(MediaServerAddressTest, KindFromTheServersWord) {
    EXPECT_EQ(MediaServerAddress::kind(QStringLiteral("image")), PlayerMediaKind::image);
    EXPECT_EQ(MediaServerAddress::kind(QStringLiteral("audio")), PlayerMediaKind::audio);
    for (const char* other : {"video", "", "Audio", "movie"})
        EXPECT_EQ(MediaServerAddress::kind(QString::fromLatin1(other)), PlayerMediaKind::video) << other;
}

TEST(MediaServerAddressTest, EntryPicksTheStreamByConvert) {
    for (const bool convert : {true, false}) {
        const auto result = MediaServerAddress::entry(
            server(QStringLiteral("fe80::1")), QStringLiteral("music"), QStringLiteral("Albums/song.flac"),
            QStringLiteral("song.flac"), PlayerMediaKind::audio, convert, QStringLiteral("tok"));
        const auto* entry = std::get_if<MediaEntry>(&result);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->url.path(), convert ? QStringLiteral("/api/hls") : QStringLiteral("/api/file"));
        EXPECT_EQ(entry->url.host(), QStringLiteral("fe80::1"));
        EXPECT_EQ(QUrlQuery(entry->url).queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded),
                  QStringLiteral("Albums/song.flac"));
        EXPECT_EQ(entry->name, QStringLiteral("song.flac"));
        EXPECT_EQ(entry->kind, PlayerMediaKind::audio);
        EXPECT_FALSE(entry->local);
        EXPECT_EQ(entry->key, QStringLiteral("S1:music:Albums/song.flac"));
        EXPECT_EQ(entry->origin, MediaOrigin::server(QStringLiteral("S1"), QStringLiteral("music"),
                                                     QStringLiteral("Albums/song.flac"), convert));
    }
}
