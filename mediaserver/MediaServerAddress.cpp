#include "mediaserver/MediaServerAddress.h"

#include <QHostAddress>

namespace MediaServerAddress {

namespace {

MediaServerError invalidAddress() {
    return {
        MediaServerError::Kind::address,
        QStringLiteral("The server's saved address isn't a valid network address. Check its host name and "
                       "port, or pair it again.")};
}

bool isUsableHost(const QString& host) {
    if (host.isEmpty())
        return false;
    if (host.contains(QLatin1Char(':'))) {
        // Only an IPv6 address has colons; anything else would be read as a port or worse.
        QHostAddress address;
        return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv6Protocol;
    }
    for (const QChar c : host) {
        if (c.isSpace() || c.category() == QChar::Other_Control || QStringLiteral("/\\?#@[]%").contains(c))
            return false;
    }
    return true;
}

QString encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QString base(const MediaServerRecords::Server& server) {
    const QString host = server.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + server.host + QLatin1Char(']')
                             : server.host;
    return QStringLiteral("http://") + host + QLatin1Char(':') + QString::number(server.port) +
           QLatin1Char('/');
}

Built url(const MediaServerRecords::Server& server, const QString& path, const Query& query,
          const QString& token) {
    if (!isUsableHost(server.host) || server.port < 1 || server.port > 65535)
        return invalidAddress();
    QUrl address(base(server), QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty() || address.port() != server.port)
        return invalidAddress();

    QString prefix = address.path();
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    address.setPath(prefix + path);

    QStringList items;
    for (const auto& [name, value] : query)
        items.append(encoded(name) + QLatin1Char('=') + encoded(value));
    items.append(QStringLiteral("t=") + encoded(token));
    address.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
    if (!address.isValid())
        return invalidAddress();
    return address;
}

PlayerMediaKind kind(const QString& serverKind) {
    if (serverKind == QLatin1String("image"))
        return PlayerMediaKind::image;
    if (serverKind == QLatin1String("audio"))
        return PlayerMediaKind::audio;
    return PlayerMediaKind::video;
}

std::variant<MediaEntry, MediaServerError> entry(const MediaServerRecords::Server& server,
                                                 const QString& libraryID, const QString& path,
                                                 const QString& name, PlayerMediaKind kind, bool convert,
                                                 const QString& token) {
    const Built built = url(server, convert ? QStringLiteral("api/hls") : QStringLiteral("api/file"),
                            {{QStringLiteral("lib"), libraryID}, {QStringLiteral("path"), path}}, token);
    if (const auto* error = std::get_if<MediaServerError>(&built))
        return *error;
    return MediaEntry{std::get<QUrl>(built),
                      name,
                      kind,
                      false,
                      MediaEntry::serverKey(server.id, libraryID, path),
                      MediaOrigin::server(server.id, libraryID, path, convert)};
}

} // namespace MediaServerAddress
