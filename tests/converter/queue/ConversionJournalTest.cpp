#include "converter/queue/ConversionJournal.h"

#include "common/Paths.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList journals(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.journal")}, QDir::Files);
}

// A journal line as a crashed writer left it: action, path, device and inode of what is there now.
QByteArray line(const char* action, const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return QJsonDocument(QJsonArray{QString::fromLatin1(action), path, QString::number(info.st_dev),
                                    QString::number(info.st_ino)})
               .toJson(QJsonDocument::Compact) +
           '\n';
}

TEST(ConversionJournalTest, FinishedWorkLeavesNoJournal) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    ConversionJournal journal(folder);
    const QString output = TestSupport::writeFile(dir.filePath(QStringLiteral(".a.mp4.part-1")), "");
    journal.created(output);
    EXPECT_EQ(journals(folder).size(), 1);
    EXPECT_EQ(journal.unfinished(), QSet<QString>{output});
    journal.finished(output);
    EXPECT_TRUE(journal.unfinished().isEmpty());
    EXPECT_TRUE(journals(folder).isEmpty());
}

TEST(ConversionJournalTest, ALivingProcessesJournalIsLeftAlone) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    ConversionJournal journal(folder);
    const QString output = TestSupport::writeFile(dir.filePath(QStringLiteral(".a.mp4.part-1")), "half");
    journal.created(output);
    EXPECT_TRUE(ConversionJournal::recover(folder).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_EQ(journals(folder).size(), 1);
}

TEST(ConversionJournalTest, AnEndedProcessesUnfinishedTemporaryFilesAreRemoved) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString half = TestSupport::writeFile(dir.filePath(QStringLiteral(".half.mp4.part-1")), "half");
    const QString complete =
        TestSupport::writeFile(dir.filePath(QStringLiteral(".complete.mp4.part-2")), "all");
    const QString pages = dir.filePath(QStringLiteral(".report pages.part-3"));
    TestSupport::writeFile(pages + QStringLiteral("/Page 1.png"), "p");
    const QString bystander = TestSupport::writeFile(dir.filePath(QStringLiteral("mine.txt")), "keep");

    // A journal whose writer died (nobody holds its lock), its last line cut short; an older
    // journal's line without an identity is never acted on.
    const QByteArray old =
        QJsonDocument(QJsonArray{QStringLiteral("R"), bystander}).toJson(QJsonDocument::Compact);
    TestSupport::writeFile(folder + QStringLiteral("/conversions-1-x.journal"),
                           line("C", half) + line("C", complete) + line("F", complete) + line("C", pages) +
                               old + "\n[\"C\",\"" + bystander.toUtf8().left(5));

    const QStringList removed = ConversionJournal::recover(folder);
    EXPECT_EQ(removed, (QStringList{half, pages}));
    EXPECT_FALSE(QFileInfo::exists(half));
    EXPECT_FALSE(QFileInfo::exists(pages));
    EXPECT_TRUE(QFileInfo::exists(complete));
    EXPECT_TRUE(QFileInfo::exists(bystander));
    EXPECT_TRUE(journals(folder).isEmpty());
}

TEST(ConversionJournalTest, APathThatNowHoldsAnotherFileIsLeftAlone) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral(".clip.mp4.part-1")), "ours");
    // Keep the recorded inode alive elsewhere, so the new file cannot reuse its number.
    const QString kept = dir.filePath(QStringLiteral("kept"));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()), 0);
    TestSupport::writeFile(folder + QStringLiteral("/conversions-1-y.journal"), line("C", path));
    // Since then our file went away and someone else's took the name.
    QFile::remove(path);
    TestSupport::writeFile(path, "theirs");

    EXPECT_TRUE(ConversionJournal::recover(folder).isEmpty());
    EXPECT_EQ(TestSupport::readFile(path), QByteArray("theirs"));
    EXPECT_TRUE(journals(folder).isEmpty());
}

TEST(ConversionJournalTest, AnIntentWithoutIdentityRemovesOnlyAnEmptyFile) {
    // A run killed between making its temporary file and recording it: only an empty file can be
    // there, and only that is removed.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString empty = TestSupport::writeFile(dir.filePath(QStringLiteral(".a.png.part-1")), "");
    const QString full = TestSupport::writeFile(dir.filePath(QStringLiteral(".b.png.part-2")), "someone's");
    const auto intent = [](const QString& path) {
        return QJsonDocument(QJsonArray{QStringLiteral("P"), path, QStringLiteral("0"), QStringLiteral("0")})
                   .toJson(QJsonDocument::Compact) +
               '\n';
    };
    TestSupport::writeFile(folder + QStringLiteral("/conversions-1-z.journal"), intent(empty) + intent(full));
    EXPECT_EQ(ConversionJournal::recover(folder), QStringList{empty});
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_EQ(TestSupport::readFile(full), QByteArray("someone's"));
}

TEST(ConversionJournalTest, AMissingFileIsNotRecorded) {
    QTemporaryDir dir;
    ConversionJournal journal(dir.filePath(QStringLiteral("cache")));
    journal.created(dir.filePath(QStringLiteral("never-made")));
    EXPECT_TRUE(journal.unfinished().isEmpty());
    EXPECT_TRUE(journals(dir.filePath(QStringLiteral("cache"))).isEmpty());
}

TEST(ConversionJournalTest, TheProcessJournalLivesInTheApplicationCache) {
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral(".a.mp4.part-1")), "");
    ConversionJournal::shared().created(path);
    EXPECT_EQ(journals(Paths::applicationCache()).size(), 1);
    ConversionJournal::shared().finished(path);
    EXPECT_TRUE(journals(Paths::applicationCache()).isEmpty());
}

TEST(ConversionJournalTest, AnEndedWorkersPrivateOfficeProfileIsRemoved) {
    const QString profiles = Paths::applicationCache() + QStringLiteral("/office");
    const QString ended = profiles + QStringLiteral("/temp-ended");
    const QString living = profiles + QStringLiteral("/temp-living");
    TestSupport::writeFile(ended + QStringLiteral("/lock"), "");
    TestSupport::writeFile(ended + QStringLiteral("/user/registrymodifications.xcu"), "x");
    TestSupport::writeFile(living + QStringLiteral("/lock"), "");
    const int held = ::open(QFile::encodeName(living + QStringLiteral("/lock")).constData(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    const QStringList removed = ConversionJournal::recover();
    ::close(held);
    EXPECT_TRUE(removed.contains(ended));
    EXPECT_FALSE(QFileInfo::exists(ended));
    EXPECT_TRUE(QFileInfo::exists(living));
}

} // namespace
