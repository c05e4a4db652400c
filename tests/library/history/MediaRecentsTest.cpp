#include "library/history/MediaRecents.h"
#include "common/Log.h"
#include "common/UserDefaults.h"
#include "library/marks/MediaMarks.h"
#include "library/notify/MediaNotifier.h"
#include "media/settings/MediaPlayerSettings.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

MediaEntry video(const QString& path, MediaOrigin origin = {}) {
    MediaEntry entry;
    entry.url = QUrl::fromLocalFile(path);
    entry.name = path.section(QLatin1Char('/'), -1);
    entry.key = path;
    entry.origin = origin.kind() == MediaOrigin::Case::none ? MediaOrigin::file(path) : origin;
    return entry;
}

class MediaRecentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& key : {MediaRecents::storeKey, MediaPlayerSettings::Keys::resumePositions,
                                   MediaMarks::Keys::hidden, MediaMarks::Keys::privateFolders})
            UserDefaults::media().remove(key);
        MediaMarks::shared().load();
    }
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST_F(MediaRecentsTest, NotingTheSameKeyTwiceKeepsOneRecordAtTheFront) {
    MediaRecents::note(video(QStringLiteral("/v/a.mp4")), 30, 600);
    MediaRecents::note(video(QStringLiteral("/v/b.mp4")), 40, 600);
    MediaRecents::note(video(QStringLiteral("/v/a.mp4")), 90, 600);
    const auto all = MediaRecents::all();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].key, QStringLiteral("/v/a.mp4"));
    EXPECT_EQ(all[0].seconds, 90);
    EXPECT_EQ(all[0].origin, MediaOrigin::file(QStringLiteral("/v/a.mp4")));
    EXPECT_EQ(all[1].key, QStringLiteral("/v/b.mp4"));
}

TEST_F(MediaRecentsTest, ListNeverExceedsSixty) {
    for (int i = 0; i < 61; ++i)
        MediaRecents::note(video(QStringLiteral("/v/%1.mp4").arg(i)), 30, 600);
    const auto all = MediaRecents::all();
    EXPECT_EQ(all.size(), 60);
    EXPECT_EQ(all.front().key, QStringLiteral("/v/60.mp4"));
    EXPECT_EQ(all.back().key, QStringLiteral("/v/1.mp4"));
}

TEST_F(MediaRecentsTest, InProgressAndProgress) {
    struct Case {
        const char* kind;
        double seconds;
        double duration;
        bool inProgress;
        double progress;
    };
    const Case cases[] = {
        {"video", 60, 119, false, 60.0 / 119},
        {"video", 60, 120, true, 0.5},
        {"video", 5, 600, false, 5.0 / 600},
        {"video", 585, 600, false, 0.975},
        {"video", 584.5, 600, true, 584.5 / 600},
        {"audio", 300, 600, false, 0.5},
        {"video", 10, 0, false, 0},
        {"video", 900, 600, false, 1},
        {"video", kNaN, 600, false, 0},
    };
    for (const Case& c : cases) {
        MediaRecents::Record r{QStringLiteral("k"),
                               QStringLiteral("n"),
                               QString::fromLatin1(c.kind),
                               {},
                               c.seconds,
                               c.duration,
                               {}};
        EXPECT_EQ(r.inProgress(), c.inProgress) << c.kind << " " << c.seconds << "/" << c.duration;
        if (!std::isnan(c.seconds)) {
            EXPECT_DOUBLE_EQ(r.progress(), c.progress);
        }
    }
}

TEST_F(MediaRecentsTest, NoteIgnoresUnusableCallsAndPostsNothing) {
    QSignalSpy spy(&MediaNotifier::shared(), &MediaNotifier::mediaRecentsChanged);
    struct Case {
        double seconds;
        double duration;
        bool origin;
    };
    for (const Case& c : {Case{10, 0, true}, Case{10, -5, true}, Case{10, kNaN, true}, Case{kInf, 600, true},
                          Case{kNaN, 600, true}, Case{10, 600, false}}) {
        MediaEntry entry = video(QStringLiteral("/v/x.mp4"));
        if (!c.origin)
            entry.origin = MediaOrigin::none();
        MediaRecents::note(entry, c.seconds, c.duration);
    }
    EXPECT_TRUE(MediaRecents::all().isEmpty());
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(MediaRecentsTest, HiddenAndPrivateItemsAreNotRemembered) {
    MediaMarks::shared().setHidden({QStringLiteral("/v/hidden.mp4"), QStringLiteral("hidden.mp4"),
                                    QStringLiteral("video"),
                                    MediaOrigin::file(QStringLiteral("/v/hidden.mp4"))},
                                   true);
    MediaMarks::shared().setPrivate(QStringLiteral("/v/Private/"), true);
    MediaMarks::shared().setUnlocked(true);
    MediaRecents::note(video(QStringLiteral("/v/hidden.mp4")), 30, 600);
    MediaRecents::note(video(QStringLiteral("/v/Private/a.mp4")), 30, 600);
    MediaRecents::note(video(QStringLiteral("/v/Privately/a.mp4")), 30, 600);
    const auto all = MediaRecents::all();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].key, QStringLiteral("/v/Privately/a.mp4"));
    MediaMarks::shared().setUnlocked(false);
}

TEST_F(MediaRecentsTest, ClearingShelvesAndResumePositions) {
    MediaEntry music = video(QStringLiteral("/v/music.mp3"));
    music.kind = PlayerMediaKind::audio; // never in progress
    MediaRecents::note(music, 30, 600);
    MediaRecents::note(video(QStringLiteral("/v/done.mp4")), 595, 600);
    MediaRecents::note(video(QStringLiteral("/v/half.mp4")), 300, 600);
    MediaPlayerSettings::saveResume(QStringLiteral("/v/half.mp4"), 300, 600);
    MediaPlayerSettings::saveResume(QStringLiteral("/v/other.mp4"), 300, 600);

    MediaRecents::clear(MediaRecents::Clearing::continueWatching);
    auto all = MediaRecents::all();
    EXPECT_EQ(all.size(), 2);
    EXPECT_EQ(MediaPlayerSettings::resumePosition(QStringLiteral("/v/half.mp4")), std::nullopt);
    EXPECT_EQ(MediaPlayerSettings::resumePosition(QStringLiteral("/v/other.mp4")), 300.0);

    MediaRecents::note(video(QStringLiteral("/v/half.mp4")), 300, 600);
    MediaRecents::clear(MediaRecents::Clearing::recentlyPlayed);
    all = MediaRecents::all();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].key, QStringLiteral("/v/half.mp4"));

    // Only in-progress videos left: the same list is stored, announced and logged with 0.
    QSignalSpy spy(&MediaNotifier::shared(), &MediaNotifier::mediaRecentsChanged);
    MediaRecents::clear(MediaRecents::Clearing::recentlyPlayed);
    EXPECT_EQ(MediaRecents::all().size(), 1);
    EXPECT_EQ(spy.count(), 1);

    MediaRecents::clear(MediaRecents::Clearing::everything);
    EXPECT_TRUE(MediaRecents::all().isEmpty());
    EXPECT_EQ(MediaPlayerSettings::resumePosition(QStringLiteral("/v/other.mp4")), std::nullopt);

    Log::flush();
    QFile log(Log::file());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    EXPECT_TRUE(lines.contains("Media library: cleared continueWatching (1 item(s))"));
    EXPECT_TRUE(lines.contains("Media library: cleared recentlyPlayed (0 item(s))"));
    EXPECT_TRUE(lines.contains("Media library: cleared everything (1 item(s))"));
}

TEST_F(MediaRecentsTest, CorruptAndUnwritableData) {
    for (const QByteArray& corrupt :
         {QByteArray("not json"), QByteArray("{}"),
          QByteArray(R"([{"key":"/a","name":"a","kind":"video","seconds":1,"duration":2,"date":3}])")}) {
        UserDefaults::media().setData(MediaRecents::storeKey, corrupt);
        EXPECT_TRUE(MediaRecents::all().isEmpty()) << corrupt.constData();
    }
    MediaRecents::note(video(QStringLiteral("/v/a.mp4")), 30, 600);
    EXPECT_EQ(MediaRecents::all().size(), 1);

    // An infinite duration passes note's checks but cannot be written: nothing changes, yet the
    // change is still announced.
    QSignalSpy spy(&MediaNotifier::shared(), &MediaNotifier::mediaRecentsChanged);
    MediaRecents::note(video(QStringLiteral("/v/b.mp4")), 30, kInf);
    EXPECT_EQ(spy.count(), 1);
    ASSERT_EQ(MediaRecents::all().size(), 1);
    EXPECT_EQ(MediaRecents::all()[0].key, QStringLiteral("/v/a.mp4"));
}

TEST_F(MediaRecentsTest, StoredFormAndDates) {
    MediaRecents::note(video(QStringLiteral("/v/a.mp4")), 30.5, 600);
    const QJsonDocument stored = QJsonDocument::fromJson(UserDefaults::media().data(MediaRecents::storeKey));
    const QJsonObject record = stored.array().at(0).toObject();
    EXPECT_EQ(record.keys(),
              (QStringList{QStringLiteral("date"), QStringLiteral("duration"), QStringLiteral("key"),
                           QStringLiteral("kind"), QStringLiteral("name"), QStringLiteral("origin"),
                           QStringLiteral("seconds")}));
    EXPECT_EQ(record.value(QStringLiteral("origin"))
                  .toObject()
                  .value(QStringLiteral("file"))
                  .toObject()
                  .value(QStringLiteral("_0")),
              QStringLiteral("/v/a.mp4"));
    const double now = MediaRecents::referenceSeconds(QDateTime::currentDateTimeUtc());
    EXPECT_NEAR(record.value(QStringLiteral("date")).toDouble(), now, 5);
    EXPECT_EQ(MediaRecents::referenceSeconds(QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC)), 86400.0);
}

TEST_F(MediaRecentsTest, EntryNeedsAnExistingLocalFile) {
    const QString path =
        TestSupport::writeFile(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/clip.mp4"), "x");
    const auto entry =
        MediaRecents::entry(MediaOrigin::file(path), QStringLiteral("clip.mp4"), QStringLiteral("video"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->key, path);
    EXPECT_FALSE(
        MediaRecents::entry(MediaOrigin::file(path + QStringLiteral(".gone")), {}, QStringLiteral("video")));
    EXPECT_FALSE(MediaRecents::entry(
        MediaOrigin::server(QStringLiteral("S1"), QStringLiteral("m"), QStringLiteral("a.mkv"), false), {},
        QStringLiteral("video")));
    EXPECT_FALSE(MediaRecents::entry(MediaOrigin::none(), {}, QStringLiteral("video")));
}

TEST(MediaRecentsHelper, NotesAnItem) {
    if (!TestSupport::joinParentSettings())
        GTEST_SKIP() << "runs only as the second process of TwoProcessesShareTheHistory";
    MediaRecents::note(video(QStringLiteral("/other/process.mp4")), 42, 600);
}

TEST_F(MediaRecentsTest, TwoProcessesShareTheHistory) {
    MediaRecents::note(video(QStringLiteral("/mine.mp4")), 10, 600);
    ASSERT_EQ(TestSupport::runHelperTest(QStringLiteral("MediaRecentsHelper.NotesAnItem")), 0);
    UserDefaults::media().sync();
    const auto all = MediaRecents::all();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].key, QStringLiteral("/other/process.mp4"));
    EXPECT_EQ(all[0].seconds, 42);
}
