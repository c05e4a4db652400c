#include "library/history/MediaRecents.h"

#include "common/Log.h"
#include "common/UserDefaults.h"
#include "library/marks/MediaMarks.h"
#include "library/notify/MediaNotifier.h"
#include "media/settings/MediaPlayerSettings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTimeZone>
#include <QUrl>

#include <cmath>

namespace MediaRecents {

namespace {

const QDateTime& referenceDate() {
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return date;
}

void save(const QList<Record>& records) {
    QJsonArray array;
    bool encodable = true;
    for (const Record& record : records) {
        // JSON has no infinity or NaN; such a list cannot be written at all.
        if (!std::isfinite(record.seconds) || !std::isfinite(record.duration))
            encodable = false;
        array.append(record.toJson());
    }
    if (encodable) {
        UserDefaults::media().setData(storeKey, QJsonDocument(array).toJson(QJsonDocument::Compact));
        UserDefaults::media().sync(); // on disk before another process hears of it
    }
    MediaNotifier::shared().post(changed);
}

} // namespace

double referenceSeconds(const QDateTime& date) {
    return double(referenceDate().msecsTo(date)) / 1000.0;
}

QDateTime fromReferenceSeconds(double seconds) {
    return referenceDate().addMSecs(qint64(std::llround(seconds * 1000.0)));
}

bool Record::inProgress() const {
    return kind == QLatin1String("video") && duration >= 120 && seconds > 5 && seconds < duration - 15;
}

double Record::progress() const {
    if (!(duration > 0))
        return 0;
    return std::min(seconds / duration, 1.0);
}

QJsonObject Record::toJson() const {
    return {{QStringLiteral("key"), key},
            {QStringLiteral("name"), name},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("origin"), origin.toJson()},
            {QStringLiteral("seconds"), seconds},
            {QStringLiteral("duration"), duration},
            {QStringLiteral("date"), referenceSeconds(date)}};
}

std::optional<Record> Record::fromJson(const QJsonObject& object) {
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue kind = object.value(QStringLiteral("kind"));
    const QJsonValue seconds = object.value(QStringLiteral("seconds"));
    const QJsonValue duration = object.value(QStringLiteral("duration"));
    const QJsonValue date = object.value(QStringLiteral("date"));
    if (!key.isString() || !name.isString() || !kind.isString() || !seconds.isDouble() ||
        !duration.isDouble() || !date.isDouble())
        return std::nullopt;
    const MediaOrigin::Decoded origin = MediaOrigin::fromJson(object.value(QStringLiteral("origin")));
    if (!std::holds_alternative<MediaOrigin>(origin))
        return std::nullopt;
    return Record{key.toString(),
                  name.toString(),
                  kind.toString(),
                  std::get<MediaOrigin>(origin),
                  seconds.toDouble(),
                  duration.toDouble(),
                  fromReferenceSeconds(date.toDouble())};
}

QString clearingName(Clearing how) {
    switch (how) {
    case Clearing::continueWatching:
        return QStringLiteral("continueWatching");
    case Clearing::recentlyPlayed:
        return QStringLiteral("recentlyPlayed");
    case Clearing::everything:
        break;
    }
    return QStringLiteral("everything");
}

QList<Record> all() {
    const QJsonDocument document = QJsonDocument::fromJson(UserDefaults::media().data(storeKey));
    if (!document.isArray())
        return {};
    QList<Record> records;
    for (const QJsonValue& value : document.array()) {
        const std::optional<Record> record =
            value.isObject() ? Record::fromJson(value.toObject()) : std::nullopt;
        if (!record)
            return {}; // one bad record makes the whole stored value unreadable
        records.append(*record);
    }
    return records;
}

void note(const MediaEntry& entry, double seconds, double duration) {
    if (entry.origin.kind() == MediaOrigin::Case::none || !(duration > 0) || !std::isfinite(seconds))
        return;
    if (MediaMarks::shared().excludedFromHome(entry.key))
        return;
    QList<Record> records = all();
    records.removeIf([&](const Record& r) { return r.key == entry.key; });
    records.prepend(Record{entry.key, entry.name, entry.kind.rawValue(), entry.origin, seconds, duration,
                           QDateTime::currentDateTimeUtc()});
    if (records.size() > limit)
        records.resize(limit);
    save(records);
}

void remove(const Record& record) {
    QList<Record> records = all();
    records.removeIf([&](const Record& r) { return r.key == record.key; });
    save(records);
}

void clear(Clearing how) {
    QList<Record> records = all();
    QSet<QString> dropped;
    for (const Record& record : records) {
        const bool pick =
            how == Clearing::everything || (how == Clearing::continueWatching) == record.inProgress();
        if (pick)
            dropped.insert(record.key);
    }
    const qsizetype before = records.size();
    records.removeIf([&](const Record& r) { return dropped.contains(r.key); });
    save(records);
    if (how == Clearing::continueWatching)
        MediaPlayerSettings::forgetResume(dropped);
    else if (how == Clearing::everything)
        MediaPlayerSettings::forgetResume();
    Log::info(Log::Area::app, QStringLiteral("Media library: cleared %1 (%2 item(s))")
                                  .arg(clearingName(how))
                                  .arg(before - records.size()));
}

std::optional<MediaEntry> entry(const Record& record) {
    return entry(record.origin, record.name, record.kind);
}

std::optional<MediaEntry> entry(const MediaOrigin& origin, const QString& name, const QString& kind) {
    Q_UNUSED(name);
    Q_UNUSED(kind);
    if (origin.kind() != MediaOrigin::Case::file || !QFileInfo::exists(origin.path()))
        return std::nullopt;
    return MediaEntry::file(QUrl::fromLocalFile(origin.path()));
}

} // namespace MediaRecents
