// The SFTP client against a real OpenSSH server on 127.0.0.1 (see support/SshServer).
#include "network/sftp/SFTPClient.h"

#include "common/Paths.h"
#include "support/SshServer.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

constexpr int kWait = 60000;

template <class T> struct Outcome { std::optional<SFTPResult<T>> result; };

class SFTPClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        if (!m_server.start(&error))
            GTEST_SKIP() << error.toStdString();
        SFTPClient::setProgramForTesting(m_server.sftpWrapper());
        m_remote = m_server.folder() + QStringLiteral("/remote");
        QDir().mkpath(m_remote);
    }
    void TearDown() override { SFTPClient::setProgramForTesting(QString()); }

    NetworkServer record(const QString& user = SshServer::currentUser()) const {
        NetworkServer server;
        server.kind = NetworkServerKind::sftp;
        server.host = QStringLiteral("127.0.0.1");
        server.port = m_server.port();
        server.user = user;
        return server;
    }

    SFTPResult<QList<SFTPEntry>> list(const SFTPClient& client, const QString& path) {
        std::optional<SFTPResult<QList<SFTPEntry>>> result;
        client.list(path, &m_context, [&result](const auto& r) { result = r; });
        EXPECT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }, kWait));
        return result.value_or(SFTPError{QStringLiteral("no answer")});
    }
    SFTPResult<QString> download(const SFTPClient& client, const QString& remote, const QString& local) {
        std::optional<SFTPResult<QString>> result;
        client.download(remote, local, &m_context, [&result](const auto& r) { result = r; });
        EXPECT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }, kWait));
        return result.value_or(SFTPError{QStringLiteral("no answer")});
    }
    SFTPResult<std::monostate> upload(const SFTPClient& client, const QString& local, const QString& folder) {
        std::optional<SFTPResult<std::monostate>> result;
        client.upload(local, folder, &m_context, [&result](const auto& r) { result = r; });
        EXPECT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }, kWait));
        return result.value_or(SFTPError{QStringLiteral("no answer")});
    }
    QString errorOf(const SFTPResult<QList<SFTPEntry>>& result) {
        return result.ok() ? QStringLiteral("<succeeded>") : result.error().message;
    }

    SshServer m_server;
    QObject m_context;
    QString m_remote;
};

QByteArray sha256(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QString makeFile(const QString& path, qint64 size) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QRandomGenerator generator(42);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += block.size()) {
        generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        file.write(block.constData(), qMin<qint64>(block.size(), size - written));
    }
    return path;
}

TEST_F(SFTPClientTest, KeyLoginListsWithSpacesHiddenItemsLinksAndAFolderPrefix) {
    QDir().mkpath(m_remote + QStringLiteral("/My Movies"));
    QDir().mkpath(m_remote + QStringLiteral("/.cache"));
    TestSupport::writeFile(m_remote + QStringLiteral("/.profile"), "x");
    TestSupport::writeFile(m_remote + QStringLiteral("/Film 10.mkv"), "0123456789");
    TestSupport::writeFile(m_remote + QStringLiteral("/film 9.mkv"), "012");
    QFile::link(m_remote + QStringLiteral("/film 9.mkv"), m_remote + QStringLiteral("/shortcut"));

    const SFTPClient client(record());
    for (const QString& path : {m_remote, m_remote + QLatin1Char('/')}) {
        const auto result = list(client, path);
        ASSERT_TRUE(result.ok()) << errorOf(result).toStdString();
        QStringList names;
        for (const SFTPEntry& entry : result.value())
            names << entry.name;
        EXPECT_EQ(names, (QStringList{QStringLiteral("My Movies"), QStringLiteral("film 9.mkv"),
                                      QStringLiteral("Film 10.mkv"), QStringLiteral("shortcut")}));
        ASSERT_EQ(result.value().size(), 4);
        EXPECT_TRUE(result.value()[0].isFolder);
        EXPECT_EQ(result.value()[2],
                  (SFTPEntry{QStringLiteral("Film 10.mkv"),
                             SFTPClient::join(path, QStringLiteral("Film 10.mkv")), false, 10}));
        EXPECT_FALSE(result.value()[3].isFolder);
    }
}

TEST_F(SFTPClientTest, DownloadAndUploadOfFiftyMegabytesAreByteIdentical) {
    const QString local = makeFile(m_server.folder() + QStringLiteral("/local.bin"), 50 * 1024 * 1024);
    const SFTPClient client(record());
    const auto uploaded = upload(client, local, m_remote);
    ASSERT_TRUE(uploaded.ok()) << uploaded.error().message.toStdString();
    EXPECT_EQ(sha256(m_remote + QStringLiteral("/local.bin")), sha256(local));

    const QString back = m_server.folder() + QStringLiteral("/new/folder/back.bin");
    const auto downloaded = download(client, m_remote + QStringLiteral("/local.bin"), back);
    ASSERT_TRUE(downloaded.ok()) << downloaded.error().message.toStdString();
    EXPECT_EQ(downloaded.value(), back);
    EXPECT_EQ(sha256(back), sha256(local));
}

TEST_F(SFTPClientTest, NamesWithQuotesAndBackslashesTravelIntact) {
    const QString name = QStringLiteral("it's \"odd\" \\ name.txt");
    const QString local = TestSupport::writeFile(m_server.folder() + QStringLiteral("/up/") + name, "quoted");
    const SFTPClient client(record());
    ASSERT_TRUE(upload(client, local, m_remote).ok());
    const auto listed = list(client, m_remote);
    ASSERT_TRUE(listed.ok());
    ASSERT_EQ(listed.value().size(), 1);
    EXPECT_EQ(listed.value()[0].name, name);
    const auto downloaded =
        download(client, listed.value()[0].path, m_server.folder() + QStringLiteral("/d/") + name);
    ASSERT_TRUE(downloaded.ok()) << downloaded.error().message.toStdString();
    QFile file(downloaded.value());
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), QByteArray("quoted"));
}

TEST_F(SFTPClientTest, RefusalsComeBeforeAnyProcessStarts) {
    // A program that leaves a mark if it is ever started.
    const QString marker = m_server.folder() + QStringLiteral("/started");
    const QString program = TestSupport::writeFile(m_server.folder() + QStringLiteral("/marking-sftp"),
                                                   "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    SFTPClient::setProgramForTesting(program);

    const struct {
        NetworkServer server;
        QString path;
        QString message;
    } cases[] = {
        {record(), m_remote + QStringLiteral("/a\nrm -rf b"),
         QStringLiteral("That file name has characters SFTP can't handle.")},
        {record(), m_remote + QStringLiteral("/a\rb"),
         QStringLiteral("That file name has characters SFTP can't handle.")},
        {record(QStringLiteral("-oProxyCommand=touch x")), m_remote,
         QStringLiteral("This server's address or user name isn't valid.")},
        {record(QStringLiteral("al ice")), m_remote,
         QStringLiteral("This server's address or user name isn't valid.")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf(list(SFTPClient(c.server), c.path)), c.message);
        EXPECT_FALSE(QFile::exists(marker));
    }
}

TEST_F(SFTPClientTest, FailuresReadAsSentences) {
    const QString refused =
        QStringLiteral("The server refused the connection. Is SSH turned on, and is the port right?");
    NetworkServer closedPort = record();
    closedPort.port = SshServer::freePort();
    EXPECT_EQ(errorOf(list(SFTPClient(closedPort), m_remote)), refused);

    NetworkServer unknown = record();
    unknown.host = QStringLiteral("no-such-server.invalid");
    EXPECT_EQ(errorOf(list(SFTPClient(unknown), m_remote)),
              QStringLiteral("That server name couldn't be found."));

    EXPECT_EQ(errorOf(list(SFTPClient(record()), m_remote + QStringLiteral("/missing"))),
              QStringLiteral("That folder or file doesn't exist on the server."));

    EXPECT_EQ(errorOf(list(SFTPClient(record(QStringLiteral("nobody"))), m_remote)),
              QStringLiteral("The server didn't accept the user name, password or SSH key."));
}

TEST_F(SFTPClientTest, AProgramThatCannotStartOrAMissingAskpassFailsTheOperation) {
    SFTPClient::setProgramForTesting(m_server.folder() + QStringLiteral("/no-such-sftp"));
    const QString launchError = errorOf(list(SFTPClient(record()), m_remote));
    EXPECT_FALSE(launchError.isEmpty());
    EXPECT_NE(launchError, QStringLiteral("<succeeded>"));
    SFTPClient::setProgramForTesting(m_server.sftpWrapper());

    const QString resources = Paths::resources();
    Paths::setResourcesForTesting(m_server.folder() + QStringLiteral("/no-resources"));
    EXPECT_EQ(errorOf(list(SFTPClient(record(), QStringLiteral("pw")), m_remote)),
              QStringLiteral(
                  "The password helper is missing from QuorvaneConverter. Reinstall QuorvaneConverter."));
    Paths::setResourcesForTesting(resources);
}

TEST_F(SFTPClientTest, AChangedHostKeyIsRefusedWithTheWarning) {
    QString error;
    ASSERT_TRUE(m_server.forgeHostKey(&error)) << error.toStdString();
    EXPECT_EQ(errorOf(list(SFTPClient(record()), m_remote)),
              QStringLiteral(
                  "The server's identity changed since last time, so QuorvaneConverter didn't connect (this "
                  "can mean someone is impersonating it). If the server was reinstalled, remove its old key "
                  "with: ssh-keygen -R <address>"));
}

TEST_F(SFTPClientTest, PasswordLoginThroughAskpass) {
    const QString password = QStringLiteral("p4ss w0rd \"'$;");
    QString error;
    if (!m_server.addPasswordUser(password, &error))
        GTEST_SKIP() << "password login not tested: " << error.toStdString();
    TestSupport::writeFile(m_server.passwordUserHome() + QStringLiteral("/Welcome.txt"), "hi");
    const auto listed = list(SFTPClient(record(m_server.passwordUser()), password), QStringLiteral("."));
    ASSERT_TRUE(listed.ok()) << errorOf(listed).toStdString();
    ASSERT_EQ(listed.value().size(), 1);
    EXPECT_EQ(listed.value()[0].path, QStringLiteral("Welcome.txt"));

    EXPECT_EQ(errorOf(list(SFTPClient(record(m_server.passwordUser()), QStringLiteral("wrong")),
                           QStringLiteral("."))),
              QStringLiteral("The server didn't accept the user name, password or SSH key."));

    // The password reached no file: not the server's log, not ours, not the test's folders.
    for (const QString& root :
         {m_server.folder(), Paths::logFolder(), Paths::stateHome(), Paths::cacheHome()}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly)) {
                EXPECT_FALSE(file.readAll().contains(password.toUtf8())) << file.fileName().toStdString();
            }
        }
    }
}

QByteArray procFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QList<qint64> children(qint64 pid) {
    QList<qint64> result;
    for (const QByteArray& child :
         procFile(pid, QByteArray("task/" + QByteArray::number(pid) + "/children").constData())
             .simplified()
             .split(' ')) {
        if (!child.isEmpty())
            result << child.toLongLong();
    }
    return result;
}

TEST_F(SFTPClientTest, AStalledServerCanBeCancelledAndThePasswordStaysOffCommandLines) {
    // Accepts connections and never says a word.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    NetworkServer server = record();
    server.port = silent.serverPort();
    const QString password = QStringLiteral("s3cret-on-no-command-line");

    std::optional<SFTPResult<QList<SFTPEntry>>> result;
    SFTPOperation* operation =
        SFTPClient(server, password).list(m_remote, &m_context, [&result](const auto& r) { result = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return silent.hasPendingConnections(); }, kWait));
    const qint64 pid = operation->processId();
    ASSERT_GT(pid, 0);
    QList<qint64> processes{pid};
    processes << children(pid);
    ASSERT_GE(processes.size(), 2) << "sftp should have started ssh";
    for (qint64 process : processes) {
        const QByteArray commandLine = procFile(process, "cmdline");
        EXPECT_FALSE(commandLine.isEmpty());
        EXPECT_FALSE(commandLine.contains(password.toUtf8()))
            << QByteArray(commandLine).replace('\0', ' ').toStdString();
    }
    // It travels in the environment, to the askpass program only.
    EXPECT_TRUE(procFile(pid, "environ").contains("HALCYRIN_ASKPASS=" + password.toUtf8()));

    operation->cancel();
    ASSERT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }, kWait));
    ASSERT_FALSE(result->ok());
    EXPECT_TRUE(result->error().cancelled);
    // The whole process group is gone, ssh included.
    EXPECT_TRUE(TestSupport::waitFor([&] {
        for (qint64 process : processes) {
            if (QFile::exists(QStringLiteral("/proc/%1/cmdline").arg(process)) &&
                !procFile(process, "cmdline").isEmpty())
                return false;
        }
        return true;
    }));
}

TEST_F(SFTPClientTest, DestroyingTheContextKillsTheProcessAndDropsTheAnswer) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    NetworkServer server = record();
    server.port = silent.serverPort();
    bool answered = false;
    auto context = std::make_unique<QObject>();
    SFTPOperation* operation =
        SFTPClient(server).list(m_remote, context.get(), [&answered](const auto&) { answered = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return silent.hasPendingConnections(); }, kWait));
    const qint64 pid = operation->processId();
    ASSERT_GT(pid, 0);
    context.reset();
    EXPECT_TRUE(TestSupport::waitFor([&] { return procFile(pid, "cmdline").isEmpty(); }));
    TestSupport::waitFor([] { return false; }, 200);
    EXPECT_FALSE(answered);
}

TEST_F(SFTPClientTest, AskpassPrintsThePasswordAndNothingElse) {
    QProcess askpass;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HALCYRIN_ASKPASS"), QStringLiteral("pä ss\"word"));
    askpass.setProcessEnvironment(environment);
    askpass.start(SFTPClient::askpass(), {QStringLiteral("user@host's password: ")});
    ASSERT_TRUE(askpass.waitForFinished(10000));
    EXPECT_EQ(askpass.exitCode(), 0);
    EXPECT_EQ(askpass.readAllStandardOutput(), QStringLiteral("pä ss\"word\n").toUtf8());
    EXPECT_TRUE(askpass.readAllStandardError().isEmpty());

    askpass.setProcessEnvironment(QProcessEnvironment());
    askpass.start(SFTPClient::askpass(), {});
    ASSERT_TRUE(askpass.waitForFinished(10000));
    EXPECT_NE(askpass.exitCode(), 0);
    EXPECT_TRUE(askpass.readAll().isEmpty());
}

} // namespace
