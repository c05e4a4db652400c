#include "media/server/LocalStreamServer.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// 1000 bytes whose every byte says where it is.
QByteArray segmentBytes() {
    QByteArray bytes(1000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

int connectTo(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return fd;
}

// Sends `bytes` on a fresh connection and reads until the server closes it (or 5 s pass).
QByteArray exchange(std::uint16_t port, const QByteArray& bytes) {
    const int fd = connectTo(port);
    if (fd < 0)
        return "connect failed";
    ::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    QByteArray answer;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(fd);
    return answer;
}

struct CurlResult {
    QByteArray head;
    QByteArray body;
};

CurlResult curl(const QStringList& arguments, const QUrl& url) {
    QTemporaryDir out;
    QProcess process;
    process.start(QStringLiteral("curl"),
                  QStringList{QStringLiteral("-s"), QStringLiteral("-D"),
                              out.filePath(QStringLiteral("head")), QStringLiteral("-o"),
                              out.filePath(QStringLiteral("body"))}
                      << arguments << url.toString(QUrl::FullyEncoded));
    process.waitForFinished(30000);
    QFile head(out.filePath(QStringLiteral("head"))), body(out.filePath(QStringLiteral("body")));
    head.open(QIODevice::ReadOnly);
    body.open(QIODevice::ReadOnly);
    return {head.readAll(), body.readAll()};
}

class LocalStreamServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_base.isValid());
        m_root = m_base.filePath(QStringLiteral("cache/Halcyrin/Playback"));
        m_folder = m_root + QStringLiteral("/0123456789abcdef01234567");
        TestSupport::writeFile(m_folder + QStringLiteral("/index.m3u8"), m_playlist);
        TestSupport::writeFile(m_folder + QStringLiteral("/seg00000.m4s"), segmentBytes());
        TestSupport::writeFile(m_folder + QStringLiteral("/init.mp4"), "init");
        TestSupport::writeFile(m_base.filePath(QStringLiteral("outside/secret.txt")), kOutside);
        m_server = std::make_unique<LocalStreamServer>(LocalStreamServer::Options{m_root});
        ASSERT_TRUE(m_server->start());
    }

    QUrl url(const QString& name) {
        return m_server->url(m_folder + QLatin1Char('/') + name).value_or(QUrl());
    }

    static inline const QByteArray kOutside = "OUTSIDE-THE-CACHE-42";
    const QByteArray m_playlist = "#EXTM3U\n#EXT-X-VERSION:7\n#EXTINF:4.000000,\nseg00000.m4s\n";
    QTemporaryDir m_base;
    QString m_root;
    QString m_folder;
    std::unique_ptr<LocalStreamServer> m_server;
};

} // namespace

TEST_F(LocalStreamServerTest, urlsForFilesBelowTheRootOnly) {
    EXPECT_EQ(m_server->secret().size(), 36);
    EXPECT_EQ(m_server->secret(), m_server->secret().toLower());
    EXPECT_NE(m_server->port(), 0);
    const QUrl playlist = url(QStringLiteral("index.m3u8"));
    EXPECT_EQ(playlist.toString(),
              QStringLiteral("http://127.0.0.1:%1/%2/0123456789abcdef01234567/index.m3u8")
                  .arg(m_server->port())
                  .arg(m_server->secret()));
    EXPECT_FALSE(m_server->url(m_base.filePath(QStringLiteral("outside/secret.txt"))));
    EXPECT_FALSE(m_server->url(m_root));
    EXPECT_FALSE(m_server->url(m_root + QStringLiteral("/../Playback2/x")));

    TestSupport::writeFile(m_root + QStringLiteral("/with space/seg00000.m4s"), "x");
    const auto spaced = m_server->url(m_root + QStringLiteral("/with space/seg00000.m4s"));
    ASSERT_TRUE(spaced);
    EXPECT_TRUE(spaced->toString(QUrl::FullyEncoded).endsWith(QStringLiteral("/with%20space/seg00000.m4s")));
    // The same URL is handed out again while the listener lives.
    EXPECT_EQ(url(QStringLiteral("index.m3u8")), playlist);
}

TEST_F(LocalStreamServerTest, curlGetsHeadsAndRanges) {
    const QByteArray segment = segmentBytes();
    const struct {
        const char* name;
        QStringList arguments;
        const char* status;
        const char* type;
        QByteArray body;
        const char* contentRange;
    } rows[] = {
        {"index.m3u8", {}, "HTTP/1.1 200 OK", "application/vnd.apple.mpegurl", m_playlist, nullptr},
        {"init.mp4", {}, "HTTP/1.1 200 OK", "video/mp4", "init", nullptr},
        {"seg00000.m4s",
         {"-H", "Range: bytes=0-1"},
         "HTTP/1.1 206 Partial Content",
         "video/iso.segment",
         segment.left(2),
         "bytes 0-1/1000"},
        {"seg00000.m4s",
         {"-H", "range: bytes=500-"},
         "HTTP/1.1 206 Partial Content",
         "video/iso.segment",
         segment.mid(500),
         "bytes 500-999/1000"},
        {"seg00000.m4s",
         {"-H", "Range: bytes=0-99999"},
         "HTTP/1.1 206 Partial Content",
         "video/iso.segment",
         segment,
         "bytes 0-999/1000"},
        {"seg00000.m4s",
         {"-H", "Range: bytes=-500"},
         "HTTP/1.1 206 Partial Content",
         "video/iso.segment",
         segment.mid(500),
         "bytes 500-999/1000"},
        {"seg00000.m4s",
         {"-H", "Range: bytes=2000-"},
         "HTTP/1.1 200 OK",
         "video/iso.segment",
         segment,
         nullptr},
        {"seg00000.m4s",
         {"-H", "Range: bytes=0-1,5-9"},
         "HTTP/1.1 200 OK",
         "video/iso.segment",
         segment,
         nullptr},
    };
    for (const auto& row : rows) {
        const CurlResult result = curl(row.arguments, url(QString::fromLatin1(row.name)));
        SCOPED_TRACE(row.name + (" " + row.arguments.join(QLatin1Char(' '))).toStdString());
        EXPECT_TRUE(result.head.startsWith(QByteArray(row.status) + "\r\n")) << result.head.constData();
        EXPECT_TRUE(result.head.contains("Content-Type: " + QByteArray(row.type) + "\r\n"));
        EXPECT_TRUE(result.head.contains("Content-Length: " + QByteArray::number(row.body.size()) + "\r\n"));
        EXPECT_EQ(result.head.contains("Content-Range: "), row.contentRange != nullptr);
        if (row.contentRange) {
            EXPECT_TRUE(result.head.contains("Content-Range: " + QByteArray(row.contentRange) + "\r\n"));
        }
        EXPECT_TRUE(result.head.endsWith(
            "Accept-Ranges: bytes\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n"));
        EXPECT_EQ(result.body, row.body);
    }
}

TEST_F(LocalStreamServerTest, headGivesTheHeadersOfGetWithoutBody) {
    const QByteArray path = url(QStringLiteral("seg00000.m4s")).path(QUrl::FullyEncoded).toUtf8();
    const QByteArray get = exchange(m_server->port(), "GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray head = exchange(m_server->port(), "HEAD " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(get.contains("\r\n\r\n"));
    EXPECT_EQ(head, get.left(get.indexOf("\r\n\r\n") + 4));
    EXPECT_EQ(get.mid(head.size()), segmentBytes());
}

TEST_F(LocalStreamServerTest, hostileRequestsNeverReachOutsideTheCache) {
    ASSERT_TRUE(QFile::link(m_base.filePath(QStringLiteral("outside/secret.txt")),
                            m_folder + QStringLiteral("/link.m4s")));
    ASSERT_TRUE(QFile::link(m_base.filePath(QStringLiteral("outside")), m_folder + QStringLiteral("/out")));
    const QByteArray s = m_server->secret().toUtf8();
    const QByteArray garbage = QByteArray::fromHex("00ff13fe80c0c1f5ffff0d0a0d0a");
    const struct {
        QByteArray bytes;
        const char* answer; // "404", "405", or "" for closed without an answer
    } rows[] = {
        {"GET /00000000-0000-0000-0000-000000000000/0123456789abcdef01234567/index.m3u8 HTTP/1.1\r\n\r\n",
         "404"},
        {"POST /" + s + "/0123456789abcdef01234567/index.m3u8 HTTP/1.1\r\n\r\n", "405"},
        {"GET /" + s + "/0123456789abcdef01234567/../../../outside/secret.txt HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/%2e%2e/%2e%2e/outside/secret.txt HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/x%2F..%2F..%2F..%2Foutside%2Fsecret.txt HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/0123456789abcdef01234567/link.m4s HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/0123456789abcdef01234567/out/secret.txt HTTP/1.1\r\n\r\n", "404"},
        {"GET " + m_base.filePath(QStringLiteral("outside/secret.txt")).toUtf8() + " HTTP/1.1\r\n\r\n",
         "404"},
        {"GET /" + s + m_base.filePath(QStringLiteral("outside/secret.txt")).toUtf8() + " HTTP/1.1\r\n\r\n",
         "404"},
        {"GET /" + s + "/0123456789abcdef01234567 HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/0123456789abcdef01234567/index.m3u8%00.txt HTTP/1.1\r\n\r\n", "404"},
        {"GET /" + s + "/" + QByteArray(20 * 1024, 'a') + " HTTP/1.1\r\n\r\n", ""},
        {garbage, ""},
    };
    for (const auto& row : rows) {
        const QByteArray answer = exchange(m_server->port(), row.bytes);
        SCOPED_TRACE(row.bytes.left(120).toStdString());
        EXPECT_FALSE(answer.contains(kOutside));
        if (*row.answer) {
            EXPECT_TRUE(answer.startsWith("HTTP/1.1 " + QByteArray(row.answer) + " "))
                << answer.left(200).constData();
        } else {
            EXPECT_TRUE(answer.isEmpty()) << answer.left(200).constData();
        }
    }
    // A link that stays inside the cache is served.
    ASSERT_TRUE(
        QFile::link(m_folder + QStringLiteral("/seg00000.m4s"), m_folder + QStringLiteral("/again.m4s")));
    EXPECT_TRUE(curl({}, url(QStringLiteral("again.m4s"))).head.startsWith("HTTP/1.1 200 OK"));
}

TEST_F(LocalStreamServerTest, idleClientsHoldUpNoOne) {
    std::vector<int> idle;
    for (int i = 0; i < 100; ++i) {
        const int fd = connectTo(m_server->port());
        ASSERT_GE(fd, 0);
        idle.push_back(fd);
    }
    ::send(idle[0], "GET /", 5, MSG_NOSIGNAL); // one that starts a request and stalls
    ASSERT_TRUE(TestSupport::waitFor([&] { return m_server->connectionCount() == 100; }));
    const QByteArray request =
        "GET " + url(QStringLiteral("index.m3u8")).path(QUrl::FullyEncoded).toUtf8() + " HTTP/1.1\r\n\r\n";
    QElapsedTimer timer;
    timer.start();
    const QByteArray answer = exchange(m_server->port(), request);
    const qint64 elapsed = timer.elapsed();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(answer.endsWith(m_playlist));
    // The answer needs microseconds of work; 100 ms leaves room for a loaded, sanitized build.
    EXPECT_LT(elapsed, 100) << "answered in " << elapsed << " ms";
    for (const int fd : idle)
        ::close(fd);
}

TEST(LocalStreamServerLimitsTest, idleConnectionsClosedAndOldestReaderDisplaced) {
    QTemporaryDir base;
    TestSupport::writeFile(base.filePath(QStringLiteral("a/index.m3u8")), "#EXTM3U\n");
    LocalStreamServer server({base.path(), 300, 4});
    const auto playlist = server.url(base.filePath(QStringLiteral("a/index.m3u8")));
    ASSERT_TRUE(playlist);

    // Idle past the timeout: the server ends the connection.
    const int quiet = connectTo(server.port());
    char byte;
    EXPECT_EQ(::recv(quiet, &byte, 1, 0), 0);
    ::close(quiet);

    // Four idle connections fill the server; a real request still gets its answer.
    std::vector<int> idle;
    for (int i = 0; i < 4; ++i)
        idle.push_back(connectTo(server.port()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.connectionCount() == 4; }));
    const QByteArray answer =
        exchange(server.port(), "GET " + playlist->path(QUrl::FullyEncoded).toUtf8() + " HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(answer.endsWith("#EXTM3U\n"));
    for (const int fd : idle)
        ::close(fd);
}

TEST(LocalStreamServerLimitsTest, largeFileServedWholeAndByRange) {
    QTemporaryDir base;
    const QString path = base.filePath(QStringLiteral("a/seg00000.m4s"));
    TestSupport::writeFile(path, QByteArray());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = 96LL * 1024 * 1024; // sparse: costs no disk
    ASSERT_TRUE(file.resize(size));
    file.seek(size - 4);
    file.write("TAIL");
    file.close();
    LocalStreamServer server({base.path()});
    const auto url = server.url(path);
    ASSERT_TRUE(url);
    QProcess process;
    process.start(QStringLiteral("curl"),
                  {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                   QStringLiteral("-w"), QStringLiteral("%{http_code} %{size_download}"), url->toString()});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.readAllStandardOutput(), QByteArray("200 ") + QByteArray::number(size));
    const CurlResult tail = curl({QStringLiteral("-H"), QStringLiteral("Range: bytes=-4")}, *url);
    EXPECT_EQ(tail.body, "TAIL");
}
