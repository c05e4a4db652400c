#include "network/sftp/SFTPCommand.h"

#include "common/MediaApp.h"
#include "network/servers/ServerAddress.h"
#include "network/sftp/SFTPText.h"

namespace SFTPCommand {

QString invalidTargetMessage() {
    return QStringLiteral("This server's address or user name isn't valid.");
}

QString unsafeCommandMessage() {
    return QStringLiteral("That file name has characters SFTP can't handle.");
}

std::optional<QString> checkTarget(const NetworkServer& server) {
    const bool hostOK = !server.host.isEmpty() && SFTPText::isSafeTarget(server.host);
    const bool userOK = server.user.isEmpty() || SFTPText::isSafeTarget(server.user);
    const bool portOK = !server.port || ServerAddress::isValidPort(*server.port);
    if (hostOK && userOK && portOK)
        return std::nullopt;
    return invalidTargetMessage();
}

std::optional<QString> checkCommands(const QStringList& commands) {
    for (const QString& command : commands) {
        if (!SFTPText::isSafe(command))
            return unsafeCommandMessage();
    }
    return std::nullopt;
}

QStringList arguments(const NetworkServer& server, bool withPassword) {
    QStringList arguments;
    if (withPassword)
        arguments << QStringLiteral("-o") << QStringLiteral("BatchMode=no");
    // No "-q": batch mode already keeps sftp quiet, and "-q" would also silence ssh, whose
    // stderr is the only place the reason for a failed connection appears.
    arguments << QStringLiteral("-b") << QStringLiteral("-") << QStringLiteral("-P")
              << QString::number(server.port.value_or(22));
    arguments << QStringLiteral("-o") << QStringLiteral("StrictHostKeyChecking=accept-new");
    arguments << QStringLiteral("-o") << QStringLiteral("ConnectTimeout=10");
    arguments << QStringLiteral("-o") << QStringLiteral("ServerAliveInterval=15");
    arguments << QStringLiteral("-o") << QStringLiteral("NumberOfPasswordPrompts=1");
    if (withPassword) {
        arguments << QStringLiteral("-o")
                  << QStringLiteral("PreferredAuthentications=password,keyboard-interactive,publickey");
    }
    const QString host = ServerAddress::bracketed(server.host);
    arguments << QStringLiteral("--")
              << (server.user.isEmpty() ? host : server.user + QLatin1Char('@') + host);
    return arguments;
}

QProcessEnvironment environment(const QProcessEnvironment& base, const QString& password,
                                const QString& askpass) {
    QProcessEnvironment environment = base;
    if (!password.isEmpty()) {
        environment.insert(QStringLiteral("SSH_ASKPASS"), askpass);
        environment.insert(QStringLiteral("SSH_ASKPASS_REQUIRE"), QStringLiteral("force"));
        environment.insert(QStringLiteral("HALCYRIN_ASKPASS"), password);
    }
    return environment;
}

QByteArray batch(const QStringList& commands) {
    return (commands.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QString message(const QString& standardError) {
    const QString text = standardError.toLower();
    auto has = [&text](std::initializer_list<const char*> needles) {
        for (const char* needle : needles) {
            if (text.contains(QLatin1String(needle)))
                return true;
        }
        return false;
    };
    const QString denied = QStringLiteral("The server didn't accept the user name, password or SSH key.");
    if (has({"permission denied", "too many authentication"}))
        return denied;
    if (has({"host key verification failed", "remote host identification has changed"})) {
        return QStringLiteral("The server's identity changed since last time, so ") + MediaApp::name() +
               QStringLiteral(
                   " didn't connect (this can mean someone is impersonating it). If the server was "
                   "reinstalled, remove its old key with: ssh-keygen -R <address>");
    }
    if (has({"could not resolve"}))
        return QStringLiteral("That server name couldn't be found.");
    if (has({"timed out", "no route", "network is unreachable"}))
        return QStringLiteral(
            "Couldn't reach the server. Check the address and that it's on the same network (or VPN).");
    if (has({"connection refused"}))
        return QStringLiteral("The server refused the connection. Is SSH turned on, and is the port right?");
    // sftp ends every failed connection with "Connection closed", so it only decides when no
    // more specific reason was given.
    if (has({"connection closed"}))
        return denied;
    if (has({"no such file", "not found"}))
        return QStringLiteral("That folder or file doesn't exist on the server.");
    const QStringList lines = standardError.split(QLatin1Char('\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->trimmed().isEmpty())
            return *it;
    }
    return QStringLiteral("SFTP failed.");
}

} // namespace SFTPCommand
