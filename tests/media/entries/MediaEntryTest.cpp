#include "media/entries/MediaEntry.h"

#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(MediaEntryTest, fileEntryOfAPlayableFile) {
    QTemporaryDir folder;
    const QString path = TestSupport::writeFile(folder.path() + QStringLiteral("/Sub Dir/Clip.MKV"), "x");
    const QUrl url = QUrl::fromLocalFile(path);
    const std::optional<MediaEntry> entry = MediaEntry::file(url);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->url, url);
    EXPECT_EQ(entry->name, QStringLiteral("Clip.MKV"));
    EXPECT_EQ(entry->kind, PlayerMediaKind::video);
    EXPECT_TRUE(entry->local);
    EXPECT_EQ(entry->key, path);
    EXPECT_EQ(entry->origin, MediaOrigin::file(path));
}

TEST(MediaEntryTest, keyIsThePathAsGivenNotStandardized) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/a/../B/Song.MP3"));
    const auto entry = MediaEntry::file(url);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->key, QStringLiteral("/tmp/a/../B/Song.MP3"));
    EXPECT_EQ(entry->kind, PlayerMediaKind::audio);
}

TEST(MediaEntryTest, noEntryForAFileThatIsNotPlayable) {
    QTemporaryDir folder;
    const QString path = TestSupport::writeFile(folder.path() + QStringLiteral("/notes.txt"), "hello\n");
    EXPECT_FALSE(MediaEntry::file(QUrl::fromLocalFile(path)));
}

TEST(MediaEntryTest, equalityCoversEveryFieldAndTheOrigin) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/videos/a.mp4"));
    const auto first = MediaEntry::file(url);
    const auto second = MediaEntry::file(url);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *second);
    MediaEntry changed = *second;
    changed.origin = MediaOrigin::none();
    EXPECT_NE(*first, changed);
    MediaEntry other = *first;
    other.local = false;
    EXPECT_NE(*first, other);
}

TEST(MediaEntryTest, serverEntryShapeAndKey) {
    const QString key =
        MediaEntry::serverKey(QStringLiteral("S1"), QStringLiteral("movies"), QStringLiteral("Films/a.mkv"));
    EXPECT_EQ(key, QStringLiteral("S1:movies:Films/a.mkv"));
    const MediaEntry entry{QUrl(QStringLiteral("http://10.0.0.2:8080/stream/1")),
                           QStringLiteral("a.mkv"),
                           PlayerMediaKind::video,
                           false,
                           key,
                           MediaOrigin::server(QStringLiteral("S1"), QStringLiteral("movies"),
                                               QStringLiteral("Films/a.mkv"), true)};
    EXPECT_FALSE(entry.local);
    EXPECT_EQ(MediaEntry{}.origin, MediaOrigin::none());
}
