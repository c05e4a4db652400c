#include "app/ConverterUpdates.h"
#include "app/ConverterSettingsView.h"
#include "common/Log.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <openssl/evp.h>

#include <memory>

#include <gtest/gtest.h>

namespace {

// A tiny HTTP server on 127.0.0.1 that answers GETs from a table of paths.
class FeedServer : public QObject {
    Q_OBJECT
public:
    QHash<QString, QByteArray> pages;
    int requests = 0;

    FeedServer() {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    buffer[socket] += socket->readAll();
                    if (!buffer[socket].contains("\r\n\r\n"))
                        return;
                    ++requests;
                    const QList<QByteArray> line =
                        buffer[socket].left(buffer[socket].indexOf("\r\n")).split(' ');
                    const QString path = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
                    const bool found = pages.contains(path);
                    const QByteArray body = found ? pages.value(path) : QByteArray("not here");
                    socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                                  QByteArray("Content-Length: ") + QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path));
    }

private:
    QTcpServer server;
    QHash<QTcpSocket*, QByteArray> buffer;
};

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

QByteArray feed(const QString& build, const QString& shortVersion, const QUrl& download,
                const QByteArray& signature, qint64 length) {
    return QStringLiteral(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
<item><title>Version %2</title><sparkle:version>%1</sparkle:version>
<sparkle:shortVersionString>%2</sparkle:shortVersionString>
<description><![CDATA[<p>Faster conversions.</p>]]></description>
<enclosure url="%3" length="%5" type="application/octet-stream" sparkle:edSignature="%4"/></item>
</channel></rss>)")
        .arg(build, shortVersion, download.toString(), QString::fromLatin1(signature),
             QString::number(length))
        .toUtf8();
}

struct Signer {
    std::shared_ptr<EVP_PKEY> key;
    QByteArray publicKey;

    Signer() {
        EVP_PKEY* raw = nullptr;
        EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
        EVP_PKEY_keygen_init(context);
        EVP_PKEY_keygen(context, &raw);
        EVP_PKEY_CTX_free(context);
        key.reset(raw, &EVP_PKEY_free);
        QByteArray bytes(32, '\0');
        size_t length = 32;
        EVP_PKEY_get_raw_public_key(raw, reinterpret_cast<unsigned char*>(bytes.data()), &length);
        publicKey = bytes.toBase64();
    }

    QByteArray sign(const QByteArray& data) const {
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key.get());
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        EVP_MD_CTX_free(context);
        return signature.toBase64();
    }
};

class ConverterUpdatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConverterUpdates::setFeedForTesting(server.url(QStringLiteral("/updates/converter/appcast.xml")));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        ConverterUpdates::setFeedForTesting({});
    }

    void startAndWait() {
        updates.start();
        ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 5000));
    }

    template <typename T> T* inDialog(const char* name) {
        EXPECT_NE(updates.dialog(), nullptr);
        return updates.dialog() ? updates.dialog()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }

    FeedServer server;
    OpenedUrls opened;
    ConverterUpdates updates;
};

} // namespace

TEST(ConverterUpdatesVersion, ShortVersionAndBuildWithQuestionMarks) {
    const struct {
        const char* shortVersion;
        const char* build;
        const char* text;
    } cases[] = {{"1.2", "34", "1.2 (34)"}, {"", "", "? (?)"}, {"1.2", "", "1.2 (?)"}, {"", "34", "? (34)"}};
    for (const auto& c : cases)
        EXPECT_EQ(
            ConverterUpdates::version(QString::fromLatin1(c.shortVersion), QString::fromLatin1(c.build)),
            QString::fromLatin1(c.text));
    EXPECT_EQ(ConverterUpdates::version(), QStringLiteral("1.0 (1)"));
}

TEST_F(ConverterUpdatesTest, BeforeStartNothingHappens) {
    EXPECT_FALSE(updates.canCheck());
    EXPECT_FALSE(updates.automatic());
    updates.setAutomatic(false);
    updates.check();
    updates.checkInBackground();
    QCoreApplication::processEvents();
    EXPECT_EQ(updates.dialog(), nullptr);
    EXPECT_EQ(server.requests, 0);
}

TEST_F(ConverterUpdatesTest, StartAllowsChecksFromTheNextTurnAndLogs) {
    updates.start();
    EXPECT_FALSE(updates.canCheck());
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 5000));
    EXPECT_TRUE(updates.automatic());
    updates.setAutomatic(false);
    EXPECT_FALSE(updates.automatic());
    Log::flush();
    const QStringList lines = Log::tail(20);
    const bool logged = std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.contains(QStringLiteral("Updates: feed ")) &&
               line.contains(QStringLiteral("automatic true"));
    });
    EXPECT_TRUE(logged) << lines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ConverterUpdatesTest, SettingsControlsWaitForTheUpdater) {
    ConverterSettingsView view(updates);
    auto* check = view.findChild<QPushButton*>(QStringLiteral("settingsCheck"));
    auto* version = view.findChild<QLabel*>(QStringLiteral("settingsVersion"));
    auto* automatic = view.findChild<QCheckBox*>(QStringLiteral("settingsAutomatic"));
    ASSERT_TRUE(check && version && automatic);
    EXPECT_EQ(check->text(), QStringLiteral("Check for Updates…"));
    EXPECT_EQ(version->text(), QStringLiteral("1.0 (1)"));
    EXPECT_EQ(automatic->text(), QStringLiteral("Check for updates automatically"));
    EXPECT_FALSE(check->isEnabled());
    EXPECT_FALSE(automatic->isChecked());

    startAndWait();
    EXPECT_TRUE(check->isEnabled());
    EXPECT_TRUE(automatic->isChecked());
    automatic->click();
    EXPECT_FALSE(updates.automatic());
}

TEST_F(ConverterUpdatesTest, NewerVersionShowsReleaseNotesAndDownload) {
    server.pages.insert(QStringLiteral("/updates/converter/appcast.xml"),
                        feed(QStringLiteral("34"), QStringLiteral("1.2"),
                             server.url(QStringLiteral("/q.tar.gz")), "AAAA", 10));
    startAndWait();
    updates.check();
    EXPECT_FALSE(updates.canCheck()) << "one check at a time";
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 10000));
    ASSERT_NE(updates.dialog(), nullptr);
    EXPECT_TRUE(updates.dialog()->isVisible());
    EXPECT_EQ(inDialog<QLabel>("updateHeading")->text(),
              QStringLiteral("A new version of QuorvaneConverter is available."));
    EXPECT_TRUE(inDialog<QLabel>("updateDetail")->text().contains(QStringLiteral("1.2")));
    EXPECT_TRUE(
        inDialog<QTextBrowser>("updateNotes")->toPlainText().contains(QStringLiteral("Faster conversions.")));
    EXPECT_TRUE(inDialog<QPushButton>("updateDownload")->isVisible());
}

TEST_F(ConverterUpdatesTest, SameBuildIsUpToDate) {
    server.pages.insert(QStringLiteral("/updates/converter/appcast.xml"),
                        feed(QStringLiteral("1"), QStringLiteral("1.0"),
                             server.url(QStringLiteral("/q.tar.gz")), "AAAA", 10));
    startAndWait();
    updates.check();
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 10000));
    EXPECT_EQ(inDialog<QLabel>("updateHeading")->text(), QStringLiteral("You're up to date."));
    EXPECT_FALSE(inDialog<QPushButton>("updateDownload")->isVisible());
}

TEST_F(ConverterUpdatesTest, UnreachableFeedFailsQuietlyIntoTheLog) {
    // A port nobody listens on.
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    ConverterUpdates::setFeedForTesting(
        QUrl(QStringLiteral("http://127.0.0.1:%1/updates/converter/appcast.xml").arg(port)));
    startAndWait();
    std::optional<ConverterUpdates::Outcome> outcome;
    QObject::connect(&updates, &ConverterUpdates::checked,
                     [&outcome](const ConverterUpdates::Outcome& o) { outcome = o; });
    updates.checkInBackground();
    ASSERT_TRUE(TestSupport::waitFor([&] { return outcome.has_value(); }, 15000));
    EXPECT_EQ(outcome->result, ConverterUpdates::Result::failed);
    EXPECT_EQ(updates.dialog(), nullptr) << "a background check shows nothing when it fails";
    EXPECT_TRUE(updates.canCheck());
    Log::flush();
    const QStringList lines = Log::tail(20);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.contains(QStringLiteral("Updates: The update server can't be reached."));
    })) << lines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ConverterUpdatesTest, NotAFeedIsAPlainFailure) {
    server.pages.insert(QStringLiteral("/updates/converter/appcast.xml"), "<html>maintenance</html>");
    startAndWait();
    updates.check();
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 10000));
    EXPECT_EQ(inDialog<QLabel>("updateHeading")->text(), QStringLiteral("Couldn't check for updates."));
    EXPECT_EQ(inDialog<QLabel>("updateDetail")->text(),
              QStringLiteral("The update server sent something that isn't an update feed."));
}

TEST_F(ConverterUpdatesTest, SignedDownloadIsSavedAndShown) {
    QTemporaryDir downloads;
    const Signer signer;
    const QByteArray payload = QByteArray("QuorvaneConverter 1.2 archive ").repeated(50);
    server.pages.insert(QStringLiteral("/q-1.2.tar.gz"), payload);
    server.pages.insert(QStringLiteral("/updates/converter/appcast.xml"),
                        feed(QStringLiteral("34"), QStringLiteral("1.2"),
                             server.url(QStringLiteral("/q-1.2.tar.gz")), signer.sign(payload),
                             payload.size()));
    updates.setPublicKeyForTesting(signer.publicKey);
    updates.setDownloadFolderForTesting(downloads.path());
    startAndWait();
    updates.check();
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 10000));
    QString saved;
    QObject::connect(&updates, &ConverterUpdates::downloaded,
                     [&saved](const QString& path, const QString&) { saved = path; });
    inDialog<QPushButton>("updateDownload")->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !saved.isEmpty(); }, 10000));
    EXPECT_EQ(saved, downloads.filePath(QStringLiteral("q-1.2.tar.gz")));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), payload);
    EXPECT_TRUE(inDialog<QLabel>("updateDetail")->text().startsWith(QStringLiteral("Saved as q-1.2.tar.gz")));
}

TEST_F(ConverterUpdatesTest, DownloadWithoutTheMakersSignatureIsNotSaved) {
    QTemporaryDir downloads;
    const Signer maker;
    const Signer stranger;
    const QByteArray payload = "tampered archive";
    server.pages.insert(QStringLiteral("/q.tar.gz"), payload);
    server.pages.insert(QStringLiteral("/updates/converter/appcast.xml"),
                        feed(QStringLiteral("34"), QStringLiteral("1.2"),
                             server.url(QStringLiteral("/q.tar.gz")), stranger.sign(payload),
                             payload.size()));
    updates.setPublicKeyForTesting(maker.publicKey);
    updates.setDownloadFolderForTesting(downloads.path());
    startAndWait();
    updates.check();
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates.canCheck(); }, 10000));
    QString error;
    QObject::connect(&updates, &ConverterUpdates::downloaded,
                     [&error](const QString&, const QString& e) { error = e; });
    inDialog<QPushButton>("updateDownload")->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !error.isEmpty(); }, 10000));
    EXPECT_EQ(error, QStringLiteral(
                         "The downloaded update doesn't carry the maker's signature, so it wasn't saved."));
    EXPECT_TRUE(QDir(downloads.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
}

#include "ConverterUpdatesTest.moc"
