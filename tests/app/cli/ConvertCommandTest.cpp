#include "app/cli/ConvertCommand.h"

#include "common/UserDefaults.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

QString program() {
    return QStringLiteral(QC_BUILD_DIR "/bin/quorvane-convert");
}

ToolRun run(const QStringList& arguments, const QString& folder = {}) {
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program(), arguments);
    ToolRun result;
    if (!process.waitForStarted() || !process.waitForFinished(180000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QList<QJsonObject> jsonLines(const QString& text) {
    QList<QJsonObject> objects;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        objects.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return objects;
}

QStringList files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// The ffmpeg processes whose command line mentions `text`.
int toolsMentioning(const QString& text) {
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = cmdline.readAll();
        if (line.contains("ffmpeg") && line.contains(text.toUtf8()))
            ++count;
    }
    return count;
}

TEST(ConvertCommandTest, UsageErrorsExitWithTwo) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    const QList<QStringList> cases{
        {},
        {QStringLiteral("--to")},
        {QStringLiteral("--to"), QStringLiteral("nothing"), song},
        {QStringLiteral("--quality"), QStringLiteral("great"), song},
        {QStringLiteral("--size"), QStringLiteral("-1"), song},
        {QStringLiteral("--size=big"), song},
        {QStringLiteral("--frobnicate"), song},
        {QStringLiteral("--json=yes"), song},
        {QStringLiteral("--to"), QStringLiteral("mp4-hevc"), QStringLiteral("--to"), QStringLiteral("mp4"),
         song},
        {QStringLiteral("--folder"), dir.filePath(QStringLiteral("missing")), song},
    };
    for (const QStringList& arguments : cases) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_EQ(files(dir.path()), QStringList{"song.wav"});
}

TEST(ConvertCommandTest, ParsingAndChoices) {
    const ConvertCommand::Parsed parsed =
        ConvertCommand::parse({"--to", "mp4", "--to=mp3", "--quality", "small", "--size", "720", "--json",
                               "--", "--odd-name.mp4", "b.wav"});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.inputs, (QStringList{"--odd-name.mp4", "b.wav"}));
    EXPECT_EQ(parsed.options.quality, ConvertQuality::small);
    EXPECT_EQ(parsed.options.maxSize, 720);
    EXPECT_TRUE(parsed.options.json);

    // mp3 is offered to videos and to sound; mp4 only to videos, so videos take mp4.
    QString error;
    const auto chosen = ConvertCommand::choices({"mp3", "mp4"}, &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(chosen.value(ConvertKind::video), QStringLiteral("mp4"));
    EXPECT_EQ(chosen.value(ConvertKind::audio), QStringLiteral("mp3"));
    EXPECT_FALSE(chosen.contains(ConvertKind::image));
    // One id offered to several kinds applies to each of them.
    const auto flac = ConvertCommand::choices({"flac"}, &error);
    EXPECT_EQ(flac.value(ConvertKind::video), QStringLiteral("flac"));
    EXPECT_EQ(flac.value(ConvertKind::audio), QStringLiteral("flac"));
    EXPECT_EQ(flac.size(), 2);
}

TEST(ConvertCommandTest, HelpAndList) {
    const ToolRun help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("Usage: quorvane-convert")));
    const ToolRun list = run({QStringLiteral("--list")});
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(list.out.contains(QStringLiteral("mp4-hevc")));
    EXPECT_TRUE(list.out.contains(QStringLiteral("MP4 (HEVC / H.265)")));
}

TEST(ConvertCommandTest, ConvertsAndReportsEachFileAsJson) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 1.0);
    MediaFixtures::Video small;
    small.width = 96;
    small.height = 64;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mkv"), small);
    const ToolRun result = run({"--json", "--to", "mp4", "--to", "mp3", song, clip});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    const QList<QJsonObject> lines = jsonLines(result.out);
    ASSERT_EQ(lines.size(), 2) << result.out.toStdString();
    QHash<QString, QJsonObject> byKind;
    for (const QJsonObject& line : lines)
        byKind.insert(line.value("kind").toString(), line);
    const QJsonObject sound = byKind.value("audio");
    EXPECT_EQ(sound.value("input").toString(), song);
    EXPECT_EQ(sound.value("target").toString(), "mp3");
    EXPECT_EQ(sound.value("status").toString(), "done");
    EXPECT_EQ(sound.value("output").toString(), dir.filePath("song.mp3"));
    EXPECT_EQ(sound.value("size").toInteger(), QFileInfo(dir.filePath("song.mp3")).size());
    EXPECT_EQ(sound.value("estimate").toInteger(), 24'000); // 1 s at 192 kbit/s
    EXPECT_TRUE(sound.value("message").isNull());
    const QJsonObject video = byKind.value("video");
    EXPECT_EQ(video.value("output").toString(), dir.filePath("clip.mp4"));
    EXPECT_EQ(video.value("status").toString(), "done");
    EXPECT_EQ(files(dir.path()), (QStringList{"clip.mkv", "clip.mp4", "song.mp3", "song.wav"}));
}

TEST(ConvertCommandTest, PlainLinesAndFailures) {
    QTemporaryDir dir;
    MediaFixtures::Video silent;
    silent.width = 96;
    silent.height = 64;
    silent.soundTracks = {};
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("silent.mp4"), silent);
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    const QString notes = TestSupport::writeFile(dir.filePath("notes.xyz"),
                                                 QByteArray(64, char(0)) + QByteArray("\xff\xfe\x00\x07", 4));

    const ToolRun result = run({"--to", "mp3", clip, song, notes});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.contains(QStringLiteral("silent.mp4: This video has no sound to save.")))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("song.wav: Saved as song.mp3")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("1 skipped (not a format QuorvaneConverter converts)")));

    const ToolRun missing = run({dir.filePath("gone.mp4")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("There's no file or folder here.")));
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Nothing to convert.")));

    const ToolRun nothing = run({notes});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_TRUE(nothing.err.contains(QStringLiteral("1 skipped")));
}

TEST(ConvertCommandTest, EstimateConvertsNothing) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 10.0);
    MediaFixtures::Video small;
    small.width = 96;
    small.height = 64;
    small.seconds = 2;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), small);

    const ToolRun plain = run({"--estimate", "--to", "mp3", "--to", "webm", dir.path()});
    EXPECT_EQ(plain.status, 0) << plain.err.toStdString();
    EXPECT_TRUE(
        plain.out.contains(QStringLiteral("song.wav: ") + QStringLiteral("1.8 MB → MP3, about 240 kB")))
        << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains(QStringLiteral("clip.mp4: "))) << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains(QStringLiteral("Music & audio → MP3: about 240 kB · 86% smaller")))
        << plain.out.toStdString();

    const ToolRun json = run({"--estimate", "--json", "--to", "mp3", "--to", "webm", song, clip});
    EXPECT_EQ(json.status, 0);
    const QList<QJsonObject> lines = jsonLines(json.out);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0).value("estimate").toInteger(), 240'000);
    EXPECT_EQ(lines.at(1).value("target").toString(), "webm");
    EXPECT_GT(lines.at(1).value("estimate").toInteger(), 0);
    EXPECT_EQ(files(dir.path()), (QStringList{"clip.mp4", "song.wav"}));
}

TEST(ConvertCommandTest, RememberedChoicesAreReadButNeverChanged) {
    QTemporaryDir dir;
    UserDefaults& store = UserDefaults::media();
    store.setValue(QStringLiteral("fx.converter.audio"), QStringLiteral("flac"));
    store.setValue(QStringLiteral("fx.converter.quality"), QStringLiteral("best"));
    store.sync();
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    const QString out = dir.filePath("out");
    QDir().mkpath(out);

    const ToolRun result = run({"--quality", "small", "--size", "480", "--folder", out, song});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(files(out), QStringList{"song.flac"});
    store.sync();
    EXPECT_EQ(store.string(QStringLiteral("fx.converter.audio")), QStringLiteral("flac"));
    EXPECT_EQ(store.string(QStringLiteral("fx.converter.quality")), QStringLiteral("best"));
    EXPECT_FALSE(store.contains(QStringLiteral("fx.converter.maxSize")));
    EXPECT_FALSE(store.contains(QStringLiteral("fx.converter.folder")));
    EXPECT_FALSE(store.contains(QStringLiteral("fx.converter.video")));
}

QString longClip(const QString& folder) {
    MediaFixtures::Video clip;
    clip.width = 640;
    clip.height = 480;
    clip.seconds = 30;
    return MediaFixtures::video(folder, QStringLiteral("long.mp4"), clip);
}

// The hidden temporary file a running conversion writes in `folder`, or empty.
QString partial(const QString& folder) {
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".*.part-*")}, QDir::Files | QDir::Hidden);
    return names.isEmpty() ? QString() : folder + QLatin1Char('/') + names.first();
}

TEST(ConvertCommandTest, CtrlCStopsCleanlyAndLeavesNoPartialOutput) {
    QTemporaryDir dir;
    const QString clip = longClip(dir.path());
    ASSERT_FALSE(clip.isEmpty());
    QProcess process;
    process.start(program(), {"--to", "webm", clip});
    ASSERT_TRUE(process.waitForStarted());
    QString output;
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return QFileInfo(output = partial(dir.path())).size() > 0; }, 60000));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(process.readAllStandardOutput()).contains(QStringLiteral("long.mp4: Stopped")));
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(toolsMentioning(output), 0);
}

TEST(ConvertCommandTest, AKilledRunsHalfWrittenOutputIsRemovedAtTheNextStart) {
    QTemporaryDir dir;
    const QString clip = longClip(dir.path());
    ASSERT_FALSE(clip.isEmpty());
    const QString bystander = TestSupport::writeFile(dir.filePath("keep.txt"), "mine");
    QProcess process;
    process.start(program(), {"--to", "webm", clip});
    ASSERT_TRUE(process.waitForStarted());
    QString output;
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return QFileInfo(output = partial(dir.path())).size() > 0; }, 60000));
    process.kill();
    ASSERT_TRUE(process.waitForFinished(10000));
    // The conversion's ffmpeg dies with it.
    EXPECT_TRUE(TestSupport::waitFor([&] { return toolsMentioning(output) == 0; }, 5000));
    ASSERT_TRUE(QFileInfo::exists(output));

    // The next start (of either front end) cleans up.
    const ToolRun next = run({"--estimate", bystander});
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_TRUE(QFileInfo::exists(clip));
    EXPECT_TRUE(QFileInfo::exists(bystander));
}

} // namespace
