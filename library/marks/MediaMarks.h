#pragma once

#include "library/privacy/OwnerAuthentication.h"
#include "media/entries/MediaOrigin.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The user's ratings, hidden items and private folders, applied wherever the library shows or
// remembers something. One shared instance, observable through its signals; it persists the marks
// under "fx.library.ratings", "fx.library.hidden" (UTF-8 JSON) and "fx.library.private" (a text
// array), posts "HalcyrinMediaMarksChanged" after every save, and re-reads the store when the
// application becomes active and when another process announces a change. `unlocked` is never
// stored. Main thread only; it owns its OwnerAuthentication.
class MediaMarks : public QObject {
    Q_OBJECT

public:
    struct Keys {
        static inline const QString ratings = QStringLiteral("fx.library.ratings");
        static inline const QString hidden = QStringLiteral("fx.library.hidden");
        static inline const QString privateFolders = QStringLiteral("fx.library.private");
    };
    static inline const QString changed = QStringLiteral("HalcyrinMediaMarksChanged");
    static inline const QString unlockReason = QStringLiteral("open your private folders");

    struct Mark {
        QString key;
        QString name;
        QString kind;
        MediaOrigin origin;
        QDateTime date = QDateTime::currentDateTimeUtc();

        bool operator==(const Mark& other) const = default;
        QJsonObject toJson() const;
        // All five members are required.
        static std::optional<Mark> fromJson(const QJsonValue& value);
    };

    enum class Rating { notForMe = -1, like = 1, love = 2 };
    static QList<Rating> allRatings();
    // Exactly -1, 1 or 2; any other raw value is no rating.
    static std::optional<Rating> ratingFromRaw(int raw);
    static QString title(Rating rating);
    static QString symbol(Rating rating);

    struct Rated {
        Mark mark;
        Rating rating;
        bool operator==(const Rated& other) const = default;
    };

    static MediaMarks& shared();
    // An instance over the media store (tests); `authentication` may be null (then unlock
    // behaves as on a system without owner authentication).
    explicit MediaMarks(std::unique_ptr<OwnerAuthentication> authentication, QObject* parent = nullptr);
    ~MediaMarks() override;

    void setAuthentication(std::unique_ptr<OwnerAuthentication> authentication);

    const QMap<QString, Rated>& ratings() const { return m_ratings; }
    const QMap<QString, Mark>& hidden() const { return m_hidden; }
    const QStringList& privateFolders() const { return m_privateFolders; }
    bool unlocked() const { return m_unlocked; }
    // Setting false locks the private folders again.
    void setUnlocked(bool unlocked);

    std::optional<Rating> rating(const QString& key) const;
    // Sets or changes the rating; the same rating again, or none, clears it.
    void rate(const Mark& mark, std::optional<Rating> rating);
    // Liked and loved items that are neither hidden nor private: love first, then newest first.
    QList<Rated> favorites() const;
    bool isHidden(const QString& key) const;
    void setHidden(const Mark& mark, bool hidden);
    // The key begins with a private folder prefix (a folder path followed by "/"), locked or not.
    bool isPrivate(const QString& key) const;
    void setPrivate(const QString& prefix, bool on);
    bool excludedFromHome(const QString& key) const;

    // Authenticates the owner and opens the private folders; `done(true)` when they are open.
    // Returns at once; `done` runs later on the main thread (at once when already unlocked).
    void unlock(std::function<void(bool)> done);

    // Re-reads the store (after the application became active or another process saved).
    void load();

Q_SIGNALS:
    void ratingsChanged();
    void hiddenChanged();
    void privateFoldersChanged();
    void unlockedChanged(bool unlocked);

private:
    void save();

    std::unique_ptr<OwnerAuthentication> m_authentication;
    QMap<QString, Rated> m_ratings;
    QMap<QString, Mark> m_hidden;
    QStringList m_privateFolders;
    bool m_unlocked = false;
};
