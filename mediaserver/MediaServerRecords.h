#pragma once

#include "mediaserver/MediaServerError.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>

#include <variant>

// The records a media server sends, and the saved list's stored form. Decoding is strict: every
// member is required with its type, and one missing or mistyped member makes the whole answer
// undecodable; members we do not know are ignored. Pure functions over bytes; any thread.
namespace MediaServerRecords {

// A paired server; also the element of the saved list. Identified by `id`, which also keys its
// token.
struct Server {
    QString id;
    QString name;
    // A host name or an IP address; IPv6 without brackets.
    QString host;
    qint64 port = 0;

    bool operator==(const Server& other) const = default;
};

struct Library {
    QString id;
    QString name;
    // The server's word for what the library holds, passed on as it is.
    QString kind;

    bool operator==(const Library& other) const = default;
};

struct Folder {
    QString name;
    // The folder's path within its library.
    QString path;

    bool operator==(const Folder& other) const = default;
};

struct File {
    QString name;
    QString path;
    // "image", "audio", anything else means video.
    QString kind;
    qint64 size = 0;
    // True when the server must convert the file into an HLS stream for playback.
    bool convert = false;

    bool operator==(const File& other) const = default;
};

// One folder's content.
struct Listing {
    QString library;
    QString path;
    QList<Folder> folders;
    QList<File> files;

    bool operator==(const Listing& other) const = default;
};

template <typename T> using Decoded = std::variant<T, MediaServerError>;

// Decodes a JSON answer into T. Available for Server, Library, Folder, File, Listing and lists of
// each; a failure is a `decoding` error whose message names the member.
template <typename T> Decoded<T> decode(const QByteArray& json);
template <> Decoded<Server> decode<Server>(const QByteArray& json);
template <> Decoded<Library> decode<Library>(const QByteArray& json);
template <> Decoded<Folder> decode<Folder>(const QByteArray& json);
template <> Decoded<File> decode<File>(const QByteArray& json);
template <> Decoded<Listing> decode<Listing>(const QByteArray& json);
template <> Decoded<QList<Server>> decode<QList<Server>>(const QByteArray& json);
template <> Decoded<QList<Library>> decode<QList<Library>>(const QByteArray& json);
template <> Decoded<QList<Folder>> decode<QList<Folder>>(const QByteArray& json);
template <> Decoded<QList<File>> decode<QList<File>>(const QByteArray& json);
template <> Decoded<QList<Listing>> decode<QList<Listing>>(const QByteArray& json);

// The saved list's stored form: a JSON array of {"id", "name", "host", "port"} in that order.
QByteArray encodeServers(const QList<Server>& servers);

} // namespace MediaServerRecords

size_t qHash(const MediaServerRecords::Library& library, size_t seed = 0) noexcept;
size_t qHash(const MediaServerRecords::Folder& folder, size_t seed = 0) noexcept;
size_t qHash(const MediaServerRecords::File& file, size_t seed = 0) noexcept;
