#include "media/transcode/PlaybackTranscoder.h"

#include "common/Log.h"
#include "converter/ffmpeg/FFmpegJob.h"
#include "media/transcode/HlsPlaylist.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utime.h>

namespace {

FFmpeg::Probe probeOf(const char* json) {
    return FFmpeg::Probe::decode(QByteArray(json)).value();
}

QString readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

// H.264 and AAC in Matroska with a keyframe every 2 s, so that 4-second segments can be cut.
QString h264AacMkv(const QString& path, int seconds) {
    const QString duration = QString::number(seconds);
    const bool made =
        MediaFixtures::run({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=" + duration, "-f",
                            "lavfi", "-i", "sine=frequency=440:duration=" + duration, "-c:v", "libx264",
                            "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "50", "-c:a", "aac", path});
    return made ? path : QString();
}

// The fixtures are made once per process and copied into each test's own folder.
class PlaybackTranscoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_fixtures = new QTemporaryDir;
        const QString dir = s_fixtures->path();
        s_mkv = h264AacMkv(dir + QStringLiteral("/clip.mkv"), 14);
        s_short = h264AacMkv(dir + QStringLiteral("/short.mkv"), 6);
        s_webm = dir + QStringLiteral("/clip.webm");
        if (!MediaFixtures::run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                 QStringLiteral("testsrc2=size=160x120:rate=25:duration=14"),
                                 QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                 QStringLiteral("sine=frequency=440:duration=14"), QStringLiteral("-c:v"),
                                 QStringLiteral("libvpx-vp9"), QStringLiteral("-deadline"),
                                 QStringLiteral("realtime"), QStringLiteral("-cpu-used"), QStringLiteral("8"),
                                 QStringLiteral("-b:v"), QStringLiteral("200k"), QStringLiteral("-c:a"),
                                 QStringLiteral("libopus"), s_webm}))
            s_webm.clear();
        s_ogg = MediaFixtures::sound(dir, QStringLiteral("tone.ogg"), 3.0);
    }
    static void TearDownTestSuite() {
        delete s_fixtures;
        s_fixtures = nullptr;
    }

    void SetUp() override {
        QDir(PlaybackTranscoder::cache()).removeRecursively();
        ASSERT_FALSE(s_mkv.isEmpty());
        ASSERT_FALSE(s_short.isEmpty());
        ASSERT_FALSE(s_webm.isEmpty());
        ASSERT_FALSE(s_ogg.isEmpty());
    }

    // A copy of a fixture in this test's folder, so that changing it affects no other test.
    QString copy(const QString& fixture) {
        const QString path = m_dir.filePath(QFileInfo(fixture).fileName());
        QFile::copy(fixture, path);
        return path;
    }

    // Starts `transcoder` and waits for its one answer.
    std::optional<PlaybackTranscoder::Answer> run(PlaybackTranscoder& transcoder, const QString& path,
                                                  int* calls = nullptr) {
        std::optional<PlaybackTranscoder::Answer> result;
        transcoder.start(QUrl::fromLocalFile(path),
                         [&result, calls](const PlaybackTranscoder::Answer& answer) {
                             result = answer;
                             if (calls)
                                 ++*calls;
                         });
        TestSupport::waitFor([&] { return result.has_value(); }, 60000);
        return result;
    }

    static inline QTemporaryDir* s_fixtures = nullptr;
    static inline QString s_mkv, s_short, s_webm, s_ogg;
    QTemporaryDir m_dir;
};

} // namespace

TEST(PlaybackTranscoderPureTest, cacheKeyAndFolderName) {
    EXPECT_EQ(PlaybackTranscoder::cacheKey(QStringLiteral("/v/a.mkv"), 1700000000.5, 1234),
              QStringLiteral("2|/v/a.mkv|1700000000.5|1234"));
    EXPECT_EQ(PlaybackTranscoder::cacheKey(QStringLiteral("/v/a.mkv"), 1700000000, 0),
              QStringLiteral("2|/v/a.mkv|1700000000.0|0"));
    EXPECT_EQ(PlaybackTranscoder::cacheKey(QStringLiteral("/v/a.mkv"), 0, 0),
              QStringLiteral("2|/v/a.mkv|0.0|0"));
    EXPECT_EQ(PlaybackTranscoder::folderName(QStringLiteral("2|/v/a.mkv|1700000000.5|1234")),
              QStringLiteral("5918bff88f3b7a537e621f14"));
}

TEST(PlaybackTranscoderPureTest, argumentsByCodecs) {
    const char* h264Aac =
        R"({"streams":[{"index":0,"codec_type":"video","codec_name":"h264","width":1920,"height":1080},
        {"index":1,"codec_type":"audio","codec_name":"aac"},{"index":2,"codec_type":"subtitle","codec_name":"subrip"}],
        "format":{"duration":"10.0"}})";
    const QStringList full =
        PlaybackTranscoder::arguments(probeOf(h264Aac), QStringLiteral("/in/a.mkv"), QStringLiteral("/c/f"));
    EXPECT_EQ(full, (QStringList{"-i",
                                 "/in/a.mkv",
                                 "-map",
                                 "0:v:0",
                                 "-c:v",
                                 "copy",
                                 "-map",
                                 "0:a:0",
                                 "-c:a",
                                 "copy",
                                 "-sn",
                                 "-dn",
                                 "-f",
                                 "hls",
                                 "-hls_time",
                                 "4",
                                 "-hls_playlist_type",
                                 "event",
                                 "-hls_segment_type",
                                 "fmp4",
                                 "-hls_fmp4_init_filename",
                                 "init.mp4",
                                 "-hls_segment_filename",
                                 "/c/f/seg%05d.m4s",
                                 "-hls_flags",
                                 "independent_segments+temp_file",
                                 "/c/f/index.m3u8"}));

    const QStringList x264{"-c:v", "libx264", "-preset",        "veryfast", "-crf",
                           "21",   "-vf",     "format=yuv420p", "-g",       "120"};
    const QStringList aac{"-c:a", "aac", "-b:a", "192k", "-ac", "2"};
    const struct {
        const char* json;
        QList<QStringList> present; // phrases, each in one piece
        QStringList absent;
        bool videoCopy;
    } rows[] = {
        {R"({"streams":[{"index":0,"codec_type":"video","codec_name":"hevc"},{"index":1,"codec_type":"audio","codec_name":"eac3"}]})",
         {{"-c:v", "copy", "-tag:v", "hvc1"}, {"-c:a", "copy"}},
         {"libx264", "aac"},
         true},
        {R"({"streams":[{"index":0,"codec_type":"video","codec_name":"vp9"},{"index":1,"codec_type":"audio","codec_name":"opus"}]})",
         {QStringList{"-map", "0:v:0"} + x264, QStringList{"-map", "0:a:0"} + aac},
         {"copy", "hvc1"},
         false},
        {R"({"streams":[{"index":0,"codec_type":"audio","codec_name":"vorbis"}]})",
         {QStringList{"-map", "0:a:0"} + aac},
         {"0:v:0", "-c:v", "libx264"},
         false},
        {R"({"streams":[{"index":0,"codec_type":"video","codec_name":"h264"}]})",
         {{"-c:v", "copy", "-sn"}},
         {"0:a:0", "-c:a"},
         true},
        {R"({"streams":[{"index":0,"codec_type":"audio","codec_name":"ac3"},{"index":1,"codec_type":"video","codec_name":"mjpeg","disposition":{"attached_pic":1}}]})",
         {{"-i", "/in/x", "-map", "0:a:0", "-c:a", "copy"}},
         {"0:v:0", "-c:v"},
         false},
    };
    for (const auto& row : rows) {
        const FFmpeg::Probe probe = probeOf(row.json);
        const QString args =
            PlaybackTranscoder::arguments(probe, QStringLiteral("/in/x"), QStringLiteral("/c/f"))
                .join(QLatin1Char(' '));
        for (const QStringList& phrase : row.present)
            EXPECT_TRUE(args.contains(phrase.join(QLatin1Char(' ')))) << args.toStdString();
        for (const QString& word : row.absent)
            EXPECT_FALSE(args.split(QLatin1Char(' ')).contains(word))
                << word.toStdString() << " in " << args.toStdString();
        EXPECT_EQ(PlaybackTranscoder::videoCopyAllowed(probe), row.videoCopy) << row.json;
    }
}

TEST(PlaybackTranscoderPureTest, failureSentences) {
    EXPECT_FALSE(PlaybackTranscoder::failure(QStringLiteral("Cancelled")));
    const std::pair<const char*, const char*> rows[] = {
        {"x.mkv: Invalid data found when processing input",
         "This file looks damaged or isn't really a video or audio file."},
        {"first line\nINVALID DATA here\n", "This file looks damaged or isn't really a video or audio file."},
        {"Error opening output\nNo space left on device\n\n  ",
         "QuorvaneConverter couldn't play this file. No space left on device"},
        {"FFmpeg stopped with code 1.",
         "QuorvaneConverter couldn't play this file. FFmpeg stopped with code 1."},
    };
    for (const auto& [message, sentence] : rows)
        EXPECT_EQ(PlaybackTranscoder::failure(QString::fromUtf8(message))->message,
                  QString::fromUtf8(sentence));
}

TEST(PlaybackTranscoderPureTest, availableOfPlaylistFiles) {
    QTemporaryDir dir;
    EXPECT_EQ(PlaybackTranscoder::available(dir.filePath(QStringLiteral("missing.m3u8"))), 0.0);
    const QString path =
        TestSupport::writeFile(dir.filePath(QStringLiteral("index.m3u8")),
                               "#EXTM3U\n#EXTINF:4.000000,\na\n#EXTINF:4.000000,\nb\n#EXTINF:4.000000,\nc\n");
    EXPECT_DOUBLE_EQ(PlaybackTranscoder::available(path), 12.0);
}

TEST_F(PlaybackTranscoderTest, rewrapsH264AacMkv) {
    const QString path = copy(s_mkv);
    PlaybackTranscoder transcoder;
    int calls = 0;
    const auto answer = run(transcoder, path, &calls);
    ASSERT_TRUE(answer && std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
    const auto& ready = std::get<PlaybackTranscoder::Ready>(*answer);
    EXPECT_FALSE(ready.converting);
    EXPECT_NEAR(ready.duration, 14.0, 0.2);
    EXPECT_EQ(ready.size, QSize(160, 120));
    ASSERT_TRUE(transcoder.folder());
    EXPECT_EQ(ready.playlist, *transcoder.folder() + QStringLiteral("/index.m3u8"));
    EXPECT_EQ(QFileInfo(*transcoder.folder()).dir().path(), PlaybackTranscoder::cache());
    const QString text = readAll(ready.playlist);
    EXPECT_TRUE(HlsPlaylist::segmentCount(text) >= 3 || HlsPlaylist::finished(text));
    ASSERT_TRUE(ready.stream());
    EXPECT_TRUE(ready.stream()->toString().startsWith(QStringLiteral("http://127.0.0.1:")));
    EXPECT_TRUE(ready.stream()->toString().endsWith(QFileInfo(*transcoder.folder()).fileName() +
                                                    QStringLiteral("/index.m3u8")));
    EXPECT_TRUE(Log::tail(20)
                    .join(QLatin1Char('\n'))
                    .contains(QStringLiteral("Player: rewrapping a mkv file for playback")));
    ASSERT_TRUE(TestSupport::waitFor([&] { return transcoder.complete(); }, 60000));
    EXPECT_EQ(calls, 1);
}

TEST_F(PlaybackTranscoderTest, reencodesVp9OpusWebmToH264Aac) {
    const QString path = copy(s_webm);
    PlaybackTranscoder transcoder;
    const auto answer = run(transcoder, path);
    ASSERT_TRUE(answer && std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
    EXPECT_TRUE(std::get<PlaybackTranscoder::Ready>(*answer).converting);
    EXPECT_TRUE(Log::tail(20)
                    .join(QLatin1Char('\n'))
                    .contains(QStringLiteral("Player: converting a webm file for playback")));
    ASSERT_TRUE(TestSupport::waitFor([&] { return transcoder.complete(); }, 60000));
    const auto out = FFmpeg::probeBlocking(std::get<PlaybackTranscoder::Ready>(*answer).playlist);
    ASSERT_TRUE(out && out->video() && !out->audio().isEmpty());
    EXPECT_EQ(out->video()->codecName, QStringLiteral("h264"));
    EXPECT_EQ(out->audio().first().codecName, QStringLiteral("aac"));
}

TEST_F(PlaybackTranscoderTest, oggVorbisSoundOnlyIsConverted) {
    const QString path = copy(s_ogg);
    PlaybackTranscoder transcoder;
    const auto answer = run(transcoder, path);
    ASSERT_TRUE(answer && std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
    const auto& ready = std::get<PlaybackTranscoder::Ready>(*answer);
    EXPECT_TRUE(ready.converting);
    EXPECT_FALSE(ready.size);
    ASSERT_TRUE(TestSupport::waitFor([&] { return transcoder.complete(); }, 60000));
    const auto out = FFmpeg::probeBlocking(ready.playlist);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->video());
    EXPECT_EQ(out->audio().value(0).codecName, QStringLiteral("aac"));
}

TEST_F(PlaybackTranscoderTest, finishedStreamReusedUntilTheFileChanges) {
    const QString path = copy(s_short);
    QString folder;
    {
        PlaybackTranscoder first;
        ASSERT_TRUE(run(first, path));
        ASSERT_TRUE(TestSupport::waitFor([&] { return first.complete(); }, 60000));
        folder = *first.folder();
        first.stop();
    }
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/index.m3u8")));

    PlaybackTranscoder second;
    const auto answer = run(second, path);
    ASSERT_TRUE(answer && std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
    EXPECT_FALSE(std::get<PlaybackTranscoder::Ready>(*answer).converting);
    EXPECT_EQ(second.job(), nullptr);
    EXPECT_TRUE(second.complete());
    EXPECT_EQ(*second.folder(), folder);

    const utimbuf times{1600000000, 1600000000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    PlaybackTranscoder third;
    ASSERT_TRUE(run(third, path));
    EXPECT_NE(*third.folder(), folder);
}

TEST_F(PlaybackTranscoderTest, stopRemovesAnUnfinishedStreamAndKeepsAFinishedOne) {
    const QString path = copy(s_webm);
    PlaybackTranscoder converting;
    bool answered = false;
    converting.start(QUrl::fromLocalFile(path), [&](const PlaybackTranscoder::Answer&) { answered = true; });
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return converting.job() && converting.job()->isRunning(); }, 30000));
    const QString folder = *converting.folder();
    EXPECT_TRUE(QFileInfo::exists(folder));
    converting.stop();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(converting.folder());
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_FALSE(answered);

    PlaybackTranscoder finished;
    ASSERT_TRUE(run(finished, copy(s_short)));
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.complete(); }, 60000));
    const QString kept = *finished.folder();
    finished.stop();
    EXPECT_TRUE(QFileInfo::exists(kept + QStringLiteral("/index.m3u8")));
}

TEST_F(PlaybackTranscoderTest, shortFileAnsweredByTheCompletionHandler) {
    PlaybackTranscoder transcoder;
    // The check would come only after a minute: the job's end must answer.
    transcoder.setCheckIntervalForTesting(60000);
    const auto answer = run(transcoder, copy(s_short));
    ASSERT_TRUE(answer && std::holds_alternative<PlaybackTranscoder::Ready>(*answer));
    EXPECT_TRUE(transcoder.complete());
    const QString text = readAll(std::get<PlaybackTranscoder::Ready>(*answer).playlist);
    EXPECT_EQ(HlsPlaylist::segmentCount(text), 2);
    EXPECT_TRUE(HlsPlaylist::finished(text));
}

TEST_F(PlaybackTranscoderTest, damagedFileGivesItsSentence) {
    const QString path =
        TestSupport::writeFile(m_dir.filePath(QStringLiteral("broken.mkv")), QByteArray(4096, '\x5a'));
    PlaybackTranscoder transcoder;
    const auto answer = run(transcoder, path);
    ASSERT_TRUE(answer && std::holds_alternative<ConvertError>(*answer));
    EXPECT_EQ(std::get<ConvertError>(*answer).message,
              QStringLiteral("QuorvaneConverter couldn't read this file. It may be damaged."));
    EXPECT_EQ(transcoder.job(), nullptr);
}

TEST_F(PlaybackTranscoderTest, stoppedBeforeTheProbeAnswersNothing) {
    bool answered = false;
    {
        PlaybackTranscoder transcoder;
        transcoder.start(QUrl::fromLocalFile(copy(s_short)),
                         [&](const PlaybackTranscoder::Answer&) { answered = true; });
        transcoder.stop();
        TestSupport::waitFor([] { return false; }, 1500);
    }
    EXPECT_FALSE(answered);
    EXPECT_TRUE(QDir(PlaybackTranscoder::cache()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}
