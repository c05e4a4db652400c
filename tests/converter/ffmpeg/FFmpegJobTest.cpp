#include "converter/ffmpeg/FFmpegJob.h"

#include "converter/ffmpeg/FFmpeg.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

#include <gtest/gtest.h>

namespace {

// A job's callbacks as they arrived.
struct Outcome {
    QList<double> progress;
    int finishedCalls = 0;
    std::optional<QString> failure;
};

// Runs jobs against a stand-in `ffmpeg`: a small script that writes what a test needs.
class FFmpegJobTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override { FFmpeg::setFolderForTesting(QString()); }

    void useScript(const QByteArray& body) {
        const QString tool = TestSupport::writeFile(m_dir.filePath(QStringLiteral("tools/ffmpeg")),
                                                    "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        FFmpeg::setFolderForTesting(m_dir.filePath(QStringLiteral("tools")));
    }

    std::unique_ptr<FFmpeg::Job> makeJob(Outcome& outcome, double duration = 0, double frames = 0,
                                         const QStringList& arguments = {}) {
        return std::make_unique<FFmpeg::Job>(
            arguments, duration, frames, [&outcome](double fraction) { outcome.progress.append(fraction); },
            [&outcome](std::optional<QString> failure) {
                ++outcome.finishedCalls;
                outcome.failure = failure;
            });
    }

    static bool waitFinished(const Outcome& outcome) {
        return TestSupport::waitFor([&] { return outcome.finishedCalls > 0; }, 30000);
    }

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FFmpegJobTest, commonPrefix) {
    EXPECT_EQ(FFmpeg::Job::commonPrefix(),
              (QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-y"),
                           QStringLiteral("-progress"), QStringLiteral("pipe:1"), QStringLiteral("-nostats"),
                           QStringLiteral("-loglevel"), QStringLiteral("error")}));
}

TEST_F(FFmpegJobTest, progressOnlyGrowsAndStopsAtOne) {
    struct Step {
        const char* chunk;
        double level;
    };
    // Duration 10 s, 250 frames; each step starts from the previous level.
    const Step steps[] = {
        {"out_time_us=5000000\n", 0.5},
        {"out_time_us=4000000\n", 0.5},
        {"out_time_us=N/A\nout_time_us=\n", 0.5},
        {"frame=150\nfps=25.0\n", 0.6},
        {"frame=abc\nbitrate=N/A\nprogress=continue\n", 0.6},
        {"out_time_us=20000000\n", 2.0},
    };
    double level = 0;
    for (const Step& step : steps) {
        level = FFmpeg::Job::parseProgress(QByteArray(step.chunk), level, 10, 250);
        EXPECT_DOUBLE_EQ(level, step.level) << step.chunk;
    }
    // Without a duration or a frame count the matching lines say nothing.
    EXPECT_DOUBLE_EQ(FFmpeg::Job::parseProgress("out_time_us=5000000\nframe=10\n", 0, 0, 0), 0);
    EXPECT_DOUBLE_EQ(FFmpeg::Job::parseProgress("frame=10\n", 0, 10, 0), 0);
    EXPECT_DOUBLE_EQ(FFmpeg::Job::parseProgress("out_time_us=1000000\n", 0, 0, 100), 0);
    EXPECT_DOUBLE_EQ(FFmpeg::Job::parseProgress("\n\n\nframe=25\n\n", 0, 0, 100), 0.25);
}

TEST_F(FFmpegJobTest, progressCallbacksFromTheToolsLines) {
    // Paced, so that each line arrives in a read of its own.
    useScript(
        "for line in frame=0 out_time_us=5000000 out_time_us=4000000 out_time_us=N/A progress=continue \\\n"
        "            out_time_us=20000000 progress=end; do\n"
        "    echo \"$line\"; sleep 0.05\n"
        "done\n"
        "exit 0");
    Outcome outcome;
    auto job = makeJob(outcome, 10);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.progress, (QList<double>{0.5, 1.0}));
    EXPECT_FALSE(outcome.failure);
    EXPECT_DOUBLE_EQ(job->progressLevel(), 1.0);
    EXPECT_FALSE(job->isRunning());
    TestSupport::waitFor([] { return false; }, 100);
    EXPECT_EQ(outcome.finishedCalls, 1);
}

TEST_F(FFmpegJobTest, aLineSplitAcrossWritesIsReadWhole) {
    useScript("printf 'out_time_us=2'\nsleep 0.2\nprintf '500000\\n'\nexit 0");
    Outcome outcome;
    auto job = makeJob(outcome, 10);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.progress, (QList<double>{0.25}));
}

TEST_F(FFmpegJobTest, failureCarriesTheLastSixErrorLines) {
    useScript("for i in 1 2 3 4 5 6 7 8; do echo \"error line $i\" >&2; echo >&2; done\nexit 1");
    Outcome outcome;
    auto job = makeJob(outcome);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.failure, QStringLiteral("error line 3\nerror line 4\nerror line 5\nerror line 6\n"
                                              "error line 7\nerror line 8"));
    EXPECT_EQ(job->errorTail().size(), 6);
}

TEST_F(FFmpegJobTest, encoderChatterIsNotAnError) {
    useScript("echo 'x265 [info]: HEVC encoder version 3.5' >&2\n"
              "echo 'x265 [warning]: Source height < 720p; disabling lookahead-slices' >&2\n"
              "echo 'Error writing trailer of out.mp4: No space left on device' >&2\n"
              "echo 'encoded 25 frames in 0.31s (80.11 fps), 169.46 kb/s, Avg QP:28.09' >&2\n"
              "exit 1");
    Outcome outcome;
    auto job = makeJob(outcome);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.failure, QStringLiteral("Error writing trailer of out.mp4: No space left on device"));
}

TEST_F(FFmpegJobTest, failureWithoutErrorLinesNamesTheCode) {
    struct Case {
        const char* script;
        const char* failure;
    };
    const Case cases[] = {
        {"exit 1", "FFmpeg stopped with code 1."},
        {"echo 'out_time_us=1' ; exit 69", "FFmpeg stopped with code 69."},
        // Killed by a signal: never a success.
        {"kill -9 $$", "FFmpeg stopped with code 9."},
    };
    for (const Case& c : cases) {
        useScript(c.script);
        Outcome outcome;
        auto job = makeJob(outcome);
        ASSERT_FALSE(job->start());
        ASSERT_TRUE(waitFinished(outcome));
        EXPECT_EQ(outcome.failure, QString::fromLatin1(c.failure)) << c.script;
    }
}

TEST_F(FFmpegJobTest, theToolGetsThePrefixAndTheArguments) {
    useScript("for a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/../arguments.txt\"\nexit 0");
    Outcome outcome;
    auto job =
        makeJob(outcome, 0, 0, {QStringLiteral("-i"), QStringLiteral("/in/a b.mkv"), QStringLiteral("out")});
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_FALSE(outcome.failure);
    QFile file(path("arguments.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList arguments =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected =
        FFmpeg::Job::commonPrefix() +
        QStringList{QStringLiteral("-i"), QStringLiteral("/in/a b.mkv"), QStringLiteral("out")};
    EXPECT_EQ(arguments, expected);
}

TEST_F(FFmpegJobTest, cancelReportsCancelledWhateverTheExitStatus) {
    // Like ffmpeg: on SIGTERM it writes an error and exits with 255.
    useScript("trap 'echo \"Exiting normally, received signal 15.\" >&2; exit 255' TERM\n"
              "touch \"$(dirname \"$0\")/../running\"\n"
              "while true; do sleep 0.05; done");
    Outcome outcome;
    auto job = makeJob(outcome);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFile::exists(path("running")); }));
    EXPECT_TRUE(job->isRunning());
    job->cancel();
    EXPECT_TRUE(job->cancelled());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.failure, QStringLiteral("Cancelled"));
    EXPECT_FALSE(job->isRunning());
}

TEST_F(FFmpegJobTest, cancelOfAToolThatIgnoresTheRequestStillEnds) {
    useScript("trap '' TERM\ntouch \"$(dirname \"$0\")/../running\"\nwhile true; do sleep 0.05; done");
    Outcome outcome;
    auto job = makeJob(outcome);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFile::exists(path("running")); }));
    job->cancel();
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.failure, QStringLiteral("Cancelled"));
}

TEST_F(FFmpegJobTest, cancelBeforeStartEndsCancelled) {
    useScript("sleep 30");
    Outcome outcome;
    auto job = makeJob(outcome);
    job->cancel();
    EXPECT_FALSE(job->isRunning());
    EXPECT_EQ(outcome.finishedCalls, 0);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_EQ(outcome.failure, QStringLiteral("Cancelled"));
}

TEST_F(FFmpegJobTest, aReleasedJobCallsNothingAndLeavesNoProcess) {
    useScript("echo $$ > \"$(dirname \"$0\")/../pid\"\necho 'out_time_us=1000000'\nexec sleep 30");
    Outcome outcome;
    auto job = makeJob(outcome, 10);
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFile(path("pid")).size() > 0; }));
    QFile file(path("pid"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    job.reset();
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_EQ(outcome.finishedCalls, 0);
    EXPECT_TRUE(outcome.progress.isEmpty() || outcome.progress == QList<double>{0.1});
    EXPECT_NE(::kill(pid, 0), 0);
}

TEST_F(FFmpegJobTest, aJobReleasedInsideItsCallbackIsFine) {
    useScript("echo 'out_time_us=5000000'\necho 'oops' >&2\nexit 3");
    Outcome outcome;
    std::unique_ptr<FFmpeg::Job> job;
    job = std::make_unique<FFmpeg::Job>(
        QStringList{}, 10, 0, [&](double) { outcome.progress.append(1); },
        [&](std::optional<QString> failure) {
            ++outcome.finishedCalls;
            outcome.failure = failure;
            job.reset();
        });
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_FALSE(job);
    EXPECT_EQ(outcome.failure, QStringLiteral("oops"));
}

TEST_F(FFmpegJobTest, aLaunchFailureIsReturnedAndNothingCallsBack) {
    // No tool at all, and a tool that is not executable.
    FFmpeg::setFolderForTesting(path("nothing-here"));
    Outcome outcome;
    auto job = makeJob(outcome);
    const std::optional<QString> failure = job->start();
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->isEmpty());
    EXPECT_FALSE(job->isRunning());

    TestSupport::writeFile(path("plain/ffmpeg"), "#!/bin/sh\nexit 0\n");
    FFmpeg::setFolderForTesting(path("plain"));
    Outcome second;
    auto other = makeJob(second);
    EXPECT_TRUE(other->start());

    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_EQ(outcome.finishedCalls, 0);
    EXPECT_EQ(second.finishedCalls, 0);
    // A job starts once.
    EXPECT_TRUE(job->start());
}

TEST_F(FFmpegJobTest, endsWithTheRealTool) {
    // The real ffmpeg, a generated clip converted to nothing: success and progress up to the end.
    Outcome outcome;
    auto job = makeJob(outcome, 1, 25,
                       {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                        QStringLiteral("testsrc2=size=160x120:rate=25:duration=1"), QStringLiteral("-f"),
                        QStringLiteral("null"), QStringLiteral("-")});
    ASSERT_FALSE(job->start());
    ASSERT_TRUE(waitFinished(outcome));
    EXPECT_FALSE(outcome.failure) << outcome.failure->toStdString();
    ASSERT_FALSE(outcome.progress.isEmpty());
    EXPECT_DOUBLE_EQ(outcome.progress.last(), 1.0);
    for (int i = 1; i < outcome.progress.size(); ++i)
        EXPECT_GT(outcome.progress[i], outcome.progress[i - 1]);

    // And its own error lines when the input is missing.
    Outcome failed;
    auto bad = makeJob(failed, 0, 0, {QStringLiteral("-i"), path("missing.mp4"), path("out.mp4")});
    ASSERT_FALSE(bad->start());
    ASSERT_TRUE(waitFinished(failed));
    ASSERT_TRUE(failed.failure);
    EXPECT_TRUE(failed.failure->contains(QStringLiteral("No such file or directory")))
        << failed.failure->toStdString();
}
