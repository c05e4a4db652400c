#pragma once

#include "media/entries/MediaOrigin.h"
#include "media/entries/PlayerMediaKind.h"

#include <QString>
#include <QUrl>

#include <optional>

// One playable item of a player's list: a local file (including files on mounted shares) or a
// media server's stream. Equal when all six fields are equal, the origin included. A plain value;
// any thread, except that file() touches the file system.
struct MediaEntry {
    // A file URL for a local file; the server's http(s) stream URL for a server file.
    QUrl url;
    // The file's last path component, or the server's file name; the window title.
    QString name;
    PlayerMediaKind kind = PlayerMediaKind::video;
    // True for a file on this computer, false for a server stream.
    bool local = true;
    // Stable identity across sessions: a local file's path exactly as the URL gives it, or
    // serverID + ":" + libraryID + ":" + the path within the library.
    QString key;
    // The only field callers change after construction.
    MediaOrigin origin;

    bool operator==(const MediaEntry& other) const = default;

    // The entry of a local file, or none when the file is not playable (MediaFile::kind).
    static std::optional<MediaEntry> file(const QUrl& url);
    // A server file's key: "S1:movies:Films/a.mkv".
    static QString serverKey(const QString& serverID, const QString& libraryID, const QString& path);
};
