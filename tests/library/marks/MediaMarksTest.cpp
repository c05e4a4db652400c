#include "library/marks/MediaMarks.h"
#include "common/UserDefaults.h"
#include "library/notify/MediaNotifier.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {

MediaMarks::Mark mark(const QString& key, QDateTime date = QDateTime::currentDateTimeUtc()) {
    return {key, key.section(QLatin1Char('/'), -1), QStringLiteral("video"), MediaOrigin::file(key), date};
}

class MediaMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& key :
             {MediaMarks::Keys::ratings, MediaMarks::Keys::hidden, MediaMarks::Keys::privateFolders})
            UserDefaults::media().remove(key);
        UserDefaults::media().sync();
    }
};

using Rating = MediaMarks::Rating;

} // namespace

TEST_F(MediaMarksTest, RatingTable) {
    struct Case {
        Rating rating;
        int raw;
        const char* title;
        const char* symbol;
    };
    const Case cases[] = {{Rating::notForMe, -1, "Not for Me", "hand.thumbsdown"},
                          {Rating::like, 1, "I Like This", "hand.thumbsup"},
                          {Rating::love, 2, "Love This!", "heart"}};
    EXPECT_EQ(MediaMarks::allRatings(), (QList<Rating>{Rating::notForMe, Rating::like, Rating::love}));
    for (const Case& c : cases) {
        EXPECT_EQ(int(c.rating), c.raw);
        EXPECT_EQ(MediaMarks::ratingFromRaw(c.raw), c.rating);
        EXPECT_EQ(MediaMarks::title(c.rating), QString::fromUtf8(c.title));
        EXPECT_EQ(MediaMarks::symbol(c.rating), QString::fromUtf8(c.symbol));
    }
    for (int raw : {0, 3, -2})
        EXPECT_EQ(MediaMarks::ratingFromRaw(raw), std::nullopt) << raw;
}

TEST_F(MediaMarksTest, RateSetsChangesAndClears) {
    MediaMarks marks(nullptr);
    QSignalSpy saved(&MediaNotifier::shared(), &MediaNotifier::mediaMarksChanged);
    const auto m = mark(QStringLiteral("/v/a.mp4"), QDateTime::currentDateTimeUtc().addDays(-3));
    marks.rate(m, Rating::like);
    EXPECT_EQ(marks.rating(m.key), Rating::like);
    marks.rate(m, Rating::like); // the same rating again clears it
    EXPECT_EQ(marks.rating(m.key), std::nullopt);
    marks.rate(m, Rating::like);
    marks.rate(m, Rating::love);
    EXPECT_EQ(marks.rating(m.key), Rating::love);
    EXPECT_GT(marks.ratings().value(m.key).mark.date,
              QDateTime::currentDateTimeUtc().addSecs(-60)); // dated now
    marks.rate(mark(QStringLiteral("/v/unrated.mp4")), std::nullopt);
    EXPECT_EQ(marks.ratings().size(), 1);
    EXPECT_EQ(saved.count(), 5); // every call saves and announces
}

TEST_F(MediaMarksTest, FavoritesOrderAndExclusions) {
    MediaMarks marks(nullptr);
    marks.rate(mark(QStringLiteral("/v/liked-old.mp4")), Rating::like);
    QThread::msleep(5);
    marks.rate(mark(QStringLiteral("/v/loved.mp4")), Rating::love);
    QThread::msleep(5);
    marks.rate(mark(QStringLiteral("/v/liked-new.mp4")), Rating::like);
    marks.rate(mark(QStringLiteral("/v/nope.mp4")), Rating::notForMe);
    marks.rate(mark(QStringLiteral("/v/Private/loved.mp4")), Rating::love);
    marks.setPrivate(QStringLiteral("/v/Private/"), true);
    marks.setUnlocked(true); // private stays out whatever the lock state

    auto keys = [&] {
        QStringList list;
        for (const auto& rated : marks.favorites())
            list.append(rated.mark.key);
        return list;
    };
    EXPECT_EQ(keys(), (QStringList{QStringLiteral("/v/loved.mp4"), QStringLiteral("/v/liked-new.mp4"),
                                   QStringLiteral("/v/liked-old.mp4")}));
    marks.setHidden(mark(QStringLiteral("/v/loved.mp4")), true);
    EXPECT_FALSE(keys().contains(QStringLiteral("/v/loved.mp4")));
    EXPECT_EQ(marks.rating(QStringLiteral("/v/loved.mp4")), Rating::love);
    marks.setHidden(mark(QStringLiteral("/v/loved.mp4")), false);
    EXPECT_EQ(keys().front(), QStringLiteral("/v/loved.mp4"));

    MediaMarks onlyNope(nullptr);
    for (const auto& rated : marks.ratings())
        onlyNope.rate(rated.mark, std::nullopt);
    onlyNope.rate(mark(QStringLiteral("/v/nope.mp4")), std::nullopt);
    onlyNope.rate(mark(QStringLiteral("/v/nope.mp4")), Rating::notForMe);
    EXPECT_TRUE(onlyNope.favorites().isEmpty());
}

TEST_F(MediaMarksTest, PrivateFolders) {
    MediaMarks marks(nullptr);
    marks.setPrivate(QStringLiteral("/m/Private/"), true);
    marks.setPrivate(QStringLiteral("/m/Other/"), true);
    marks.setPrivate(QStringLiteral("/m/Private/"), true); // one copy, moved to the end
    EXPECT_EQ(marks.privateFolders(),
              (QStringList{QStringLiteral("/m/Other/"), QStringLiteral("/m/Private/")}));
    struct Case {
        const char* key;
        bool isPrivate;
    };
    for (const Case& c :
         {Case{"/m/Private/a.mp4", true}, Case{"/m/Private/sub/b.mp4", true},
          Case{"/m/Privately/a.mp4", false}, Case{"/m/Private", false}, Case{"/n/a.mp4", false}}) {
        EXPECT_EQ(marks.isPrivate(QString::fromUtf8(c.key)), c.isPrivate) << c.key;
        EXPECT_EQ(marks.excludedFromHome(QString::fromUtf8(c.key)), c.isPrivate) << c.key;
    }
    marks.setPrivate(QStringLiteral("/m/Private/"), false);
    EXPECT_FALSE(marks.isPrivate(QStringLiteral("/m/Private/a.mp4")));
    EXPECT_EQ(UserDefaults::media().stringArray(MediaMarks::Keys::privateFolders),
              QStringList{QStringLiteral("/m/Other/")});
}

TEST_F(MediaMarksTest, StoredFormRoundTripsAndBadDataReadsEmpty) {
    {
        MediaMarks marks(nullptr);
        marks.rate(mark(QStringLiteral("/v/a.mp4")), Rating::love);
        marks.setHidden(mark(QStringLiteral("/v/b.mp4")), true);
    }
    MediaMarks reread(nullptr);
    EXPECT_EQ(reread.rating(QStringLiteral("/v/a.mp4")), Rating::love);
    EXPECT_TRUE(reread.isHidden(QStringLiteral("/v/b.mp4")));

    const QByteArray good = UserDefaults::media().data(MediaMarks::Keys::ratings);
    EXPECT_TRUE(good.contains(R"("rating":2)"));
    struct Case {
        QString key;
        QByteArray data;
    };
    QByteArray zero = good;
    zero.replace(R"("rating":2)", R"("rating":0)");
    const Case cases[] = {
        {MediaMarks::Keys::ratings, zero},
        {MediaMarks::Keys::ratings, "[1,2]"},
        {MediaMarks::Keys::hidden, R"({"/v/b.mp4":{"key":"/v/b.mp4","name":"b","kind":"video","date":1}})"},
        {MediaMarks::Keys::hidden, "garbage"}};
    for (const Case& c : cases) {
        const QByteArray before = UserDefaults::media().data(c.key);
        UserDefaults::media().setData(c.key, c.data);
        MediaMarks marks(nullptr);
        if (c.key == MediaMarks::Keys::ratings)
            EXPECT_TRUE(marks.ratings().isEmpty()) << c.data.constData();
        else
            EXPECT_TRUE(marks.hidden().isEmpty()) << c.data.constData();
        UserDefaults::media().setData(c.key, before);
    }
}

TEST_F(MediaMarksTest, LoadSignalsOnlyRealChanges) {
    MediaMarks marks(nullptr);
    QSignalSpy ratings(&marks, &MediaMarks::ratingsChanged);
    QSignalSpy hidden(&marks, &MediaMarks::hiddenChanged);
    marks.load();
    EXPECT_EQ(ratings.count() + hidden.count(), 0);
    MediaMarks other(nullptr);
    other.rate(mark(QStringLiteral("/v/z.mp4")), Rating::like);
    marks.load();
    EXPECT_EQ(ratings.count(), 1);
    EXPECT_EQ(hidden.count(), 0);
}

TEST_F(MediaMarksTest, UnlockWithoutOwnerAuthenticationOpensAtOnce) {
    MediaMarks marks(nullptr);
    QSignalSpy spy(&marks, &MediaMarks::unlockedChanged);
    bool answer = false;
    marks.unlock([&](bool ok) { answer = ok; });
    EXPECT_TRUE(answer);
    EXPECT_TRUE(marks.unlocked());
    marks.setUnlocked(false);
    EXPECT_FALSE(marks.unlocked());
    EXPECT_EQ(spy.count(), 2);
}

TEST(MediaMarksHelper, HidesAnItem) {
    if (!TestSupport::joinParentSettings())
        GTEST_SKIP() << "runs only as the second process of TwoProcessesSeeEachOthersChanges";
    MediaMarks marks(nullptr);
    marks.setHidden(mark(QStringLiteral("/other/process.mp4")), true);
    // Give the bus a moment to carry the announcement before this process leaves.
    TestSupport::waitFor([] { return false; }, 300);
}

TEST_F(MediaMarksTest, TwoProcessesSeeEachOthersChanges) {
    MediaMarks marks(nullptr);
    QSignalSpy hidden(&marks, &MediaMarks::hiddenChanged);
    ASSERT_EQ(TestSupport::runHelperTest(QStringLiteral("MediaMarksHelper.HidesAnItem")), 0);
    if (MediaNotifier::shared().announcesToOtherProcesses()) {
        // Announced on the session bus: the marks re-read by themselves.
        EXPECT_TRUE(TestSupport::waitFor([&] { return marks.isHidden(QStringLiteral("/other/process.mp4")); },
                                         10000));
    } else {
        // Without a session bus the re-read happens when the application becomes active.
        UserDefaults::media().sync();
        marks.load();
        EXPECT_TRUE(marks.isHidden(QStringLiteral("/other/process.mp4")));
    }
    EXPECT_GE(hidden.count(), 1);
}
