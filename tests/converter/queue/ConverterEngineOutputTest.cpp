#include "converter/ConverterEngine.h"

#include "support/ConverterTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

namespace {

using ConverterTestSupport::target;

QString name(const QString& path) {
    return QFileInfo(path).fileName();
}

struct NameCase {
    const char* source;
    QStringList existing;
    const char* target;
    bool isFolder;
    const char* expected;
};

TEST(ConverterEngineOutputTest, OutputNames) {
    const NameCase cases[] = {
        // The source itself is never the output.
        {"clip.mp4", {}, "mp4", false, "clip (converted).mp4"},
        {"clip.mp4", {QStringLiteral("clip (converted).mp4")}, "mp4", false, "clip (converted 2).mp4"},
        {"clip.mp4",
         {QStringLiteral("clip (converted).mp4"), QStringLiteral("clip (converted 2).mp4")},
         "mp4",
         false,
         "clip (converted 3).mp4"},
        {"clip.mkv", {}, "mp4", false, "clip.mp4"},
        {"clip.mkv", {QStringLiteral("clip.mp4")}, "mp4", false, "clip (converted).mp4"},
        {"song.wav", {}, "mp3", false, "song.mp3"},
        {"photo.png", {}, "jpeg", false, "photo.jpg"},
        {"report.pdf", {}, "pdf-png", true, "report pages"},
        {"report.pdf", {QStringLiteral("report pages/")}, "pdf-png", true, "report (converted) pages"},
        {"archive.tar.gz", {}, "mp4", false, "archive.tar.mp4"},
        {"no extension", {}, "wav", false, "no extension.wav"},
    };
    for (const NameCase& c : cases) {
        QTemporaryDir dir;
        const QString source = TestSupport::writeFile(dir.filePath(QString::fromUtf8(c.source)), "x");
        for (const QString& existing : c.existing) {
            if (existing.endsWith(QLatin1Char('/')))
                QDir(dir.path()).mkpath(existing);
            else
                TestSupport::writeFile(dir.filePath(existing), "x");
        }
        const QString output = ConverterEngine::outputURL(source, target(c.target), {}, c.isFolder);
        EXPECT_EQ(name(output), QString::fromUtf8(c.expected)) << c.source;
        EXPECT_EQ(QFileInfo(output).absolutePath(), QFileInfo(source).absolutePath());
        ConverterEngine::release(output);
    }
}

TEST(ConverterEngineOutputTest, SameNameFromTwoFoldersIntoOneFolderAtOnce) {
    QTemporaryDir dir;
    const QString first = TestSupport::writeFile(dir.filePath(QStringLiteral("one/a.mov")), "x");
    const QString second = TestSupport::writeFile(dir.filePath(QStringLiteral("two/a.mov")), "x");
    const QString into = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(into);

    // Neither file exists yet: the reservation alone keeps the names apart.
    const QString a = ConverterEngine::outputURL(first, target("mp4"), into, false);
    const QString b = ConverterEngine::outputURL(second, target("mp4"), into, false);
    EXPECT_EQ(a, into + QStringLiteral("/a.mp4"));
    EXPECT_EQ(b, into + QStringLiteral("/a (converted).mp4"));

    // Given back, the name is free again.
    ConverterEngine::release(a);
    EXPECT_EQ(ConverterEngine::outputURL(second, target("mp4"), into, false), a);
    ConverterEngine::release(a);
    ConverterEngine::release(b);
}

TEST(ConverterEngineOutputTest, ReservationsFromManyThreadsNeverCollide) {
    QTemporaryDir dir;
    const QString source = TestSupport::writeFile(dir.filePath(QStringLiteral("in/a.mov")), "x");
    QList<QFuture<QString>> futures;
    for (int i = 0; i < 40; ++i)
        futures.append(QtConcurrent::run(
            [source, &dir] { return ConverterEngine::outputURL(source, target("mp4"), dir.path(), false); }));
    QSet<QString> names;
    for (QFuture<QString>& future : futures)
        names.insert(future.result());
    EXPECT_EQ(names.size(), 40);
    for (const QString& n : names)
        ConverterEngine::release(n);
}

TEST(ConverterEngineOutputTest, ReleaseMatchesAnUnstandardizedPath) {
    QTemporaryDir dir;
    const QString source = TestSupport::writeFile(dir.filePath(QStringLiteral("a.mov")), "x");
    const QString output = ConverterEngine::outputURL(source, target("mp4"), {}, false);
    ConverterEngine::release(dir.path() + QStringLiteral("/./sub/../a.mp4"));
    EXPECT_EQ(ConverterEngine::outputURL(source, target("mp4"), {}, false), output);
    ConverterEngine::release(output);
}

TEST(ConverterEngineOutputTest, UniqueURL) {
    QTemporaryDir dir;
    const QString free = dir.filePath(QStringLiteral("movie.mkv"));
    EXPECT_EQ(ConverterEngine::uniqueURL(free), free);

    TestSupport::writeFile(free, "x");
    EXPECT_EQ(ConverterEngine::uniqueURL(free), dir.filePath(QStringLiteral("movie 2.mkv")));
    TestSupport::writeFile(dir.filePath(QStringLiteral("movie 2.mkv")), "x");
    EXPECT_EQ(ConverterEngine::uniqueURL(free), dir.filePath(QStringLiteral("movie 3.mkv")));

    const QString bare = TestSupport::writeFile(dir.filePath(QStringLiteral("README")), "x");
    EXPECT_EQ(ConverterEngine::uniqueURL(bare), dir.filePath(QStringLiteral("README 2")));
}

} // namespace
