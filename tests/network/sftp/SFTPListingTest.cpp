#include "network/sftp/SFTPListing.h"

#include <gtest/gtest.h>

namespace {

QStringList names(const QList<SFTPEntry>& entries) {
    QStringList result;
    for (const SFTPEntry& entry : entries)
        result << entry.name;
    return result;
}

TEST(SFTPListingTest, SkipsHiddenItemsAndNoiseAndKeepsSpaces) {
    const QString output =
        QStringLiteral("sftp> ls -la \".\"\n"
                       "total 24\n"
                       "drwxr-xr-x    5 alice    alice        4096 Jan  1 12:00 ./.\n"
                       "drwxr-xr-x    3 root     root         4096 Jan  1 12:00 ./..\n"
                       "drwx------    2 alice    alice        4096 Jan  1 12:00 ./.ssh\n"
                       "-rw-r--r--    1 alice    alice         220 Jan  1 12:00 ./.profile\n"
                       "drwxr-xr-x    2 alice    alice        4096 Jan  1  2023 ./My Movies\n"
                       "-rw-r--r--    1 alice    alice  5000000000 Jan  1 12:00 ./big  file.mkv\n"
                       "lrwxrwxrwx    1 alice    alice          11 Jan  1 12:00 ./link -> target\n"
                       "crw-rw-rw-    1 root     root         1, 3 Jan  1 12:00 ./null\n"
                       "Couldn't stat remote file: No such file or directory\n"
                       "\n");
    const QList<SFTPEntry> entries = SFTPListing::parse(output, QStringLiteral("."));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], (SFTPEntry{QStringLiteral("My Movies"), QStringLiteral("My Movies"), true, 4096}));
    EXPECT_EQ(entries[1], (SFTPEntry{QStringLiteral("big  file.mkv"), QStringLiteral("big  file.mkv"), false,
                                     5000000000}));
    // A link counts as a file and keeps the arrow text of the listing.
    EXPECT_EQ(entries[2].name, QStringLiteral("link -> target"));
    EXPECT_FALSE(entries[2].isFolder);
}

TEST(SFTPListingTest, StripsTheListedFolderOrTakesTheLastComponent) {
    const struct {
        const char* path;
        const char* field;
        const char* name;
        const char* entryPath;
    } cases[] = {
        {".", "./Movies", "Movies", "Movies"},
        {"/srv/media", "/srv/media/Film 1.mkv", "Film 1.mkv", "/srv/media/Film 1.mkv"},
        {"/srv/media/", "/srv/media/a", "a", "/srv/media/a"},
        {"/srv/media", "Film.mkv", "Film.mkv", "/srv/media/Film.mkv"},
        {"/srv/media", "/other/place/x.mkv", "x.mkv", "/srv/media/x.mkv"},
        {"/srv/media", "/srv/media/a/b", "a/b", "/srv/media/a/b"},
        {"", "plain", "plain", "plain"},
    };
    for (const auto& c : cases) {
        const QString line =
            QStringLiteral("-rw-r--r--    1 u g 10 Jan  1 12:00 ") + QString::fromUtf8(c.field);
        const QList<SFTPEntry> entries = SFTPListing::parse(line, QString::fromUtf8(c.path));
        ASSERT_EQ(entries.size(), 1) << c.field;
        EXPECT_EQ(entries[0].name, QString::fromUtf8(c.name));
        EXPECT_EQ(entries[0].path, QString::fromUtf8(c.entryPath));
    }
}

TEST(SFTPListingTest, SizesThatDoNotReadAreZero) {
    const QList<SFTPEntry> entries = SFTPListing::parse(
        QStringLiteral("-rw-r--r-- 1 u g 12x Jan 1 12:00 a\n-rw-r--r-- 1 u g -3 Jan 1 12:00 b\n"
                       "-rw-r--r-- 1 u g 99999999999999999999 Jan 1 12:00 c\n"),
        QStringLiteral("."));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].size, 0);
    EXPECT_EQ(entries[1].size, -3);
    EXPECT_EQ(entries[2].size, 0);
}

TEST(SFTPListingTest, LinesWithoutNineFieldsOrATypeAreSkipped) {
    const QString output = QStringLiteral("-rw-r--r-- 1 u g 10 Jan 1 12:00\n"
                                          "-rw-r--r-- 1 u g 10 Jan 1 12:00 \n"
                                          "xrw-r--r-- 1 u g 10 Jan 1 12:00 x\n"
                                          "   \n"
                                          "-rw-r--r-- 1 u g 10 Jan 1 12:00  spaced\n");
    // The name begins after one separator, so a name's own leading space survives.
    EXPECT_EQ(names(SFTPListing::parse(output, QStringLiteral("."))), QStringList{QStringLiteral(" spaced")});
}

TEST(SFTPListingTest, FoldersFirstThenNaturalCaseInsensitiveOrder) {
    QString output;
    for (const char* line : {"-rw-r--r-- 1 u g 1 Jan 1 12:00 file10", "-rw-r--r-- 1 u g 1 Jan 1 12:00 File2",
                             "drwxr-xr-x 1 u g 1 Jan 1 12:00 zeta", "-rw-r--r-- 1 u g 1 Jan 1 12:00 apple",
                             "drwxr-xr-x 1 u g 1 Jan 1 12:00 Alpha", "-rw-r--r-- 1 u g 1 Jan 1 12:00 file1"})
        output += QString::fromUtf8(line) + QLatin1Char('\n');
    EXPECT_EQ(names(SFTPListing::parse(output, QStringLiteral("."))),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("zeta"), QStringLiteral("apple"),
                           QStringLiteral("file1"), QStringLiteral("File2"), QStringLiteral("file10")}));
}

} // namespace
