#include "converter/queue/OutputFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(OutputFileTest, AppearsUnderItsNameOnlyWhenCommitted) {
    QTemporaryDir dir;
    const QString final = dir.filePath(QStringLiteral("out.png"));
    {
        OutputFile file(final);
        ASSERT_TRUE(file.isValid());
        EXPECT_EQ(QFileInfo(file.temporaryPath()).absolutePath(), QFileInfo(final).absolutePath());
        EXPECT_TRUE(QFileInfo(file.temporaryPath()).fileName().startsWith(QLatin1Char('.')));
        TestSupport::writeFile(file.temporaryPath(), "pixels");
        EXPECT_FALSE(QFileInfo::exists(final));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("out.png")});
    EXPECT_EQ(contents(final), QByteArray("pixels"));
    // The permissions any new file gets here, not a private temporary file's.
    const QString plain = TestSupport::writeFile(dir.filePath(QStringLiteral("plain")), "x");
    EXPECT_EQ(QFile::permissions(final), QFile::permissions(plain));
}

TEST(OutputFileTest, AnUncommittedFileLeavesNothing) {
    QTemporaryDir dir;
    {
        OutputFile file(dir.filePath(QStringLiteral("out.pdf")));
        TestSupport::writeFile(file.temporaryPath(), "half a PDF");
    }
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

TEST(OutputFileTest, ANameTakenMeanwhileIsLeftAloneAndTheNextNameTaken) {
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QStringLiteral("clip.jpg"));
    const auto control = ConvertControl::make();
    {
        OutputFile file(wanted, OutputFile::Kind::file, control);
        TestSupport::writeFile(file.temporaryPath(), "ours");
        // Two files appear under the names the rule would give while we write.
        TestSupport::writeFile(wanted, "theirs");
        TestSupport::writeFile(dir.filePath(QStringLiteral("clip (converted).jpg")), "theirs too");
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(file.finalPath(), dir.filePath(QStringLiteral("clip (converted 2).jpg")));
    }
    EXPECT_EQ(control->saved(), dir.filePath(QStringLiteral("clip (converted 2).jpg")));
    EXPECT_EQ(contents(wanted), QByteArray("theirs"));
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("clip (converted).jpg"))), QByteArray("theirs too"));
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("clip (converted 2).jpg"))), QByteArray("ours"));
    EXPECT_EQ(entries(dir.path()).size(), 3);
}

TEST(OutputFileTest, AStoppedConversionCommitsNothing) {
    QTemporaryDir dir;
    const auto control = ConvertControl::make();
    {
        OutputFile file(dir.filePath(QStringLiteral("out.txt")), OutputFile::Kind::file, control);
        TestSupport::writeFile(file.temporaryPath(), "text");
        control->cancel();
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.failure(QStringLiteral("x")).message, ConvertControl::cancelledText());
    }
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

TEST(OutputFileTest, AFolderRemovesOnlyWhatItMade) {
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QStringLiteral("report pages"));
    // Someone's folder of that name, with their page in it.
    const QString theirs = TestSupport::writeFile(wanted + QStringLiteral("/Page 1.png"), "theirs");
    {
        OutputFile pages(wanted, OutputFile::Kind::folder);
        ASSERT_TRUE(pages.isValid());
        TestSupport::writeFile(pages.createFile(QStringLiteral("Page 1.png")), "ours");
        EXPECT_TRUE(pages.createFile(QStringLiteral("Page 1.png")).isEmpty()); // never twice
        // Not committed: a failure.
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("report pages")});
    EXPECT_EQ(contents(theirs), QByteArray("theirs"));
    {
        OutputFile pages(wanted, OutputFile::Kind::folder);
        TestSupport::writeFile(pages.createFile(QStringLiteral("Page 1.png")), "ours");
        ASSERT_TRUE(pages.commit());
        EXPECT_EQ(pages.finalPath(), dir.filePath(QStringLiteral("report (converted) pages")));
    }
    EXPECT_EQ(contents(theirs), QByteArray("theirs"));
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("report (converted) pages/Page 1.png"))),
              QByteArray("ours"));
}

TEST(OutputFileTest, AMissingFolderIsInvalid) {
    QTemporaryDir dir;
    OutputFile file(dir.filePath(QStringLiteral("gone/out.txt")));
    EXPECT_FALSE(file.isValid());
    EXPECT_EQ(file.failure(QStringLiteral("The text couldn't be saved.")).message,
              QStringLiteral("The text couldn't be saved."));
    EXPECT_FALSE(file.commit());
}

TEST(OutputFileTest, AFolderWeMayNotWriteGetsItsSentence) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    OutputFile file(dir.filePath(QStringLiteral("out.txt")));
    EXPECT_FALSE(file.isValid());
    EXPECT_TRUE(file.failure(QStringLiteral("x"))
                    .message.endsWith(
                        QStringLiteral(" isn't allowed to save in that folder. Choose another folder.")));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
