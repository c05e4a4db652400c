#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The update feed's format: an RSS 2.0 "appcast" whose items carry a build number
// (sparkle:version), a display version (sparkle:shortVersionString), release notes and an
// enclosure with the download's address, length and Ed25519 signature (sparkle:edSignature).
// Pure functions; any thread.
namespace Appcast {

struct Item {
    QString title;
    // The build number compared against ours.
    QString version;
    // The version shown to people; the build number when the feed gives none.
    QString shortVersion;
    // HTML release notes from <description>, or a link to them.
    QString notes;
    QUrl notesLink;
    QUrl download;
    qint64 length = 0;
    // Base64 of the 64-byte Ed25519 signature of the download.
    QByteArray signature;
};

// The feed's items in feed order; none when the text is not an RSS feed. Items without an
// enclosure or version are left out.
std::optional<QList<Item>> parse(const QByteArray& xml);

// Compares two version texts part by part ("1.10" > "1.9", "2" == "2.0"): negative, 0 or positive.
int compareVersions(const QString& a, const QString& b);

// The item with the highest version above `currentBuild`, or none when we are up to date.
std::optional<Item> newer(const QList<Item>& items, const QString& currentBuild);

} // namespace Appcast
