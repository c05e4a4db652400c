#include "network/servers/ServerAddress.h"

#include "network/sftp/SFTPText.h"

#include <QRegularExpression>

namespace {

std::optional<NetworkServerKind> kindForScheme(const QString& scheme) {
    static const struct {
        const char* scheme;
        NetworkServerKind::Value kind;
    } kAliases[] = {
        {"smb", NetworkServerKind::smb},         {"cifs", NetworkServerKind::smb},
        {"afp", NetworkServerKind::afp},         {"nfs", NetworkServerKind::nfs},
        {"http", NetworkServerKind::webdav},     {"webdav", NetworkServerKind::webdav},
        {"dav", NetworkServerKind::webdav},      {"https", NetworkServerKind::webdavs},
        {"webdavs", NetworkServerKind::webdavs}, {"davs", NetworkServerKind::webdavs},
        {"ftp", NetworkServerKind::ftp},         {"sftp", NetworkServerKind::sftp},
        {"ssh", NetworkServerKind::sftp},
    };
    for (const auto& alias : kAliases) {
        if (scheme == QLatin1String(alias.scheme))
            return NetworkServerKind(alias.kind);
    }
    return std::nullopt;
}

// QUrl lower-cases host names; the record keeps the host as the user wrote it ("PC"), so the
// spelling is taken from the text when it names the same host.
QString hostAsWritten(const QString& text, const QString& parsedHost) {
    QString authority = text.mid(text.indexOf(QLatin1String("://")) + 3);
    const qsizetype end = authority.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    if (end >= 0)
        authority.truncate(end);
    authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    QString host;
    if (authority.startsWith(QLatin1Char('['))) {
        host = authority.mid(1, authority.indexOf(QLatin1Char(']')) - 1);
    } else {
        const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
        host = colon >= 0 ? authority.left(colon) : authority;
    }
    host = QUrl::fromPercentEncoding(host.toUtf8());
    return host.compare(parsedHost, Qt::CaseInsensitive) == 0 ? host : parsedHost;
}

bool onlySlashes(const QString& path) {
    for (const QChar c : path) {
        if (c != QLatin1Char('/'))
            return false;
    }
    return true;
}

} // namespace

namespace ServerAddress {

std::optional<NetworkServer> parse(const QString& pasted) {
    QString text = pasted.trimmed();
    if (text.startsWith(QLatin1String("\\\\"))) {
        text = text.mid(2);
        text.replace(QLatin1Char('\\'), QLatin1Char('/'));
        text.prepend(QLatin1String("smb://"));
    }
    if (!text.contains(QLatin1String("://")))
        return std::nullopt;

    const QUrl address(text, QUrl::TolerantMode);
    if (!address.isValid())
        return std::nullopt;
    const QString scheme = address.scheme().toLower();
    const QString parsedHost = address.host(QUrl::FullyDecoded);
    if (scheme.isEmpty() || parsedHost.isEmpty())
        return std::nullopt;
    const auto kind = kindForScheme(scheme);
    if (!kind)
        return std::nullopt;

    const QString host = hostAsWritten(text, parsedHost);
    const QString user = address.userName(QUrl::FullyDecoded);
    if (!SFTPText::isSafeTarget(host) || !SFTPText::isSafeTarget(user))
        return std::nullopt;

    const int port = address.port(-1);
    // QUrl reads "host:" as no port; a port it accepts may still be 0.
    if (port != -1 && !isValidPort(port))
        return std::nullopt;

    QString path = address.path(QUrl::FullyDecoded);
    if (onlySlashes(path))
        path.clear();

    NetworkServer server;
    server.name = host;
    server.kind = *kind;
    server.host = host;
    if (port != -1)
        server.port = port;
    server.path = path;
    server.user = user;
    server.reconnect = false;
    return server;
}

std::optional<QUrl> url(const NetworkServer& server) {
    if (server.host.isEmpty())
        return std::nullopt;
    if (server.port && !isValidPort(*server.port))
        return std::nullopt;
    QUrl address;
    address.setScheme(server.kind.scheme());
    address.setHost(server.host, QUrl::DecodedMode);
    if (server.port && *server.port != server.kind.defaultPort())
        address.setPort(*server.port);

    QString path = server.path;
    qsizetype start = 0;
    qsizetype end = path.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(path.at(start)))
        ++start;
    while (end > start && blank(path.at(end - 1)))
        --end;
    path = path.mid(start, end - start);
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    address.setPath(path, QUrl::DecodedMode);

    if (!address.isValid() || address.host().isEmpty())
        return std::nullopt;
    return address;
}

QString bracketed(const QString& host) {
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        return QLatin1Char('[') + host + QLatin1Char(']');
    return host;
}

bool isValidPort(int port) {
    return port >= 1 && port <= 65535;
}

} // namespace ServerAddress
