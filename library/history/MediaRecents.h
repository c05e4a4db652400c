#pragma once

#include "media/entries/MediaEntry.h"
#include "media/entries/MediaOrigin.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The watch history: at most 60 records of what the user last played and where they stopped,
// most recent first, one per key, stored as UTF-8 JSON under "fx.player.recents". No copy is kept
// in memory: every operation reads the stored list, changes it and writes it back, then posts
// "HalcyrinMediaRecentsChanged" through MediaNotifier. Hidden and private items are never
// recorded. Main thread only.
namespace MediaRecents {

inline const QString storeKey = QStringLiteral("fx.player.recents");
inline const QString changed = QStringLiteral("HalcyrinMediaRecentsChanged");
inline constexpr int limit = 60;

struct Record {
    QString key; // unique within the list
    QString name;
    QString kind; // "video", "audio" or "image"
    MediaOrigin origin;
    double seconds = 0;
    double duration = 0;
    QDateTime date;

    // A video of at least two minutes left after its first 5 s and more than 15 s before its end.
    bool inProgress() const;
    // seconds ÷ duration, at most 1; 0 without a positive duration.
    double progress() const;

    bool operator==(const Record& other) const = default;

    // The stored form: "key", "name", "kind", "origin", "seconds", "duration" and "date"
    // (seconds since 2001-01-01 00:00:00 UTC); all seven are needed to decode.
    QJsonObject toJson() const;
    static std::optional<Record> fromJson(const QJsonObject& object);
};

enum class Clearing { continueWatching, recentlyPlayed, everything };
// The case name as declared ("continueWatching").
QString clearingName(Clearing how);

// The stored list; empty when absent or undecodable.
QList<Record> all();
// The player left `entry` at `seconds` of `duration`: its record moves to the front.
void note(const MediaEntry& entry, double seconds, double duration);
// Forgets the record with that key.
void remove(const Record& record);
// Empties one shelf or the whole history, and forgets the matching resume positions.
void clear(Clearing how);
// The playable entry a record stands for, or none when it cannot be reached now.
std::optional<MediaEntry> entry(const Record& record);
std::optional<MediaEntry> entry(const MediaOrigin& origin, const QString& name, const QString& kind);

// Seconds since 2001-01-01 00:00:00 UTC, the stores' date form.
double referenceSeconds(const QDateTime& date);
QDateTime fromReferenceSeconds(double seconds);

} // namespace MediaRecents
