#include "converter/ConverterEngine.h"

#include "converter/ffmpeg/FFmpeg.h"

#include <QProcess>

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString kIn = QStringLiteral("/media/in put.mov");
const QString kOut = QStringLiteral("/media/out put.mp4");

QStringList split(const char* words) {
    return QString::fromUtf8(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

FFmpeg::Probe probeOf(const char* json) {
    const std::optional<FFmpeg::Probe> probe = FFmpeg::Probe::decode(QByteArray(json));
    EXPECT_TRUE(probe);
    return probe.value_or(FFmpeg::Probe());
}

const FFmpeg::Probe kH264 = probeOf(R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "h264"},
                                                    {"index": 1, "codec_type": "audio", "codec_name": "aac"}]})");
const FFmpeg::Probe kHevc = probeOf(R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "hevc"},
                                                    {"index": 1, "codec_type": "audio", "codec_name": "aac"}]})");
// An HEVC cover picture does not make the video HEVC.
const FFmpeg::Probe kHevcCover = probeOf(
    R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "hevc", "disposition": {"attached_pic": 1}},
                           {"index": 1, "codec_type": "video", "codec_name": "h264"}]})");
const FFmpeg::Probe kCover = probeOf(R"({"streams": [{"index": 0, "codec_type": "audio", "codec_name": "mp3"},
                           {"index": 1, "codec_type": "video", "codec_name": "mjpeg", "disposition": {"attached_pic": 1}}]})");
const FFmpeg::Probe kMp4Subtitles =
    probeOf(R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "h264"},
                           {"index": 1, "codec_type": "subtitle", "codec_name": "subrip"},
                           {"index": 2, "codec_type": "subtitle", "codec_name": "mov_text"}]})");

struct Case {
    const char* name;
    const char* target;
    ConvertQuality quality;
    int maxSize;
    ConvertKind kind;
    const FFmpeg::Probe* probe;
    // The target block, words separated by spaces; "|" stands for the single argument that follows
    // (a filter with no spaces in it).
    const char* block;
};

const Case kCases[] = {
    {"mp4 balanced", "mp4", ConvertQuality::balanced, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx264 -preset fast -crf 22 -profile:v high -vf format=yuv420p -c:a aac "
     "-b:a 192k -movflags +faststart"},
    {"mp4 best 1080", "mp4", ConvertQuality::best, 1080, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx264 -preset fast -crf 18 -profile:v high -vf "
     "scale=-2:'min(1080,ih)',format=yuv420p -c:a aac -b:a 256k -movflags +faststart"},
    {"mp4 small", "mp4", ConvertQuality::small, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx264 -preset fast -crf 26 -profile:v high -vf format=yuv420p -c:a aac "
     "-b:a 128k -movflags +faststart"},
    {"mkv balanced 720", "mkv", ConvertQuality::balanced, 720, ConvertKind::video, &kH264,
     "-map 0:v:0 -map 0:a? -map 0:s? -c:s copy -c:v libx264 -preset fast -crf 22 -profile:v high -vf "
     "scale=-2:'min(720,ih)',format=yuv420p -c:a aac -b:a 192k"},
    {"mkv with MP4 text subtitles", "mkv", ConvertQuality::small, 0, ConvertKind::video, &kMp4Subtitles,
     "-map 0:v:0 -map 0:a? -map 0:s? -c:s copy -c:s:1 srt -c:v libx264 -preset fast -crf 26 -profile:v high "
     "-vf "
     "format=yuv420p -c:a aac -b:a 128k"},
    {"mp4-hevc best", "mp4-hevc", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx265 -preset fast -crf 20 -tag:v hvc1 -vf format=yuv420p -c:a aac "
     "-b:a 256k -movflags +faststart"},
    {"mp4-hevc balanced", "mp4-hevc", ConvertQuality::balanced, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx265 -preset fast -crf 25 -tag:v hvc1 -vf format=yuv420p -c:a aac "
     "-b:a 192k -movflags +faststart"},
    {"mp4-hevc small", "mp4-hevc", ConvertQuality::small, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libx265 -preset fast -crf 29 -tag:v hvc1 -vf format=yuv420p -c:a aac "
     "-b:a 128k -movflags +faststart"},
    {"mp4-copy of HEVC", "mp4-copy", ConvertQuality::balanced, 720, ConvertKind::video, &kHevc,
     "-map 0:v:0 -map 0:a? -sn -c copy -movflags +faststart -tag:v hvc1"},
    {"mp4-copy of H.264", "mp4-copy", ConvertQuality::balanced, 0, ConvertKind::video, &kH264,
     "-map 0:v:0 -map 0:a? -sn -c copy -movflags +faststart"},
    {"mp4-copy without probe", "mp4-copy", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c copy -movflags +faststart"},
    {"mp4-copy HEVC cover", "mp4-copy", ConvertQuality::best, 0, ConvertKind::video, &kHevcCover,
     "-map 0:v:0 -map 0:a? -sn -c copy -movflags +faststart"},
    {"mov-prores small", "mov-prores", ConvertQuality::small, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v prores_ks -profile:v 1 -vf format=yuv422p10le -c:a pcm_s16le"},
    {"mov-prores best 480", "mov-prores", ConvertQuality::best, 480, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v prores_ks -profile:v 3 -vf scale=-2:'min(480,ih)',format=yuv422p10le "
     "-c:a pcm_s16le"},
    {"webm balanced", "webm", ConvertQuality::balanced, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libvpx-vp9 -crf 32 -b:v 0 -row-mt 1 -deadline good -cpu-used 4 -c:a "
     "libopus "
     "-b:a 128k"},
    {"webm small 480", "webm", ConvertQuality::small, 480, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libvpx-vp9 -crf 40 -b:v 0 -row-mt 1 -deadline good -cpu-used 4 -vf "
     "scale=-2:'min(480,ih)' -c:a libopus -b:a 96k"},
    {"webm best", "webm", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v libvpx-vp9 -crf 24 -b:v 0 -row-mt 1 -deadline good -cpu-used 4 -c:a "
     "libopus "
     "-b:a 128k"},
    {"mp4-part2 best", "mp4-part2", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v mpeg4 -tag:v mp4v -q:v 2 -vf format=yuv420p -c:a aac -b:a 256k -movflags "
     "+faststart"},
    {"avi small", "avi", ConvertQuality::small, 0, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v mpeg4 -vtag xvid -q:v 7 -c:a libmp3lame -b:a 192k"},
    {"avi balanced 480", "avi", ConvertQuality::balanced, 480, ConvertKind::video, nullptr,
     "-map 0:v:0 -map 0:a? -sn -c:v mpeg4 -vtag xvid -q:v 4 -vf scale=-2:'min(480,ih)' -c:a libmp3lame -b:a "
     "192k"},
    {"gif small", "gif", ConvertQuality::small, 0, ConvertKind::video, nullptr,
     "-an -vf "
     "fps=10,scale=320:-2:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse="
     "dither=sierra2_4a -loop 0"},
    {"gif best", "gif", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-an -vf "
     "fps=15,scale=640:-2:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse="
     "dither=sierra2_4a -loop 0"},
    {"gif balanced 1280", "gif", ConvertQuality::balanced, 1280, ConvertKind::video, nullptr,
     "-an -vf "
     "fps=12,scale=1280:-2:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse="
     "dither=sierra2_4a -loop 0"},
    {"gif small 1280", "gif", ConvertQuality::small, 1280, ConvertKind::video, nullptr,
     "-an -vf "
     "fps=10,scale=1280:-2:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse="
     "dither=sierra2_4a -loop 0"},
    {"mp3 with cover best", "mp3", ConvertQuality::best, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -map 0:v:0 -c:v copy -disposition:v:0 attached_pic -id3v2_version 3 -c:a libmp3lame -b:a "
     "320k"},
    {"mp3 from a video", "mp3", ConvertQuality::best, 1080, ConvertKind::video, &kCover,
     "-map 0:a:0 -vn -c:a libmp3lame -b:a 320k"},
    {"mp3 without probe", "mp3", ConvertQuality::balanced, 0, ConvertKind::audio, nullptr,
     "-map 0:a:0 -vn -c:a libmp3lame -b:a 192k"},
    {"mp3 without cover", "mp3", ConvertQuality::small, 0, ConvertKind::audio, &kH264,
     "-map 0:a:0 -vn -c:a libmp3lame -b:a 128k"},
    {"m4a with cover", "m4a", ConvertQuality::small, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -map 0:v:0 -c:v copy -disposition:v:0 attached_pic -c:a aac -b:a 128k"},
    {"m4a from a video", "m4a", ConvertQuality::best, 0, ConvertKind::video, &kH264,
     "-map 0:a:0 -vn -c:a aac -b:a 256k"},
    {"alac with cover", "alac", ConvertQuality::small, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -map 0:v:0 -c:v copy -disposition:v:0 attached_pic -c:a alac"},
    {"flac with cover", "flac", ConvertQuality::best, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -map 0:v:0 -c:v copy -disposition:v:0 attached_pic -c:a flac"},
    {"flac from a video", "flac", ConvertQuality::best, 0, ConvertKind::video, nullptr,
     "-map 0:a:0 -vn -c:a flac"},
    {"wav with cover", "wav", ConvertQuality::best, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -vn -c:a pcm_s16le"},
    {"aiff", "aiff", ConvertQuality::small, 720, ConvertKind::audio, &kCover,
     "-map 0:a:0 -vn -c:a pcm_s16be"},
    {"opus small", "opus", ConvertQuality::small, 0, ConvertKind::audio, &kCover,
     "-map 0:a:0 -vn -c:a libopus -b:a 96k"},
    {"opus balanced", "opus", ConvertQuality::balanced, 0, ConvertKind::audio, nullptr,
     "-map 0:a:0 -vn -c:a libopus -b:a 128k"},
    {"opus best", "opus", ConvertQuality::best, 0, ConvertKind::audio, nullptr,
     "-map 0:a:0 -vn -c:a libopus -b:a 192k"},
    // Targets that never come here: nothing between input and output.
    {"jpeg", "jpeg", ConvertQuality::best, 0, ConvertKind::image, nullptr, ""},
    {"doc-pdf", "doc-pdf", ConvertQuality::best, 0, ConvertKind::document, nullptr, ""},
};

} // namespace

TEST(ConverterEngineArgumentsTest, everyTargetBlock) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ConvertTarget target;
        if (const auto known = ConvertTarget::byID(QString::fromLatin1(c.target)))
            target = *known;
        ASSERT_EQ(target.id, QString::fromLatin1(c.target));
        ConvertOptions options;
        options.quality = c.quality;
        options.maxSize = c.maxSize;
        // The output is a hidden temporary file: its container is named, not guessed.
        const QStringList expected = QStringList{QStringLiteral("-i"), kIn} + split(c.block) +
                                     QStringList{QStringLiteral("-f"), ConverterEngine::muxer(target), kOut};
        EXPECT_EQ(ConverterEngine::ffmpegArguments(kIn, kOut, target, c.kind, c.probe, options), expected);
    }
}

TEST(ConverterEngineArgumentsTest, everyContainerIsOneFFmpegCanWrite) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-muxers")});
    ASSERT_TRUE(ffmpeg.waitForFinished(30000));
    const QString listing = QString::fromUtf8(ffmpeg.readAllStandardOutput());
    for (const ConvertTarget& target : ConvertTarget::all()) {
        if (target.output == ConvertKind::video || target.output == ConvertKind::audio ||
            target.id == QLatin1String("gif")) {
            const QRegularExpression row(QStringLiteral("^ +E +") +
                                             QRegularExpression::escape(ConverterEngine::muxer(target)) +
                                             QStringLiteral(" "),
                                         QRegularExpression::MultilineOption);
            EXPECT_TRUE(row.match(listing).hasMatch())
                << target.id.toStdString() << " → " << ConverterEngine::muxer(target).toStdString();
        }
    }
    EXPECT_EQ(ConverterEngine::muxer(*ConvertTarget::byID(QStringLiteral("mkv"))),
              QStringLiteral("matroska"));
    EXPECT_EQ(ConverterEngine::muxer(*ConvertTarget::byID(QStringLiteral("alac"))), QStringLiteral("ipod"));
}

TEST(ConverterEngineArgumentsTest, everyVideoAndAudioTargetHasABlock) {
    for (ConvertKind kind : {ConvertKind::video, ConvertKind::audio})
        for (const ConvertTarget& target : ConvertTarget::targets(kind)) {
            const QStringList arguments =
                ConverterEngine::ffmpegArguments(kIn, kOut, target, kind, nullptr, {});
            EXPECT_GT(arguments.size(), 3) << target.id.toStdString();
            EXPECT_EQ(arguments.first(), QStringLiteral("-i"));
            EXPECT_EQ(arguments[1], kIn);
            EXPECT_EQ(arguments.last(), kOut);
        }
}

TEST(ConverterEngineArgumentsTest, theScaleFilterIsOneArgumentWithItsQuotes) {
    ConvertOptions options;
    options.maxSize = 720;
    const QStringList arguments = ConverterEngine::ffmpegArguments(
        kIn, kOut, *ConvertTarget::byID(QStringLiteral("mp4")), ConvertKind::video, nullptr, options);
    const qsizetype vf = arguments.indexOf(QStringLiteral("-vf"));
    ASSERT_GE(vf, 0);
    EXPECT_EQ(arguments[vf + 1], QStringLiteral("scale=-2:'min(720,ih)',format=yuv420p"));
    // maxSize 0 and no pixel format: no "-vf" at all.
    for (const char* id : {"webm", "avi"})
        EXPECT_FALSE(ConverterEngine::ffmpegArguments(kIn, kOut,
                                                      *ConvertTarget::byID(QString::fromLatin1(id)),
                                                      ConvertKind::video, nullptr, {})
                         .contains(QStringLiteral("-vf")))
            << id;
}
