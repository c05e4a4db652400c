#include "library/marks/MediaMarks.h"

#include "common/Log.h"
#include "common/UserDefaults.h"
#include "library/history/MediaRecents.h"
#include "library/notify/MediaNotifier.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPointer>

#include <algorithm>

namespace {

UserDefaults& store() {
    return UserDefaults::media();
}

template <typename T, typename Decode>
std::optional<QMap<QString, T>> decodeMap(const QByteArray& data, Decode decode) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    QMap<QString, T> map;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        std::optional<T> value = decode(it.value());
        if (!value)
            return std::nullopt; // one bad member makes the whole value unreadable
        map.insert(it.key(), *value);
    }
    return map;
}

} // namespace

QJsonObject MediaMarks::Mark::toJson() const {
    return {{QStringLiteral("key"), key},
            {QStringLiteral("name"), name},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("origin"), origin.toJson()},
            {QStringLiteral("date"), MediaRecents::referenceSeconds(date)}};
}

std::optional<MediaMarks::Mark> MediaMarks::Mark::fromJson(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    const QJsonValue key = o.value(QStringLiteral("key"));
    const QJsonValue name = o.value(QStringLiteral("name"));
    const QJsonValue kind = o.value(QStringLiteral("kind"));
    const QJsonValue date = o.value(QStringLiteral("date"));
    if (!value.isObject() || !key.isString() || !name.isString() || !kind.isString() || !date.isDouble())
        return std::nullopt;
    const MediaOrigin::Decoded origin = MediaOrigin::fromJson(o.value(QStringLiteral("origin")));
    if (!std::holds_alternative<MediaOrigin>(origin))
        return std::nullopt;
    return Mark{key.toString(), name.toString(), kind.toString(), std::get<MediaOrigin>(origin),
                MediaRecents::fromReferenceSeconds(date.toDouble())};
}

QList<MediaMarks::Rating> MediaMarks::allRatings() {
    return {Rating::notForMe, Rating::like, Rating::love};
}

std::optional<MediaMarks::Rating> MediaMarks::ratingFromRaw(int raw) {
    for (Rating rating : allRatings()) {
        if (int(rating) == raw)
            return rating;
    }
    return std::nullopt;
}

QString MediaMarks::title(Rating rating) {
    switch (rating) {
    case Rating::notForMe:
        return QStringLiteral("Not for Me");
    case Rating::like:
        return QStringLiteral("I Like This");
    case Rating::love:
        break;
    }
    return QStringLiteral("Love This!");
}

QString MediaMarks::symbol(Rating rating) {
    switch (rating) {
    case Rating::notForMe:
        return QStringLiteral("hand.thumbsdown");
    case Rating::like:
        return QStringLiteral("hand.thumbsup");
    case Rating::love:
        break;
    }
    return QStringLiteral("heart");
}

MediaMarks& MediaMarks::shared() {
    static MediaMarks* marks = [] {
        auto* created = new MediaMarks(nullptr);
        created->setParent(QCoreApplication::instance());
        return created;
    }();
    return *marks;
}

MediaMarks::MediaMarks(std::unique_ptr<OwnerAuthentication> authentication, QObject* parent)
    : QObject(parent)
    , m_authentication(std::move(authentication)) {
    load();
    connect(&MediaNotifier::shared(), &MediaNotifier::mediaMarksChanged, this, [this](bool fromOtherProcess) {
        if (!fromOtherProcess)
            return;
        store().sync();
        load();
    });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                return;
            store().sync();
            load();
        });
    }
}

MediaMarks::~MediaMarks() = default;

void MediaMarks::setAuthentication(std::unique_ptr<OwnerAuthentication> authentication) {
    m_authentication = std::move(authentication);
}

void MediaMarks::setUnlocked(bool unlocked) {
    if (m_unlocked == unlocked)
        return;
    m_unlocked = unlocked;
    Q_EMIT unlockedChanged(unlocked);
}

std::optional<MediaMarks::Rating> MediaMarks::rating(const QString& key) const {
    const auto it = m_ratings.constFind(key);
    return it == m_ratings.cend() ? std::nullopt : std::optional<Rating>(it->rating);
}

void MediaMarks::rate(const Mark& mark, std::optional<Rating> rating) {
    if (rating && this->rating(mark.key) != rating) {
        Mark dated = mark;
        dated.date = QDateTime::currentDateTimeUtc();
        m_ratings.insert(mark.key, Rated{dated, *rating});
    } else {
        m_ratings.remove(mark.key);
    }
    Q_EMIT ratingsChanged();
    save();
}

QList<MediaMarks::Rated> MediaMarks::favorites() const {
    QList<Rated> result;
    for (const Rated& rated : m_ratings) {
        if (rated.rating == Rating::notForMe || excludedFromHome(rated.mark.key))
            continue;
        result.append(rated);
    }
    std::stable_sort(result.begin(), result.end(), [](const Rated& a, const Rated& b) {
        if (a.rating != b.rating)
            return int(a.rating) > int(b.rating);
        return a.mark.date > b.mark.date;
    });
    return result;
}

bool MediaMarks::isHidden(const QString& key) const {
    return m_hidden.contains(key);
}

void MediaMarks::setHidden(const Mark& mark, bool hidden) {
    if (hidden)
        m_hidden.insert(mark.key, mark);
    else
        m_hidden.remove(mark.key);
    Q_EMIT hiddenChanged();
    save();
}

bool MediaMarks::isPrivate(const QString& key) const {
    return std::any_of(m_privateFolders.cbegin(), m_privateFolders.cend(),
                       [&](const QString& prefix) { return !prefix.isEmpty() && key.startsWith(prefix); });
}

void MediaMarks::setPrivate(const QString& prefix, bool on) {
    m_privateFolders.removeAll(prefix);
    if (on)
        m_privateFolders.append(prefix);
    Q_EMIT privateFoldersChanged();
    save();
}

bool MediaMarks::excludedFromHome(const QString& key) const {
    return isHidden(key) || isPrivate(key);
}

void MediaMarks::unlock(std::function<void(bool)> done) {
    if (m_unlocked || !m_authentication) {
        // Already open, or no means of owner authentication on this system: open without asking.
        setUnlocked(true);
        done(true);
        return;
    }
    QPointer<MediaMarks> self(this);
    m_authentication->authenticate(unlockReason, [self, done = std::move(done)](
                                                     OwnerAuthentication::Outcome outcome) {
        if (!self) {
            done(false);
            return;
        }
        if (outcome == OwnerAuthentication::Outcome::unavailable) {
            self->setUnlocked(true);
            done(true);
            return;
        }
        const bool granted = outcome == OwnerAuthentication::Outcome::granted;
        self->setUnlocked(granted);
        Log::info(Log::Area::app, granted ? QStringLiteral("Media library: private folders unlocked")
                                          : QStringLiteral("Media library: private folders stayed locked"));
        done(granted);
    });
}

void MediaMarks::load() {
    const auto ratings =
        decodeMap<Rated>(store().data(Keys::ratings), [](const QJsonValue& value) -> std::optional<Rated> {
            const QJsonObject object = value.toObject();
            const std::optional<Mark> mark = Mark::fromJson(object.value(QStringLiteral("mark")));
            const QJsonValue raw = object.value(QStringLiteral("rating"));
            const double number = raw.toDouble(0.5);
            const std::optional<Rating> rating =
                raw.isDouble() && number == std::floor(number) ? ratingFromRaw(int(number)) : std::nullopt;
            if (!value.isObject() || !mark || !rating)
                return std::nullopt;
            return Rated{*mark, *rating};
        });
    const auto hidden = decodeMap<Mark>(store().data(Keys::hidden), &Mark::fromJson);
    const QStringList privateFolders = store().stringArray(Keys::privateFolders);

    const QMap<QString, Rated> newRatings = ratings.value_or(QMap<QString, Rated>());
    const QMap<QString, Mark> newHidden = hidden.value_or(QMap<QString, Mark>());
    if (newRatings != m_ratings) {
        m_ratings = newRatings;
        Q_EMIT ratingsChanged();
    }
    if (newHidden != m_hidden) {
        m_hidden = newHidden;
        Q_EMIT hiddenChanged();
    }
    if (privateFolders != m_privateFolders) {
        m_privateFolders = privateFolders;
        Q_EMIT privateFoldersChanged();
    }
}

void MediaMarks::save() {
    QJsonObject ratings;
    for (auto it = m_ratings.cbegin(); it != m_ratings.cend(); ++it)
        ratings.insert(it.key(), QJsonObject{{QStringLiteral("mark"), it->mark.toJson()},
                                             {QStringLiteral("rating"), int(it->rating)}});
    QJsonObject hidden;
    for (auto it = m_hidden.cbegin(); it != m_hidden.cend(); ++it)
        hidden.insert(it.key(), it->toJson());
    store().setData(Keys::ratings, QJsonDocument(ratings).toJson(QJsonDocument::Compact));
    store().setData(Keys::hidden, QJsonDocument(hidden).toJson(QJsonDocument::Compact));
    store().setStringArray(Keys::privateFolders, m_privateFolders);
    store().sync(); // on disk before another process hears of it
    MediaNotifier::shared().post(changed);
}
