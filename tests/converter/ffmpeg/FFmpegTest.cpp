#include "converter/ffmpeg/FFmpeg.h"

#include "common/Paths.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

FFmpeg::Stream streamWithRate(const std::optional<QString>& rate) {
    FFmpeg::Stream stream;
    stream.avgFrameRate = rate;
    return stream;
}

FFmpeg::Probe decoded(const char* json) {
    const std::optional<FFmpeg::Probe> probe = FFmpeg::Probe::decode(QByteArray(json));
    EXPECT_TRUE(probe) << json;
    return probe.value_or(FFmpeg::Probe());
}

class FFmpegTest : public ::testing::Test {
protected:
    void TearDown() override { FFmpeg::setFolderForTesting(QString()); }
};

} // namespace

TEST_F(FFmpegTest, fpsFromTheFrameRateRatio) {
    struct Case {
        std::optional<QString> rate;
        double fps;
    };
    const Case cases[] = {
        {QStringLiteral("0/0"), 0},
        {QStringLiteral("25/1"), 25},
        {QStringLiteral("30000/1001"), 30000.0 / 1001},
        {QStringLiteral("25"), 0},
        {std::nullopt, 0},
        {QString(), 0},
        {QStringLiteral("25/0"), 0},
        {QStringLiteral("25/-1"), 0},
        {QStringLiteral("x/1"), 0},
        {QStringLiteral("1/2/3"), 0},
        {QStringLiteral("/25/1"), 25},
        {QStringLiteral("24000/1001"), 24000.0 / 1001},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(streamWithRate(c.rate).fps(), c.fps)
            << c.rate.value_or(QStringLiteral("<none>")).toStdString();
    EXPECT_NEAR(streamWithRate(QStringLiteral("30000/1001")).fps(), 29.97, 0.001);
}

TEST_F(FFmpegTest, decodesSnakeCaseAndKeepsMapKeys) {
    const FFmpeg::Probe probe = decoded(R"({
        "streams": [
            {"index": 0, "codec_type": "video", "codec_name": "h264", "width": 1920, "height": 1080,
             "avg_frame_rate": "25/1", "disposition": {"default": 1, "attached_pic": 0},
             "tags": {"language": "eng", "title": "Main", "handler_name": "VideoHandler"}},
            {"index": 1, "codec_type": "audio", "codec_name": "aac", "channels": 2, "sample_rate": "48000",
             "tags": {"LANGUAGE": "fre"}},
            {"index": 2, "codec_type": "subtitle", "codec_name": "subrip", "extra": [1, 2]}
        ],
        "format": {"format_name": "mov,mp4,m4a,3gp,3g2,mj2", "duration": "10.000000", "tags": {"major_brand": "isom"}}
    })");
    ASSERT_EQ(probe.streams.size(), 3);
    const FFmpeg::Stream& video = probe.streams[0];
    EXPECT_EQ(video.index, 0);
    EXPECT_EQ(video.codecType, QStringLiteral("video"));
    EXPECT_EQ(video.codecName, QStringLiteral("h264"));
    EXPECT_EQ(video.width, 1920);
    EXPECT_EQ(video.height, 1080);
    EXPECT_EQ(video.avgFrameRate, QStringLiteral("25/1"));
    EXPECT_EQ(video.disposition->value(QStringLiteral("default")), 1);
    EXPECT_EQ(video.tags->value(QStringLiteral("handler_name")), QStringLiteral("VideoHandler"));
    EXPECT_EQ(video.language(), QStringLiteral("eng"));
    EXPECT_EQ(video.title(), QStringLiteral("Main"));
    EXPECT_FALSE(video.channels);

    const FFmpeg::Stream& audio = probe.streams[1];
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.sampleRate, QStringLiteral("48000"));
    // The language tag is looked up with its exact key.
    EXPECT_FALSE(audio.language());
    EXPECT_EQ(audio.tags->value(QStringLiteral("LANGUAGE")), QStringLiteral("fre"));
    EXPECT_FALSE(audio.disposition);

    ASSERT_TRUE(probe.format);
    EXPECT_EQ(probe.format->formatName, QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2"));
    EXPECT_EQ(probe.format->tags->value(QStringLiteral("major_brand")), QStringLiteral("isom"));
    EXPECT_DOUBLE_EQ(probe.duration(), 10);
    EXPECT_DOUBLE_EQ(probe.frameCount(), 250);
    EXPECT_EQ(probe.video()->index, 0);
    ASSERT_EQ(probe.audio().size(), 1);
    EXPECT_EQ(probe.audio().first().index, 1);
    ASSERT_EQ(probe.subtitles().size(), 1);
    EXPECT_EQ(probe.subtitles().first().index, 2);
    EXPECT_FALSE(probe.hasCoverArt());
}

TEST_F(FFmpegTest, undecodableOutputGivesNoProbe) {
    const char* cases[] = {
        "",
        "not json",
        "[]",
        "{}",
        R"({"streams": {}})",
        R"({"streams": [{"codec_type": "audio"}]})",
        R"({"streams": [{"index": 0}, {"codec_type": "video"}]})",
        R"({"streams": [{"index": "0"}]})",
        R"({"streams": [{"index": 0.5}]})",
        R"({"streams": [{"index": 0, "width": "wide"}]})",
        R"({"streams": [{"index": 0, "tags": {"language": 3}}]})",
        R"({"streams": [{"index": 0, "disposition": {"attached_pic": "yes"}}]})",
        R"({"streams": [], "format": []})",
    };
    for (const char* json : cases)
        EXPECT_FALSE(FFmpeg::Probe::decode(QByteArray(json))) << json;
    // Optional values may be missing or null.
    EXPECT_TRUE(FFmpeg::Probe::decode(R"({"streams": [{"index": 3, "codec_name": null}], "format": null})"));
    EXPECT_TRUE(FFmpeg::Probe::decode(R"({"streams": []})"));
}

TEST_F(FFmpegTest, durationAndFrameCount) {
    struct Case {
        const char* json;
        double duration;
        double frames;
    };
    const Case cases[] = {
        {R"({"streams": [{"index": 0, "codec_type": "video", "avg_frame_rate": "25/1"}]})", 0, 0},
        {R"({"streams": [{"index": 0, "codec_type": "video", "avg_frame_rate": "25/1"}],
             "format": {"duration": "N/A"}})",
         0, 0},
        {R"({"streams": [{"index": 0, "codec_type": "video", "avg_frame_rate": "25/1"}],
             "format": {}})",
         0, 0},
        {R"({"streams": [{"index": 0, "codec_type": "audio"}], "format": {"duration": "12.5"}})", 12.5, 0},
        {R"({"streams": [{"index": 0, "codec_type": "video", "avg_frame_rate": "0/0"}],
             "format": {"duration": "4"}})",
         4, 0},
        {R"({"streams": [{"index": 0, "codec_type": "video", "avg_frame_rate": "30000/1001"}],
             "format": {"duration": "10.01"}})",
         10.01, 300},
    };
    for (const Case& c : cases) {
        const FFmpeg::Probe probe = decoded(c.json);
        EXPECT_NEAR(probe.duration(), c.duration, 1e-9) << c.json;
        EXPECT_NEAR(probe.frameCount(), c.frames, 1e-6) << c.json;
    }
}

TEST_F(FFmpegTest, coverPictureIsNotTheVideo) {
    const FFmpeg::Probe probe = decoded(R"({"streams": [
        {"index": 0, "codec_type": "audio", "codec_name": "mp3"},
        {"index": 1, "codec_type": "video", "codec_name": "mjpeg", "avg_frame_rate": "0/0",
         "disposition": {"attached_pic": 1}},
        {"index": 2, "codec_type": "video", "codec_name": "h264", "avg_frame_rate": "25/1"},
        {"index": 3, "codec_type": "audio", "codec_name": "ac3"}
    ], "format": {"duration": "2"}})");
    EXPECT_TRUE(probe.hasCoverArt());
    EXPECT_EQ(probe.video()->index, 2);
    EXPECT_DOUBLE_EQ(probe.frameCount(), 50);
    ASSERT_EQ(probe.audio().size(), 2);
    EXPECT_EQ(probe.audio()[1].codecName, QStringLiteral("ac3"));
    EXPECT_TRUE(probe.subtitles().isEmpty());
}

TEST_F(FFmpegTest, toolsLiveInTheResourcesToolFolder) {
    EXPECT_EQ(FFmpeg::folder(), Paths::toolFolder());
    EXPECT_EQ(FFmpeg::ffmpeg(), Paths::toolFolder() + QStringLiteral("/ffmpeg"));
    EXPECT_EQ(FFmpeg::ffprobe(), Paths::toolFolder() + QStringLiteral("/ffprobe"));
    EXPECT_TRUE(FFmpeg::available());
    EXPECT_EQ(FFmpeg::probeArguments(QStringLiteral("/in/a b.mkv")),
              (QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                           QStringLiteral("json"), QStringLiteral("-show_streams"),
                           QStringLiteral("-show_format"), QStringLiteral("/in/a b.mkv")}));
}

TEST_F(FFmpegTest, availableIsCheckedOnEveryRead) {
    QTemporaryDir dir;
    FFmpeg::setFolderForTesting(dir.path());
    EXPECT_EQ(FFmpeg::ffmpeg(), dir.filePath(QStringLiteral("ffmpeg")));
    EXPECT_FALSE(FFmpeg::available());
    const QString tool =
        TestSupport::writeFile(dir.filePath(QStringLiteral("ffmpeg")), "#!/bin/sh\nexit 0\n");
    EXPECT_FALSE(FFmpeg::available());
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(FFmpeg::available());
    QFile::remove(tool);
    EXPECT_FALSE(FFmpeg::available());
}

TEST_F(FFmpegTest, probesARealVideo) {
    QTemporaryDir dir;
    MediaFixtures::Video shape;
    shape.seconds = 2;
    shape.soundTracks = {1, 2};
    shape.subtitleTracks = 1;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mkv"), shape);
    ASSERT_FALSE(clip.isEmpty());

    std::optional<FFmpeg::Probe> result;
    bool called = false;
    QObject context;
    FFmpeg::probe(clip, &context, [&](std::optional<FFmpeg::Probe> probe) {
        called = true;
        result = probe;
    });
    // The answer always comes later, on the event loop.
    EXPECT_FALSE(called);
    ASSERT_TRUE(TestSupport::waitFor([&] { return called; }, 30000));
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->video());
    EXPECT_EQ(result->video()->codecName, QStringLiteral("h264"));
    EXPECT_EQ(result->video()->width, 160);
    EXPECT_EQ(result->video()->height, 120);
    EXPECT_DOUBLE_EQ(result->video()->fps(), 25);
    EXPECT_NEAR(result->duration(), 2, 0.1);
    EXPECT_NEAR(result->frameCount(), 50, 3);
    ASSERT_EQ(result->audio().size(), 2);
    EXPECT_EQ(result->audio()[0].channels, 1);
    EXPECT_EQ(result->audio()[1].channels, 2);
    EXPECT_EQ(result->subtitles().size(), 1);
    EXPECT_FALSE(result->hasCoverArt());
}

TEST_F(FFmpegTest, anMp3CoverIsNotAVideo) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::soundWithCover(dir.path(), QStringLiteral("song.mp3"));
    ASSERT_FALSE(song.isEmpty());
    const std::optional<FFmpeg::Probe> probe = FFmpeg::probeBlocking(song);
    ASSERT_TRUE(probe);
    EXPECT_TRUE(probe->hasCoverArt());
    EXPECT_FALSE(probe->video());
    EXPECT_DOUBLE_EQ(probe->frameCount(), 0);
    ASSERT_EQ(probe->audio().size(), 1);
    EXPECT_EQ(probe->audio().first().codecName, QStringLiteral("mp3"));
}

TEST_F(FFmpegTest, probeFailuresGiveNone) {
    QTemporaryDir dir;
    const QString notMedia =
        TestSupport::writeFile(dir.filePath(QStringLiteral("notes.mp4")), "just some words");
    EXPECT_FALSE(FFmpeg::probeBlocking(notMedia));
    EXPECT_FALSE(FFmpeg::probeBlocking(dir.filePath(QStringLiteral("missing.mp4"))));
    const QString sound = MediaFixtures::sound(dir.path());
    ASSERT_FALSE(sound.isEmpty());

    // A tool folder without ffprobe: none, delivered on the event loop all the same.
    QTemporaryDir empty;
    FFmpeg::setFolderForTesting(empty.path());
    EXPECT_FALSE(FFmpeg::probeBlocking(sound));
    bool called = false;
    std::optional<FFmpeg::Probe> result = FFmpeg::Probe();
    QObject context;
    FFmpeg::probe(sound, &context, [&](std::optional<FFmpeg::Probe> probe) {
        called = true;
        result = probe;
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return called; }));
    EXPECT_FALSE(result);

    // A tool whose output is not a description.
    const QString tool = TestSupport::writeFile(empty.filePath(QStringLiteral("ffprobe")),
                                                "#!/bin/sh\necho '{\"streams\": [{}]}'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(FFmpeg::probeBlocking(sound));
}

TEST_F(FFmpegTest, noAnswerOnceTheContextIsGone) {
    QTemporaryDir dir;
    const QString sound = MediaFixtures::sound(dir.path());
    ASSERT_FALSE(sound.isEmpty());
    int calls = 0;
    auto* context = new QObject;
    FFmpeg::probe(sound, context, [&](std::optional<FFmpeg::Probe>) { ++calls; });
    delete context;
    // A second probe on a living context shows when the first one would have answered.
    bool done = false;
    QObject living;
    FFmpeg::probe(sound, &living, [&](std::optional<FFmpeg::Probe> probe) { done = probe.has_value(); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return done; }, 30000));
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_EQ(calls, 0);
}
