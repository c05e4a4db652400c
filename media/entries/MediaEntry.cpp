#include "media/entries/MediaEntry.h"

#include "media/entries/MediaFile.h"

std::optional<MediaEntry> MediaEntry::file(const QUrl& url) {
    const std::optional<PlayerMediaKind> kind = MediaFile::kind(url);
    if (!kind)
        return std::nullopt;
    const QString path = url.toLocalFile();
    return MediaEntry{url, url.fileName(), *kind, true, path, MediaOrigin::file(path)};
}

QString MediaEntry::serverKey(const QString& serverID, const QString& libraryID, const QString& path) {
    return serverID + QLatin1Char(':') + libraryID + QLatin1Char(':') + path;
}
