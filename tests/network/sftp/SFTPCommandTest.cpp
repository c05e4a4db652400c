#include "network/sftp/SFTPCommand.h"

#include "common/MediaApp.h"

#include <gtest/gtest.h>

namespace {

NetworkServer server(const char* host, const char* user, std::optional<int> port) {
    NetworkServer record;
    record.kind = NetworkServerKind::sftp;
    record.host = QString::fromUtf8(host);
    record.user = QString::fromUtf8(user);
    record.port = port;
    return record;
}

const QStringList kCommon{QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=accept-new"),
                          QStringLiteral("-o"), QStringLiteral("ConnectTimeout=10"),
                          QStringLiteral("-o"), QStringLiteral("ServerAliveInterval=15"),
                          QStringLiteral("-o"), QStringLiteral("NumberOfPasswordPrompts=1")};

TEST(SFTPCommandTest, ArgumentsWithoutPassword) {
    QStringList expected{QStringLiteral("-b"), QStringLiteral("-"), QStringLiteral("-P"),
                         QStringLiteral("22")};
    expected << kCommon << QStringLiteral("--") << QStringLiteral("alice@[fe80::1]");
    EXPECT_EQ(SFTPCommand::arguments(server("fe80::1", "alice", std::nullopt), false), expected);
}

TEST(SFTPCommandTest, ArgumentsWithPassword) {
    QStringList expected{QStringLiteral("-o"), QStringLiteral("BatchMode=no"), QStringLiteral("-b"),
                         QStringLiteral("-"),  QStringLiteral("-P"),           QStringLiteral("2222")};
    expected << kCommon << QStringLiteral("-o")
             << QStringLiteral("PreferredAuthentications=password,keyboard-interactive,publickey")
             << QStringLiteral("--") << QStringLiteral("nas.local");
    EXPECT_EQ(SFTPCommand::arguments(server("nas.local", "", 2222), true), expected);
}

TEST(SFTPCommandTest, AskpassEnvironmentOnlyWithAPassword) {
    QProcessEnvironment base;
    base.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
    const QProcessEnvironment without =
        SFTPCommand::environment(base, QString(), QStringLiteral("/x/askpass"));
    EXPECT_EQ(without, base);
    const QProcessEnvironment with =
        SFTPCommand::environment(base, QStringLiteral("pässword"), QStringLiteral("/x/askpass"));
    EXPECT_EQ(with.value(QStringLiteral("PATH")), QStringLiteral("/usr/bin"));
    EXPECT_EQ(with.value(QStringLiteral("SSH_ASKPASS")), QStringLiteral("/x/askpass"));
    EXPECT_EQ(with.value(QStringLiteral("SSH_ASKPASS_REQUIRE")), QStringLiteral("force"));
    EXPECT_EQ(with.value(QStringLiteral("HALCYRIN_ASKPASS")), QStringLiteral("pässword"));
}

TEST(SFTPCommandTest, TargetChecks) {
    const struct {
        NetworkServer server;
        bool valid;
    } cases[] = {
        {server("nas", "", std::nullopt), true},
        {server("nas", "alice", 22), true},
        {server("fe80::1", "", 65535), true},
        {server("", "alice", std::nullopt), false},
        {server("-oProxyCommand=x", "", std::nullopt), false},
        {server("nas", "-alice", std::nullopt), false},
        {server("nas", "al ice", std::nullopt), false},
        {server("na\ns", "", std::nullopt), false},
        {server("nas", "", 0), false},
        {server("nas", "", -22), false},
        {server("nas", "", 70000), false},
    };
    for (const auto& c : cases) {
        const auto refusal = SFTPCommand::checkTarget(c.server);
        EXPECT_EQ(!refusal.has_value(), c.valid)
            << c.server.host.toStdString() << " " << c.server.user.toStdString();
        if (refusal) {
            EXPECT_EQ(*refusal, QStringLiteral("This server's address or user name isn't valid."));
        }
    }
}

TEST(SFTPCommandTest, CommandChecksAndBatch) {
    EXPECT_FALSE(SFTPCommand::checkCommands({QStringLiteral("ls -la \"a \\\"b\\\\\"")}).has_value());
    EXPECT_EQ(SFTPCommand::checkCommands({QStringLiteral("ls"), QStringLiteral("get \"a\nrm x\"")}),
              QStringLiteral("That file name has characters SFTP can't handle."));
    EXPECT_EQ(SFTPCommand::batch({QStringLiteral("ls -la \"é\"")}), QByteArray("ls -la \"\xc3\xa9\"\n"));
    EXPECT_EQ(SFTPCommand::batch({QStringLiteral("a"), QStringLiteral("b")}), QByteArray("a\nb\n"));
}

TEST(SFTPCommandTest, Messages) {
    const QString denied = QStringLiteral("The server didn't accept the user name, password or SSH key.");
    const QString identity =
        QStringLiteral("The server's identity changed since last time, so ") + MediaApp::name() +
        QStringLiteral(" didn't connect (this can mean someone is impersonating it). If the server "
                       "was reinstalled, remove its old key with: ssh-keygen -R <address>");
    const QString refused =
        QStringLiteral("The server refused the connection. Is SSH turned on, and is the port right?");
    const QString unreachable = QStringLiteral(
        "Couldn't reach the server. Check the address and that it's on the same network (or VPN).");
    const struct {
        const char* error;
        QString message;
    } cases[] = {
        {"alice@127.0.0.1: Permission denied (publickey,password).\r\nConnection closed\r\n", denied},
        {"Connection closed\r\n", denied},
        // sftp's closing "Connection closed" never hides the reason ssh gave before it.
        {"ssh: connect to host 127.0.0.1 port 9: Connection refused\r\nConnection closed\r\n", refused},
        {"ssh: Could not resolve hostname a.invalid: Name or service not known\r\nConnection closed\r\n",
         QStringLiteral("That server name couldn't be found.")},
        {"Host key verification failed.\r\nConnection closed\r\n", identity},
        {"Received disconnect: Too many authentication failures\n", denied},
        {"@@@ WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! @@@\nHost key verification failed.\n",
         identity},
        {"ssh: Could not resolve hostname nas.invalid: Name or service not known\n",
         QStringLiteral("That server name couldn't be found.")},
        {"ssh: connect to host 10.0.0.1 port 22: Connection timed out\n", unreachable},
        {"ssh: connect to host 10.0.0.1 port 22: No route to host\n", unreachable},
        {"ssh: connect to host 10.0.0.1 port 22: Network is unreachable\n", unreachable},
        {"ssh: connect to host 127.0.0.1 port 9: CONNECTION REFUSED", refused},
        {"remote open(\"/x\"): No such file or directory\n",
         QStringLiteral("That folder or file doesn't exist on the server.")},
        {"File \"/x\" not found.\n", QStringLiteral("That folder or file doesn't exist on the server.")},
        {"first line\nSomething Odd Happened: Code 7\n\n  \n",
         QStringLiteral("Something Odd Happened: Code 7")},
        {"", QStringLiteral("SFTP failed.")},
        {"\n \n", QStringLiteral("SFTP failed.")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SFTPCommand::message(QString::fromUtf8(c.error)), c.message) << c.error;
}

} // namespace
