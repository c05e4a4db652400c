#pragma once

#include "media/entries/MediaEntry.h"
#include "mediaserver/MediaServerError.h"
#include "mediaserver/MediaServerRecords.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <utility>
#include <variant>

// Addresses of a media server's resources and the player entries built on them. Pure functions:
// the token is handed in by the caller (MediaServers reads it from the token file). Any thread.
//
// A saved host comes from another tool of the suite or from the network, so it is checked before
// it becomes part of an address: a host that is empty, holds spaces or a character that would
// move the address to another server ("/", "@", "?", "#"), or a port outside 1-65535, gives an
// `address` error instead of an address.
namespace MediaServerAddress {

// Query items in the order they are sent.
using Query = QList<std::pair<QString, QString>>;
using Built = std::variant<QUrl, MediaServerError>;

// "http://" + host + ":" + port + "/", an IPv6 host in brackets: http://[fe80::1]:8642/. Text only;
// `url` checks it.
QString base(const MediaServerRecords::Server& server);

// base + path, with the query items in order and then "t" = token (empty when there is none).
// Values are fully percent-encoded, "+" and "&" included, so a path reaches the server as it is.
Built url(const MediaServerRecords::Server& server, const QString& path, const Query& query,
          const QString& token);

// "image" → image, "audio" → audio, anything else → video.
PlayerMediaKind kind(const QString& serverKind);

// The player entry of a server file: "api/hls" when the server must convert it, else "api/file".
std::variant<MediaEntry, MediaServerError> entry(const MediaServerRecords::Server& server,
                                                 const QString& libraryID, const QString& path,
                                                 const QString& name, PlayerMediaKind kind, bool convert,
                                                 const QString& token);

} // namespace MediaServerAddress
