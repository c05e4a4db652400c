#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <variant>

// Where an entry came from, so that the watch history and the marks can rebuild it later: nothing
// recorded, a local file, or a file of a paired media server's library. A plain value; any thread.
//
// Stored form (embedded in other records' JSON, so the member names and nesting are fixed):
//   none   → {"none": {}}
//   file   → {"file": {"_0": path}}
//   server → {"server": {"_0": serverID, "_1": libraryID, "_2": path, "_3": convert}}
class MediaOrigin {
public:
    enum class Case { none, file, server };

    // Why a stored form did not decode; `description` is a finished sentence.
    struct DecodeError {
        enum class Kind { typeMismatch, keyNotFound };
        Kind kind = Kind::typeMismatch;
        QString description;

        bool operator==(const DecodeError& other) const = default;
    };
    using Decoded = std::variant<MediaOrigin, DecodeError>;

    MediaOrigin() = default;
    static MediaOrigin none() { return {}; }
    static MediaOrigin file(const QString& path);
    static MediaOrigin server(const QString& serverID, const QString& libraryID, const QString& path,
                              bool convert);

    Case kind() const { return m_case; }
    // The file's path (`file`) or the path within the library (`server`); empty for `none`.
    QString path() const { return m_path; }
    QString serverID() const { return m_serverID; }
    QString libraryID() const { return m_libraryID; }
    // Whether the server must convert the file into a stream for playback (`server` only).
    bool convert() const { return m_convert; }

    bool operator==(const MediaOrigin& other) const = default;

    QJsonObject toJson() const;
    // Compact UTF-8 JSON of toJson().
    QByteArray encode() const;

    // Reads the case keys "none", "file" and "server" and ignores others; exactly one known key is
    // required ("Invalid number of keys found, expected one."), and its values must be present
    // with their types.
    static Decoded fromJson(const QJsonValue& value);
    static Decoded decode(const QByteArray& json);

private:
    Case m_case = Case::none;
    QString m_path;
    QString m_serverID;
    QString m_libraryID;
    bool m_convert = false;
};
