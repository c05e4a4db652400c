#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

const auto kIdentity = Log::makeReplacements(QStringLiteral("/home/jann"), QStringLiteral("jann"),
                                             QStringLiteral("Jo Ann Smith"), QStringLiteral("Workstation-7"));

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void writeBytes(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray line(99, 'x');
    line.append('\n');
    qint64 left = size;
    while (left > 0) {
        const qint64 n = qMin<qint64>(left, line.size());
        file.write(line.constData(), n);
        left -= n;
    }
}

} // namespace

TEST(LogTest, ScrubsPersonalData) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"Opened /home/jann/Movies/a.mkv", "Opened ~/Movies/a.mkv"},
        {"Copied /home/bob/x and /Users/alice/y", "Copied /home/<user>/x and /Users/<user>/y"},
        {"Fetched https://example.com/a/b?token=1#top", "Fetched https://example.com/\u2026"},
        {"Server http://media.local", "Server http://media.local/\u2026"},
        {"Mail bob.k@example.org now", "Mail <email> now"},
        {"Call +1-555-123-4567 today", "Call <number> today"},
        {"Call (555) 123-4567 today", "Call <number> today"},
        {"Version 555.123.4567 stays", "Version 555.123.4567 stays"},
        {"At 12:30:45 nothing", "At 12:30:45 nothing"},
        {"Ann and SMITH met Jo", "<user> and <user> met Jo"},
        {"an annotation", "an <user>otation"},
        {"Host workstation-7 up", "Host <mac> up"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Log::scrub(QString::fromUtf8(c.input), kIdentity), QString::fromUtf8(c.expected))
            << c.input;
}

TEST(LogTest, ReplacementsPutLongerTextsFirst) {
    const auto list = kIdentity;
    ASSERT_EQ(list.size(), 6) << "home, account, full name, Ann, Smith, computer";
    for (int i = 1; i < list.size(); ++i)
        EXPECT_GE(list[i - 1].search.size(), list[i].search.size());
    for (const auto& r : list)
        EXPECT_NE(r.search, QStringLiteral("Jo")) << "names under 3 characters are kept";
}

TEST(LogTest, ScrubsTheRealHomeFolder) {
    EXPECT_EQ(Log::scrub(QDir::homePath() + QStringLiteral("/Movies/a.mkv")),
              QStringLiteral("~/Movies/a.mkv"));
}

TEST(LogTest, SecretIsAStableFingerprint) {
    EXPECT_EQ(Log::secret(std::nullopt), QStringLiteral("\u2039empty\u203A"));
    EXPECT_EQ(Log::secret(QString()), QStringLiteral("\u2039empty\u203A"));
    const QString first = Log::secret(QStringLiteral("abc"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\u20393 chars #[0-9a-f]{4}\u203A$")).match(first).hasMatch())
        << first.toStdString();
    EXPECT_EQ(Log::secret(QStringLiteral("abc")), first);
    EXPECT_FALSE(first.contains(QStringLiteral("abc")));
    // The salt is kept for the user.
    EXPECT_FALSE(UserDefaults::media().string(QStringLiteral("fx.logSalt")).isEmpty());
}

TEST(LogTest, LinesHaveTheFileFormat) {
    const QDateTime when(QDate(2026, 3, 1), QTime(14, 7, 9, 31));
    EXPECT_EQ(Log::formatLine(when, Log::Level::info, Log::Area::app, QStringLiteral("Launched")),
              QStringLiteral("2026-03-01 14:07:09.031 INFO  [app] Launched\n"));
    EXPECT_EQ(Log::formatLine(when, Log::Level::error, Log::Area::app, QStringLiteral("x")),
              QStringLiteral("2026-03-01 14:07:09.031 ERROR [app] x\n"));
    EXPECT_EQ(Log::formatLine(when, Log::Level::warning, Log::Area::network, QStringLiteral("x")),
              QStringLiteral("2026-03-01 14:07:09.031 WARN  [network] x\n"));
}

TEST(LogTest, AreasStartWithApp) {
    const auto areas = Log::allAreas();
    ASSERT_EQ(areas.size(), 14);
    EXPECT_EQ(Log::areaName(areas.first()), QStringLiteral("app"));
    QStringList names;
    for (auto area : areas)
        names.append(Log::areaName(area));
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 14);
}

TEST(LogTest, WritesScrubbedLinesToTheSharedLogFolder) {
    EXPECT_TRUE(Log::file().endsWith(QStringLiteral("/Halcyrin/logs/QuorvaneConverter.log")));
    EXPECT_TRUE(Log::file().startsWith(qEnvironmentVariable("XDG_STATE_HOME")));
    Log::info(Log::Area::app, QStringLiteral("Opened ") + QDir::homePath() + QStringLiteral("/a.mkv"));
    Log::debug(Log::Area::app, QStringLiteral("debug lines are kept"));
    const QStringList lines = Log::tail(10);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" INFO  [app] Opened ~/a.mkv"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" DEBUG [app] debug lines are kept")));
}

TEST(LogTest, ChangedLogsOnlyNewMessagesPerKey) {
    Log::changed(Log::Area::app, QStringLiteral("state"), QStringLiteral("up"));
    Log::changed(Log::Area::app, QStringLiteral("state"), QStringLiteral("up"));
    Log::changed(Log::Area::app, QStringLiteral("state"), QStringLiteral("down"));
    Log::changed(Log::Area::app, QStringLiteral("other"), QStringLiteral("down"));
    const QStringList lines = Log::tail(10);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] up")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("] down")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("] down")));
}

TEST(LogTest, RotatesOnlyAboveTwoMillionBytes) {
    const struct {
        qint64 size;
        bool rotates;
    } cases[] = {{2'000'000, false}, {2'000'001, true}};
    for (const auto& c : cases) {
        QFile::remove(Log::file());
        QFile::remove(Log::previousFile());
        writeBytes(Log::file(), c.size);
        Log::info(Log::Area::app, QStringLiteral("next line"));
        Log::flush();
        if (c.rotates) {
            EXPECT_EQ(QFileInfo(Log::previousFile()).size(), c.size);
            const QStringList lines = fileLines(Log::file());
            ASSERT_EQ(lines.size(), 1);
            EXPECT_TRUE(lines[0].endsWith(QStringLiteral("next line")));
        } else {
            EXPECT_FALSE(QFileInfo::exists(Log::previousFile()));
            EXPECT_GT(QFileInfo(Log::file()).size(), c.size);
        }
    }
}

TEST(LogTest, TailReadsBothFilesOldestFirst) {
    EXPECT_TRUE(Log::tail(5).isEmpty()) << "no log files yet";
    QDir().mkpath(Log::folder());
    QFile previous(Log::previousFile());
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("p1\np2\np3\n");
    previous.close();
    QFile current(Log::file());
    ASSERT_TRUE(current.open(QIODevice::WriteOnly));
    current.write("c1\nc2\n\nc3\nc4\n");
    current.close();
    EXPECT_TRUE(Log::tail(0).isEmpty());
    EXPECT_EQ(Log::tail(5), (QStringList{"p3", "c1", "c2", "c3", "c4"}));
    EXPECT_EQ(Log::tail(100).size(), 7);
}

TEST(LogTest, ManyThreadsNeitherTearNorLoseLines) {
    constexpr int kThreads = 8;
    constexpr int kLines = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                Log::info(Log::Area::app, QStringLiteral("thread %1 line %2 end").arg(t).arg(i));
        });
    for (auto& thread : threads)
        thread.join();
    const QStringList lines = Log::tail(kThreads * kLines + 10);
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression shape(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} INFO  \\[app\\] thread (\\d) line (\\d+) end$"));
    QList<int> next(kThreads, 0);
    for (const QString& line : lines) {
        const auto match = shape.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        // Each thread's lines arrive in the order that thread logged them.
        const int t = match.captured(1).toInt();
        EXPECT_EQ(match.captured(2).toInt(), next[t]);
        next[t] = match.captured(2).toInt() + 1;
    }
}
