// The client against a small media server of the tests' own (fake_media_server.py beside this
// file), on 127.0.0.1 and a free port.
#include "mediaserver/MediaServers.h"

#include "common/Log.h"
#include "common/UserDefaults.h"
#include "mediaserver/MediaServerTokens.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

const QString kToken = QStringLiteral("tok-3f9a");
const QString kNotPaired = QStringLiteral(
    "This computer isn't paired with the server any more. Pair it again in Settings › Media Server.");

class MediaServersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        m_previousData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder.filePath(QStringLiteral("data"))));
        m_store = std::make_unique<UserDefaults>(m_folder.filePath(QStringLiteral("settings.conf")));

        m_server.setProgram(QStringLiteral("python3"));
        m_server.setArguments({QStringLiteral(QC_SOURCE_DIR "/tests/mediaserver/fake_media_server.py"),
                               m_folder.path(), QStringLiteral("--code"), QStringLiteral("123456"),
                               QStringLiteral("--token"), kToken});
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start();
        ASSERT_TRUE(m_server.waitForStarted()) << "python3 is needed for these tests";
        ASSERT_TRUE(TestSupport::waitFor([&] { return m_server.canReadLine(); }, 30000));
        m_port = m_server.readLine().trimmed().toInt();
        ASSERT_GT(m_port, 0);
    }

    void TearDown() override {
        m_server.kill();
        m_server.waitForFinished();
        qputenv("XDG_DATA_HOME", m_previousData);
    }

    MediaServers::Server local(const QString& id = QStringLiteral("S1")) const {
        return {id, QStringLiteral("Den PC"), QStringLiteral("127.0.0.1"), m_port};
    }

    // Requests the server has seen, oldest first.
    QList<QJsonObject> requests() const {
        QList<QJsonObject> list;
        QFile file(m_folder.filePath(QStringLiteral("requests.jsonl")));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    list.append(QJsonDocument::fromJson(line).object());
        }
        return list;
    }

    // Waits for one answer of an asynchronous call.
    template <typename T>
    static std::optional<T> await(const std::function<void(std::function<void(T)>)>& start) {
        std::optional<T> answer;
        start([&](T value) { answer = std::move(value); });
        EXPECT_TRUE(TestSupport::waitFor([&] { return answer.has_value(); }, 30000));
        return answer;
    }

    std::optional<MediaServerError> pair(MediaServers& servers, const MediaServers::Server& server,
                                         const QString& code) {
        const auto answer = await<std::optional<MediaServerError>>(
            [&](auto done) { servers.pair(server, code, nullptr, done); });
        EXPECT_TRUE(answer.has_value());
        return answer.value_or(
            MediaServerError{MediaServerError::Kind::transport, QStringLiteral("no answer")});
    }

    MediaServers::Result<MediaServers::Listing> browse(MediaServers& servers,
                                                       const MediaServers::Server& server,
                                                       const QString& library, const QString& path) {
        const auto answer = await<MediaServers::Result<MediaServers::Listing>>(
            [&](auto done) { servers.browse(server, library, path, nullptr, done); });
        return answer.value_or(MediaServerError{});
    }

    QTemporaryDir m_folder;
    QByteArray m_previousData;
    std::unique_ptr<UserDefaults> m_store;
    QProcess m_server;
    int m_port = 0;
};

QString errorText(const MediaServers::Result<MediaServers::Listing>& result) {
    const auto* error = std::get_if<MediaServerError>(&result);
    return error ? error->message : QStringLiteral("(success)");
}

} // namespace

TEST_F(MediaServersTest, PairingSendsTheDigitsAndStoresTheToken) {
    MediaServers servers(*m_store);
    QSignalSpy changed(&servers, &MediaServers::savedChanged);
    EXPECT_FALSE(servers.isPaired(local()));

    EXPECT_EQ(pair(servers, local(), QStringLiteral("123 456")), std::nullopt);

    const QList<QJsonObject> seen = requests();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    EXPECT_EQ(seen[0].value(QStringLiteral("path")).toString(), QStringLiteral("/api/pair"));
    EXPECT_EQ(seen[0].value(QStringLiteral("query")).toString(), QString()); // no token, not even "t="
    EXPECT_EQ(seen[0].value(QStringLiteral("contentType")).toString(), QStringLiteral("application/json"));
    const QJsonObject body =
        QJsonDocument::fromJson(seen[0].value(QStringLiteral("body")).toString().toUtf8()).object();
    EXPECT_EQ(body.value(QStringLiteral("code")).toString(), QStringLiteral("123456"));
    EXPECT_FALSE(body.value(QStringLiteral("device")).toString().isEmpty());
    EXPECT_EQ(body.size(), 2);

    EXPECT_EQ(MediaServerTokens::get(QStringLiteral("S1")), kToken);
    EXPECT_EQ(servers.saved(), QList<MediaServers::Server>{local()});
    EXPECT_TRUE(servers.isPaired(local()));
    EXPECT_EQ(changed.count(), 1);
    // The saved list holds the record, never the token.
    const QByteArray stored = m_store->data(QStringLiteral("fx.mediaServers"));
    EXPECT_EQ(
        stored,
        QStringLiteral(R"([{"id":"S1","name":"Den PC","host":"127.0.0.1","port":%1}])").arg(m_port).toUtf8());
    QFile settings(m_store->fileName());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_FALSE(settings.readAll().contains(kToken.toUtf8()));
    Log::flush();
    const QStringList lines = Log::tail(20);
    EXPECT_TRUE(lines.filter(QStringLiteral("Media server: paired with a server")).size() >= 1);
    EXPECT_TRUE(lines.filter(kToken).isEmpty());
}

TEST_F(MediaServersTest, ListsLibrariesAndAFolderWithTheTokenLast) {
    ASSERT_TRUE(MediaServerTokens::set(kToken, QStringLiteral("S1")));
    MediaServers servers(*m_store);

    const auto libraries = await<MediaServers::Result<QList<MediaServers::Library>>>(
        [&](auto done) { servers.libraries(local(), nullptr, done); });
    ASSERT_TRUE(libraries && std::holds_alternative<QList<MediaServers::Library>>(*libraries));
    EXPECT_EQ(std::get<QList<MediaServers::Library>>(*libraries),
              (QList<MediaServers::Library>{
                  {QStringLiteral("movies"), QStringLiteral("Movies"), QStringLiteral("video")},
                  {QStringLiteral("music"), QStringLiteral("Music"), QStringLiteral("audio")}}));

    const auto listing = browse(servers, local(), QStringLiteral("movies"), QStringLiteral("Films"));
    ASSERT_TRUE(std::holds_alternative<MediaServers::Listing>(listing)) << errorText(listing).toStdString();
    const auto& folder = std::get<MediaServers::Listing>(listing);
    EXPECT_EQ(folder.library, QStringLiteral("movies"));
    EXPECT_EQ(folder.path, QStringLiteral("Films"));
    EXPECT_EQ(folder.folders,
              (QList<MediaServers::Folder>{{QStringLiteral("Extras"), QStringLiteral("Films/Extras")}}));
    ASSERT_EQ(folder.files.size(), 2);
    EXPECT_EQ(folder.files[0].size, 5000000000LL);
    EXPECT_TRUE(folder.files[0].convert);

    const QList<QJsonObject> seen = requests();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].value(QStringLiteral("path")).toString(), QStringLiteral("/api/libraries"));
    EXPECT_EQ(seen[0].value(QStringLiteral("query")).toString(), QStringLiteral("t=") + kToken);
    EXPECT_EQ(seen[1].value(QStringLiteral("path")).toString(), QStringLiteral("/api/browse"));
    EXPECT_EQ(seen[1].value(QStringLiteral("query")).toString(),
              QStringLiteral("lib=movies&path=Films&t=") + kToken);

    // The file becomes a stream entry on the same server.
    const auto entry =
        servers.entry(local(), std::get<QList<MediaServers::Library>>(*libraries)[0], folder.files[0]);
    ASSERT_TRUE(std::holds_alternative<MediaEntry>(entry));
    EXPECT_EQ(std::get<MediaEntry>(entry).url.path(), QStringLiteral("/api/hls"));
    EXPECT_EQ(QUrlQuery(std::get<MediaEntry>(entry).url).queryItemValue(QStringLiteral("t")), kToken);
    EXPECT_EQ(std::get<MediaEntry>(entry).key, QStringLiteral("S1:movies:Films/a.mkv"));
}

TEST_F(MediaServersTest, FailuresBecomeTheirSentences) {
    ASSERT_TRUE(MediaServerTokens::set(kToken, QStringLiteral("S1")));
    MediaServers servers(*m_store);
    const struct {
        const char* id;
        const char* library;
        MediaServerError::Kind kind;
        QString message;
    } cases[] = {
        // No token file entry: "t" goes out empty and the server answers 401.
        {"unknown", "movies", MediaServerError::Kind::rejected, kNotPaired},
        {"S1", "failing", MediaServerError::Kind::unreachable,
         QStringLiteral("Couldn't reach the server. Is the PC on and on the same network?")},
        {"S1", "broken", MediaServerError::Kind::decoding,
         QStringLiteral("The server's answer couldn't be read because the member “files” is missing.")},
    };
    for (const auto& c : cases) {
        const auto result = browse(servers, local(QString::fromLatin1(c.id)), QString::fromLatin1(c.library),
                                   QStringLiteral("Films"));
        const auto* error = std::get_if<MediaServerError>(&result);
        ASSERT_TRUE(error) << c.library;
        EXPECT_EQ(error->kind, c.kind) << c.library;
        EXPECT_EQ(error->message, c.message) << c.library;
    }
    EXPECT_EQ(requests().first().value(QStringLiteral("query")).toString(),
              QStringLiteral("lib=movies&path=Films&t="));
}

TEST_F(MediaServersTest, AClosedPortGivesTheTransportsError) {
    ASSERT_TRUE(MediaServerTokens::set(kToken, QStringLiteral("S1")));
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    MediaServers::Server closed = local();
    closed.port = probe.serverPort();
    probe.close();

    MediaServers servers(*m_store);
    const auto result = browse(servers, closed, QStringLiteral("movies"), QStringLiteral("Films"));
    const auto* error = std::get_if<MediaServerError>(&result);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, MediaServerError::Kind::transport);
    EXPECT_TRUE(error->message.contains(QStringLiteral("refused"), Qt::CaseInsensitive))
        << error->message.toStdString();
    EXPECT_FALSE(error->message.contains(kToken));

    // Pairing there is simply unreachable.
    EXPECT_EQ(pair(servers, closed, QStringLiteral("123456")), MediaServerError::unreachable());
    EXPECT_TRUE(servers.saved().isEmpty());
}

TEST_F(MediaServersTest, APairingWithoutAnAnswerTimesOutAsUnreachable) {
    // Accepts the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    MediaServers::Server server = local();
    server.port = silent.serverPort();
    MediaServers servers(*m_store);
    servers.setPairTimeoutForTesting(300);
    EXPECT_EQ(pair(servers, server, QStringLiteral("123456")), MediaServerError::unreachable());
    EXPECT_TRUE(servers.saved().isEmpty());
}

TEST_F(MediaServersTest, ANewerPairingOrForgetCancelsTheEarlierOne) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    MediaServers::Server slow = local();
    slow.port = silent.serverPort();
    MediaServers servers(*m_store);
    int earlierAnswers = 0;
    servers.pair(slow, QStringLiteral("123456"), nullptr, [&](auto) { ++earlierAnswers; });
    // The same server id, now at the address that answers.
    EXPECT_EQ(pair(servers, local(), QStringLiteral("123456")), std::nullopt);
    servers.pair(slow, QStringLiteral("123456"), nullptr, [&](auto) { ++earlierAnswers; });
    servers.forget(local());
    QCoreApplication::processEvents();
    EXPECT_EQ(earlierAnswers, 0);
    EXPECT_TRUE(servers.saved().isEmpty());
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
}

TEST_F(MediaServersTest, AHostWithoutAnAddressFailsTheRequestNotTheProcess) {
    MediaServers servers(*m_store);
    for (const char* host : {"my media pc", ""}) {
        MediaServers::Server bad = local();
        bad.host = QString::fromLatin1(host);
        const auto result = browse(servers, bad, QStringLiteral("movies"), QStringLiteral("Films"));
        ASSERT_TRUE(std::holds_alternative<MediaServerError>(result));
        EXPECT_EQ(std::get<MediaServerError>(result).kind, MediaServerError::Kind::address);
        EXPECT_EQ(pair(servers, bad, QStringLiteral("123456"))->kind, MediaServerError::Kind::address);
        EXPECT_TRUE(std::holds_alternative<MediaServerError>(
            servers.entry(bad, QStringLiteral("m"), QStringLiteral("a"), QStringLiteral("a"),
                          PlayerMediaKind::video, false)));
    }
    EXPECT_TRUE(requests().isEmpty());
}

TEST_F(MediaServersTest, RefusedPairingsSayWhy) {
    MediaServers servers(*m_store);
    EXPECT_EQ(
        pair(servers, local(), QStringLiteral("111-111")),
        MediaServerError::rejected(QStringLiteral("That code has expired. Ask the server for a new one.")));
    EXPECT_EQ(pair(servers, local(), QStringLiteral("999 999")),
              MediaServerError::rejected(QStringLiteral("The server didn't accept the code.")));
    EXPECT_TRUE(servers.saved().isEmpty());
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
}

TEST_F(MediaServersTest, APairingWhoseTokenCannotBeStoredIsNoPairing) {
    QDir().mkpath(MediaServerTokens::file() + QStringLiteral("/blocked"));
    MediaServers servers(*m_store);
    const auto error = pair(servers, local(), QStringLiteral("123456"));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->message.contains(QStringLiteral("couldn't be saved"))) << error->message.toStdString();
    EXPECT_TRUE(servers.saved().isEmpty());
    EXPECT_FALSE(m_store->contains(QStringLiteral("fx.mediaServers")));
}

TEST_F(MediaServersTest, PairingASavedServerMovesItToTheEnd) {
    MediaServers servers(*m_store);
    ASSERT_EQ(pair(servers, local(QStringLiteral("S1")), QStringLiteral("123456")), std::nullopt);
    ASSERT_EQ(pair(servers, local(QStringLiteral("S2")), QStringLiteral("123456")), std::nullopt);
    MediaServers::Server renamed = local(QStringLiteral("S1"));
    renamed.name = QStringLiteral("Den PC (new)");
    ASSERT_EQ(pair(servers, renamed, QStringLiteral("123456")), std::nullopt);
    EXPECT_EQ(servers.saved(), (QList<MediaServers::Server>{local(QStringLiteral("S2")), renamed}));

    // Another instance over the same store reads the same list.
    MediaServers other(*m_store);
    EXPECT_EQ(other.saved(), servers.saved());
}

TEST_F(MediaServersTest, ForgetRemovesTheTokenAndTheRecord) {
    MediaServers servers(*m_store);
    ASSERT_EQ(pair(servers, local(QStringLiteral("S1")), QStringLiteral("123456")), std::nullopt);
    ASSERT_EQ(pair(servers, local(QStringLiteral("S2")), QStringLiteral("123456")), std::nullopt);
    servers.forget(local(QStringLiteral("S1")));
    EXPECT_EQ(servers.saved(), QList<MediaServers::Server>{local(QStringLiteral("S2"))});
    EXPECT_FALSE(servers.isPaired(local(QStringLiteral("S1"))));
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
    EXPECT_TRUE(servers.isPaired(local(QStringLiteral("S2"))));
    EXPECT_TRUE(servers.all().isEmpty());
}

TEST_F(MediaServersTest, BecomingActivePicksUpAnotherToolsChanges) {
    MediaServers servers(*m_store);
    QSignalSpy revisions(&servers, &MediaServers::revisionChanged);
    QSignalSpy changed(&servers, &MediaServers::savedChanged);

    // Another tool of the suite pairs S9 behind our back.
    UserDefaults otherTool(m_store->fileName());
    otherTool.setData(QStringLiteral("fx.mediaServers"),
                      R"([{"id":"S9","name":"Attic","host":"fe80::1","port":8642}])");
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("x"), QStringLiteral("S9")));
    servers.applicationBecameActive();
    const MediaServers::Server attic{QStringLiteral("S9"), QStringLiteral("Attic"), QStringLiteral("fe80::1"),
                                     8642};
    EXPECT_EQ(servers.saved(), QList<MediaServers::Server>{attic});
    EXPECT_TRUE(servers.isPaired(attic));
    EXPECT_EQ(servers.revision(), 1);
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(changed.count(), 1);

    // An unreadable stored value leaves the list as it was; the same list changes nothing.
    servers.applicationBecameActive();
    otherTool.setData(QStringLiteral("fx.mediaServers"), R"([{"id":"S9"}])");
    servers.applicationBecameActive();
    EXPECT_EQ(servers.saved(), QList<MediaServers::Server>{attic});
    EXPECT_EQ(servers.revision(), 3);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(MediaServersTest, AnAnswerForAGoneCallerIsDropped) {
    ASSERT_TRUE(MediaServerTokens::set(kToken, QStringLiteral("S1")));
    MediaServers servers(*m_store);
    bool answered = false;
    auto* caller = new QObject;
    servers.libraries(local(), caller, [&](auto) { answered = true; });
    delete caller;
    // A later request on the same server is answered; the earlier one never is.
    const auto later = await<MediaServers::Result<QList<MediaServers::Library>>>(
        [&](auto done) { servers.libraries(local(), nullptr, done); });
    ASSERT_TRUE(later.has_value());
    TestSupport::waitFor([&] { return requests().size() >= 2; }, 5000);
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
}
