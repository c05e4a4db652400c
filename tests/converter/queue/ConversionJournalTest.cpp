#include "converter/queue/ConversionJournal.h"

#include "common/Paths.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList journals(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.journal")}, QDir::Files);
}

QByteArray line(const char* action, const QString& path) {
    return QJsonDocument(QJsonArray{QString::fromLatin1(action), path}).toJson(QJsonDocument::Compact) + '\n';
}

TEST(ConversionJournalTest, FinishedWorkLeavesNoJournal) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    ConversionJournal journal(folder);
    const QString output = dir.filePath(QStringLiteral("a.mp4"));
    journal.reserve(output);
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
    const QString output = dir.filePath(QStringLiteral("a.mp4"));
    journal.reserve(output);
    TestSupport::writeFile(output, "half");
    EXPECT_TRUE(ConversionJournal::recover(folder).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_EQ(journals(folder).size(), 1);
}

TEST(ConversionJournalTest, AnEndedProcessesUnfinishedOutputsAreDeleted) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString half = TestSupport::writeFile(dir.filePath(QStringLiteral("half.mp4")), "half");
    const QString complete = TestSupport::writeFile(dir.filePath(QStringLiteral("complete.mp4")), "all");
    const QString pages = dir.filePath(QStringLiteral("report pages"));
    TestSupport::writeFile(pages + QStringLiteral("/page 1.png"), "p");
    const QString neverWritten = dir.filePath(QStringLiteral("never.mp4"));
    const QString bystander = TestSupport::writeFile(dir.filePath(QStringLiteral("mine.txt")), "keep");

    // A journal whose writer died (nobody holds its lock), its last line cut short.
    TestSupport::writeFile(folder + QStringLiteral("/conversions-1-x.journal"),
                           line("R", half) + line("R", complete) + line("F", complete) + line("R", pages) +
                               line("R", neverWritten) + "[\"R\",\"" + bystander.toUtf8().left(5));

    const QStringList deleted = ConversionJournal::recover(folder);
    EXPECT_EQ(deleted, (QStringList{half, pages}));
    EXPECT_FALSE(QFileInfo::exists(half));
    EXPECT_FALSE(QFileInfo::exists(pages));
    EXPECT_TRUE(QFileInfo::exists(complete));
    EXPECT_TRUE(QFileInfo::exists(bystander));
    EXPECT_TRUE(journals(folder).isEmpty());
}

TEST(ConversionJournalTest, AnExistingFileIsNeverReserved) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString existing = TestSupport::writeFile(dir.filePath(QStringLiteral("there.mp4")), "user's");
    {
        ConversionJournal journal(folder);
        journal.reserve(existing);
        EXPECT_TRUE(journal.unfinished().isEmpty());
    }
    ConversionJournal::recover(folder);
    EXPECT_TRUE(QFileInfo::exists(existing));
}

TEST(ConversionJournalTest, DefaultsToTheApplicationCache) {
    QTemporaryDir dir;
    ConversionJournal journal;
    journal.reserve(dir.filePath(QStringLiteral("a.mp4")));
    EXPECT_EQ(journals(Paths::applicationCache()).size(), 1);
}

} // namespace
