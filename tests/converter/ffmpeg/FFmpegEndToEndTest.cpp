// Real conversions with the real ffmpeg: a tiny generated input, the argument list of each target
// run through FFmpeg::Job, and the output checked by probing it.
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/ffmpeg/FFmpegJob.h"

#include "common/Paths.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Converted {
    QString path;
    std::optional<QString> failure;
    QList<double> progress;
    std::optional<FFmpeg::Probe> probe;
};

Converted convert(const QString& input, const QString& targetId, ConvertKind kind,
                  const ConvertOptions& options = {}, const QString& outputName = {}) {
    Converted result;
    const std::optional<ConvertTarget> target = ConvertTarget::byID(targetId);
    EXPECT_TRUE(target) << targetId.toStdString();
    if (!target)
        return result;
    const std::optional<FFmpeg::Probe> source = FFmpeg::probeBlocking(input);
    EXPECT_TRUE(source) << input.toStdString();
    result.path = QFileInfo(input).dir().filePath(
        outputName.isEmpty() ? QStringLiteral("out-%1.%2").arg(target->id, target->ext) : outputName);
    const QStringList arguments = ConverterEngine::ffmpegArguments(input, result.path, *target, kind,
                                                                   source ? &*source : nullptr, options);
    const double duration = source ? source->duration() : 0;
    const double frames = source ? source->frameCount() : 0;
    bool finished = false;
    FFmpeg::Job job(
        arguments, duration, frames, [&](double fraction) { result.progress.append(fraction); },
        [&](std::optional<QString> failure) {
            finished = true;
            result.failure = failure;
        });
    const std::optional<QString> launch = job.start();
    EXPECT_FALSE(launch);
    if (launch)
        return result;
    EXPECT_TRUE(TestSupport::waitFor([&] { return finished; }, 120000)) << targetId.toStdString();
    EXPECT_FALSE(result.failure) << targetId.toStdString() << ": "
                                 << result.failure.value_or(QString()).toStdString();
    result.probe = FFmpeg::probeBlocking(result.path);
    EXPECT_TRUE(result.probe) << result.path.toStdString();
    return result;
}

std::optional<QString> codecOf(const QList<FFmpeg::Stream>& streams) {
    return streams.isEmpty() ? std::nullopt : streams.first().codecName;
}

// The four-character tag of the first video stream, as a player reads it.
QString videoTag(const QString& path) {
    QProcess process;
    process.start(Paths::toolFolder() + QStringLiteral("/ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                   QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_tag_string"), QStringLiteral("-of"),
                   QStringLiteral("default=nw=1:nk=1"), path});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

struct Expected {
    const char* target;
    // A name the container's format_name contains.
    const char* format;
    // Codec of the main video and of the first sound track; nullptr for none.
    const char* video;
    const char* audio;
};

void checkOutput(const Converted& converted, const Expected& expected, double seconds) {
    SCOPED_TRACE(expected.target);
    ASSERT_TRUE(converted.probe);
    const FFmpeg::Probe& probe = *converted.probe;
    ASSERT_TRUE(probe.format);
    EXPECT_TRUE(probe.format->formatName.value_or(QString()).contains(QString::fromLatin1(expected.format)))
        << probe.format->formatName.value_or(QString()).toStdString();
    const std::optional<FFmpeg::Stream> video = probe.video();
    if (expected.video) {
        ASSERT_TRUE(video);
        EXPECT_EQ(video->codecName, QString::fromLatin1(expected.video));
    } else {
        EXPECT_FALSE(video);
    }
    if (expected.audio) {
        EXPECT_EQ(codecOf(probe.audio()), QString::fromLatin1(expected.audio));
    } else {
        EXPECT_TRUE(probe.audio().isEmpty());
    }
    EXPECT_TRUE(probe.subtitles().isEmpty());
    EXPECT_FALSE(probe.hasCoverArt());
    if (QString::fromLatin1(expected.target) != QStringLiteral("gif")) {
        EXPECT_NEAR(probe.duration(), seconds, 0.25);
    }
    // Progress grew and stayed within (0, 1].
    for (int i = 0; i < converted.progress.size(); ++i) {
        EXPECT_GT(converted.progress[i], 0);
        EXPECT_LE(converted.progress[i], 1);
        if (i > 0) {
            EXPECT_GT(converted.progress[i], converted.progress[i - 1]);
        }
    }
}

class FFmpegEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString folder() const { return m_dir.path(); }
    QTemporaryDir m_dir;
};

class VideoTargetTest : public FFmpegEndToEndTest, public ::testing::WithParamInterface<Expected> {};
class AudioTargetTest : public FFmpegEndToEndTest, public ::testing::WithParamInterface<Expected> {};

std::string nameOf(const ::testing::TestParamInfo<Expected>& info) {
    std::string name = info.param.target;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

} // namespace

TEST_P(VideoTargetTest, convertsAVideo) {
    const QString clip = MediaFixtures::video(folder());
    ASSERT_FALSE(clip.isEmpty());
    const Converted converted = convert(clip, QString::fromLatin1(GetParam().target), ConvertKind::video);
    checkOutput(converted, GetParam(), 1.0);
    EXPECT_FALSE(converted.progress.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Targets, VideoTargetTest,
    ::testing::Values(Expected{"mp4", "mp4", "h264", "aac"}, Expected{"mp4-hevc", "mp4", "hevc", "aac"},
                      Expected{"mp4-copy", "mp4", "h264", "aac"},
                      Expected{"mp4-part2", "mp4", "mpeg4", "aac"},
                      Expected{"mov-prores", "mov", "prores", "pcm_s16le"},
                      Expected{"mkv", "matroska", "h264", "aac"}, Expected{"webm", "webm", "vp9", "opus"},
                      Expected{"avi", "avi", "mpeg4", "mp3"}, Expected{"gif", "gif", "gif", nullptr},
                      Expected{"mp3", "mp3", nullptr, "mp3"}, Expected{"m4a", "mp4", nullptr, "aac"},
                      Expected{"flac", "flac", nullptr, "flac"},
                      Expected{"wav", "wav", nullptr, "pcm_s16le"}),
    nameOf);

TEST_P(AudioTargetTest, convertsASoundFile) {
    const QString tone = MediaFixtures::sound(folder(), QStringLiteral("tone.wav"), 1.0);
    ASSERT_FALSE(tone.isEmpty());
    const Converted converted = convert(tone, QString::fromLatin1(GetParam().target), ConvertKind::audio);
    checkOutput(converted, GetParam(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Targets, AudioTargetTest,
                         ::testing::Values(Expected{"mp3", "mp3", nullptr, "mp3"},
                                           Expected{"m4a", "mp4", nullptr, "aac"},
                                           Expected{"alac", "mp4", nullptr, "alac"},
                                           Expected{"flac", "flac", nullptr, "flac"},
                                           Expected{"wav", "wav", nullptr, "pcm_s16le"},
                                           Expected{"aiff", "aiff", nullptr, "pcm_s16be"},
                                           Expected{"opus", "ogg", nullptr, "opus"}),
                         nameOf);

TEST_F(FFmpegEndToEndTest, theSizeLimitBoundsTheHeightAndNeverEnlarges) {
    MediaFixtures::Video shape;
    shape.width = 320;
    shape.height = 240;
    const QString clip = MediaFixtures::video(folder(), QStringLiteral("big.mp4"), shape);
    ASSERT_FALSE(clip.isEmpty());
    ConvertOptions limit;
    limit.maxSize = 120;
    for (const char* id : {"mp4", "mp4-hevc", "mp4-part2", "mov-prores", "mkv", "webm", "avi"}) {
        SCOPED_TRACE(id);
        const Converted converted = convert(clip, QString::fromLatin1(id), ConvertKind::video, limit);
        ASSERT_TRUE(converted.probe && converted.probe->video());
        EXPECT_EQ(converted.probe->video()->width, 160);
        EXPECT_EQ(converted.probe->video()->height, 120);
    }
    ConvertOptions larger;
    larger.maxSize = 1080;
    const Converted kept =
        convert(clip, QStringLiteral("mp4"), ConvertKind::video, larger, QStringLiteral("kept.mp4"));
    ASSERT_TRUE(kept.probe && kept.probe->video());
    EXPECT_EQ(kept.probe->video()->width, 320);
    EXPECT_EQ(kept.probe->video()->height, 240);
}

TEST_F(FFmpegEndToEndTest, aGifTakesTheLimitOrTheQualitysWidth) {
    const QString clip = MediaFixtures::video(folder());
    ASSERT_FALSE(clip.isEmpty());
    ConvertOptions limit;
    limit.maxSize = 200;
    const Converted limited = convert(clip, QStringLiteral("gif"), ConvertKind::video, limit);
    ASSERT_TRUE(limited.probe && limited.probe->video());
    EXPECT_EQ(limited.probe->video()->width, 200);
    EXPECT_EQ(limited.probe->video()->height, 150);
    ConvertOptions small;
    small.quality = ConvertQuality::small;
    const Converted byQuality =
        convert(clip, QStringLiteral("gif"), ConvertKind::video, small, QStringLiteral("s.gif"));
    ASSERT_TRUE(byQuality.probe && byQuality.probe->video());
    EXPECT_EQ(byQuality.probe->video()->width, 320);
}

TEST_F(FFmpegEndToEndTest, videoTargetsKeepEverySoundTrackAndAudioTargetsTheFirst) {
    MediaFixtures::Video shape;
    shape.soundTracks = {1, 2};
    const QString clip = MediaFixtures::video(folder(), QStringLiteral("two.mkv"), shape);
    ASSERT_FALSE(clip.isEmpty());
    const Converted mp4 = convert(clip, QStringLiteral("mp4"), ConvertKind::video);
    ASSERT_TRUE(mp4.probe);
    EXPECT_EQ(mp4.probe->audio().size(), 2);
    for (const char* id : {"mp3", "m4a", "flac", "wav"}) {
        SCOPED_TRACE(id);
        const Converted converted = convert(clip, QString::fromLatin1(id), ConvertKind::video);
        ASSERT_TRUE(converted.probe);
        ASSERT_EQ(converted.probe->audio().size(), 1);
        EXPECT_EQ(converted.probe->audio().first().channels, 1);
        EXPECT_FALSE(converted.probe->video());
    }

    // A sound file with two tracks, the first one mono.
    const QString tracks = QDir(folder()).filePath(QStringLiteral("tracks.mka"));
    ASSERT_TRUE(MediaFixtures::run(
        {QStringLiteral("-i"), MediaFixtures::sound(folder(), QStringLiteral("mono.wav"), 1, 1),
         QStringLiteral("-i"), MediaFixtures::sound(folder(), QStringLiteral("stereo.wav"), 1, 2),
         QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-map"), QStringLiteral("1:a"),
         QStringLiteral("-c:a"), QStringLiteral("flac"), tracks}));
    for (const ConvertTarget& target : ConvertTarget::targets(ConvertKind::audio)) {
        SCOPED_TRACE(target.id.toStdString());
        const Converted converted = convert(tracks, target.id, ConvertKind::audio);
        ASSERT_TRUE(converted.probe);
        ASSERT_EQ(converted.probe->audio().size(), 1);
        EXPECT_EQ(converted.probe->audio().first().channels, 1);
    }
}

TEST_F(FFmpegEndToEndTest, mkvKeepsSubtitlesOthersDropThem) {
    MediaFixtures::Video shape;
    shape.subtitleTracks = 2;
    for (const char* name : {"subs.mkv", "subs.mp4"}) {
        SCOPED_TRACE(name);
        const QString clip = MediaFixtures::video(folder(), QString::fromLatin1(name), shape);
        ASSERT_FALSE(clip.isEmpty());
        const Converted mkv = convert(clip, QStringLiteral("mkv"), ConvertKind::video, {},
                                      QStringLiteral("%1.out.mkv").arg(name));
        ASSERT_TRUE(mkv.probe);
        ASSERT_EQ(mkv.probe->subtitles().size(), 2);
        EXPECT_EQ(mkv.probe->subtitles().first().codecName, QStringLiteral("subrip"));
        const Converted mp4 = convert(clip, QStringLiteral("mp4"), ConvertKind::video, {},
                                      QStringLiteral("%1.out.mp4").arg(name));
        ASSERT_TRUE(mp4.probe);
        EXPECT_TRUE(mp4.probe->subtitles().isEmpty());
    }
}

TEST_F(FFmpegEndToEndTest, musicKeepsItsCoverPicture) {
    for (const char* source : {"song.mp3", "song.flac", "song.m4a"}) {
        const QString song = MediaFixtures::soundWithCover(folder(), QString::fromLatin1(source));
        ASSERT_FALSE(song.isEmpty()) << source;
        for (const char* id : {"mp3", "m4a", "alac", "flac"}) {
            SCOPED_TRACE(std::string(source) + " to " + id);
            const Converted converted = convert(song, QString::fromLatin1(id), ConvertKind::audio, {},
                                                QStringLiteral("%1.%2.out.%3")
                                                    .arg(QString::fromLatin1(source), QString::fromLatin1(id),
                                                         ConvertTarget::byID(QString::fromLatin1(id))->ext));
            ASSERT_TRUE(converted.probe);
            EXPECT_TRUE(converted.probe->hasCoverArt());
            EXPECT_FALSE(converted.probe->video());
            EXPECT_EQ(converted.probe->audio().size(), 1);
        }
    }
    const QString song = MediaFixtures::soundWithCover(folder(), QStringLiteral("cover.mp3"));
    for (const char* id : {"wav", "aiff", "opus"}) {
        SCOPED_TRACE(id);
        const Converted converted = convert(song, QString::fromLatin1(id), ConvertKind::audio);
        ASSERT_TRUE(converted.probe);
        EXPECT_FALSE(converted.probe->hasCoverArt());
    }
}

TEST_F(FFmpegEndToEndTest, hevcIsTaggedForPlayersAndSilentVideosConvert) {
    MediaFixtures::Video shape;
    shape.codec = QStringLiteral("hevc");
    shape.soundTracks = {};
    const QString hevc = MediaFixtures::video(folder(), QStringLiteral("hevc.mkv"), shape);
    ASSERT_FALSE(hevc.isEmpty());
    const Converted rewrapped = convert(hevc, QStringLiteral("mp4-copy"), ConvertKind::video);
    ASSERT_TRUE(rewrapped.probe && rewrapped.probe->video());
    EXPECT_EQ(rewrapped.probe->video()->codecName, QStringLiteral("hevc"));
    EXPECT_EQ(videoTag(rewrapped.path), QStringLiteral("hvc1"));
    EXPECT_TRUE(rewrapped.probe->audio().isEmpty());

    const Converted encoded = convert(hevc, QStringLiteral("mp4-hevc"), ConvertKind::video);
    ASSERT_TRUE(encoded.probe && encoded.probe->video());
    EXPECT_EQ(videoTag(encoded.path), QStringLiteral("hvc1"));

    const Converted h264 = convert(hevc, QStringLiteral("mp4"), ConvertKind::video);
    ASSERT_TRUE(h264.probe && h264.probe->video());
    EXPECT_EQ(h264.probe->video()->codecName, QStringLiteral("h264"));
    EXPECT_TRUE(h264.probe->audio().isEmpty());
}
