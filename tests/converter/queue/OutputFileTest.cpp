#include "converter/queue/OutputFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST(OutputFileTest, NeverReplacesAnExistingFile) {
    QTemporaryDir dir;
    const QString final = TestSupport::writeFile(dir.filePath(QStringLiteral("taken.jpg")), "theirs");
    {
        OutputFile file(final);
        TestSupport::writeFile(file.temporaryPath(), "ours");
        EXPECT_FALSE(file.commit());
        EXPECT_FALSE(file.errorString().isEmpty());
    }
    EXPECT_EQ(contents(final), QByteArray("theirs"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("taken.jpg")});
}

TEST(OutputFileTest, AMissingFolderIsInvalid) {
    QTemporaryDir dir;
    OutputFile file(dir.filePath(QStringLiteral("gone/out.txt")));
    EXPECT_FALSE(file.isValid());
    EXPECT_FALSE(file.errorString().isEmpty());
    EXPECT_FALSE(file.commit());
}

} // namespace
