#include "media/entries/MediaFile.h"

#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray pngBytes() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QStringList names(const QList<QUrl>& urls) {
    QStringList result;
    for (const QUrl& url : urls)
        result.append(url.fileName());
    return result;
}

} // namespace

TEST(MediaFileTest, kindByExtensionAlone) {
    const struct {
        const char* path;
        std::optional<PlayerMediaKind> kind;
    } rows[] = {
        {"/x/Clip.MKV", PlayerMediaKind::video},
        {"/x/a.ts", PlayerMediaKind::video},
        {"/x/a.mpg", PlayerMediaKind::video},
        {"/x/a.ogg", PlayerMediaKind::audio},
        {"/x/a.mka", PlayerMediaKind::audio},
        {"/x/a.Opus", PlayerMediaKind::audio},
        {"/x/a.heic", std::nullopt},
        {"/x/a.jpg", std::nullopt},
        {"/x/noext", std::nullopt},
        {"/x/.mkv", std::nullopt},
        {"/x/a.mkv.txt", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MediaFile::kindByExtension(QUrl::fromLocalFile(QString::fromUtf8(row.path))), row.kind)
            << row.path;
}

TEST(MediaFileTest, extensionListsWinWithoutTouchingTheDisk) {
    // None of these files exists: the answer comes from the name.
    EXPECT_EQ(MediaFile::kind(QUrl::fromLocalFile(QStringLiteral("/nowhere/Clip.MKV"))),
              PlayerMediaKind::video);
    EXPECT_EQ(MediaFile::kind(QUrl::fromLocalFile(QStringLiteral("/nowhere/a.ogg"))), PlayerMediaKind::audio);
}

TEST(MediaFileTest, contentTypeDecidesTheRest) {
    QTemporaryDir folder;
    const QString dir = folder.path();
    const struct {
        const char* name;
        QByteArray bytes;
        std::optional<PlayerMediaKind> kind;
    } rows[] = {
        {"photo.heic",
         QByteArray("\0\0\0\x18"
                    "ftypheic\0\0\0\0mif1heic",
                    24),
         PlayerMediaKind::image},
        {"photo.png", pngBytes(), PlayerMediaKind::image},
        // A picture without an extension is found by its content.
        {"picture", pngBytes(), PlayerMediaKind::image},
        {"notes.txt", "hello", std::nullopt},
        {"data.bin", QByteArray("\x01\x02\x03\x04", 4), std::nullopt},
        {"sheet.pdf", "%PDF-1.4\n", std::nullopt},
    };
    for (const auto& row : rows) {
        const QString path =
            TestSupport::writeFile(dir + QLatin1Char('/') + QString::fromUtf8(row.name), row.bytes);
        EXPECT_EQ(MediaFile::kind(QUrl::fromLocalFile(path)), row.kind) << row.name;
    }
    QDir(dir).mkdir(QStringLiteral("folder"));
    EXPECT_FALSE(MediaFile::kind(QUrl::fromLocalFile(dir + QStringLiteral("/folder"))));
}

TEST(MediaFileTest, folderPlaylistInFileManagerOrder) {
    QTemporaryDir folder;
    const QString dir = folder.path();
    for (const char* name : {"Episode 10.mp4", "Episode 2.mp4", "notes.txt", ".x.mp4"})
        TestSupport::writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name), "x");
    TestSupport::writeFile(dir + QStringLiteral("/cover.jpg"), pngBytes());
    QDir(dir).mkdir(QStringLiteral("Extras"));
    const QStringList expected{QStringLiteral("cover.jpg"), QStringLiteral("Episode 2.mp4"),
                               QStringLiteral("Episode 10.mp4")};
    for (const char* name : {"Episode 10.mp4", "cover.jpg", "notes.txt", ".x.mp4"}) {
        const QList<QUrl> list =
            MediaFile::siblings(QUrl::fromLocalFile(dir + QLatin1Char('/') + QString::fromUtf8(name)));
        EXPECT_EQ(names(list), expected) << name;
        EXPECT_TRUE(list.first().isLocalFile());
    }
}

TEST(MediaFileTest, folderNamedLikeAVideoStaysInTheList) {
    QTemporaryDir folder;
    TestSupport::writeFile(folder.path() + QStringLiteral("/a.mp4"), "x");
    QDir(folder.path()).mkdir(QStringLiteral("b.mkv"));
    EXPECT_EQ(names(MediaFile::siblings(QUrl::fromLocalFile(folder.path() + QStringLiteral("/a.mp4")))),
              (QStringList{QStringLiteral("a.mp4"), QStringLiteral("b.mkv")}));
}

TEST(MediaFileTest, unreadableOrEmptyFolderGivesTheFileAlone) {
    const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nowhere/at/all/film.mkv"));
    EXPECT_EQ(MediaFile::siblings(missing), QList<QUrl>{missing});
    QTemporaryDir folder;
    const QUrl text =
        QUrl::fromLocalFile(TestSupport::writeFile(folder.path() + QStringLiteral("/a.txt"), "x"));
    EXPECT_EQ(MediaFile::siblings(text), QList<QUrl>{text});
}

TEST(MediaFileTest, namesInOrder) {
    const struct {
        const char* a;
        const char* b;
    } ordered[] = {
        {"Episode 2.mp4", "Episode 10.mp4"},
        {"a.mp4", "B.mp4"},
        {"b.mp4", "C.mp4"},
        {"track 9", "Track 10"},
        {"x1y2", "x1y10"},
        {"clip", "clip 1"},
        {"A.mp4", "a.mp4"},
        {"2", "10"},
        {"cover.jpg", "Episode 2.mp4"},
        {"Éclair", "Zebra"},
        {"file 007", "file 8"},
        {"b", "é"},
    };
    for (const auto& row : ordered) {
        const QString a = QString::fromUtf8(row.a), b = QString::fromUtf8(row.b);
        EXPECT_TRUE(MediaFile::namesInOrder(a, b)) << row.a << " < " << row.b;
        EXPECT_FALSE(MediaFile::namesInOrder(b, a)) << row.b << " !< " << row.a;
    }
    EXPECT_FALSE(MediaFile::namesInOrder(QStringLiteral("same"), QStringLiteral("same")));
}
