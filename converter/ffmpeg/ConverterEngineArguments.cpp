#include "converter/ConverterEngine.h"

#include "converter/ffmpeg/FFmpeg.h"

#include <QHash>

namespace {

QString s(const char* text) {
    return QString::fromLatin1(text);
}

// The per-quality numbers, in the order best / balanced / small.
struct PerQuality {
    const char* best;
    const char* balanced;
    const char* small;

    QString operator()(ConvertQuality quality) const {
        switch (quality) {
        case ConvertQuality::best:
            return s(best);
        case ConvertQuality::balanced:
            return s(balanced);
        case ConvertQuality::small:
            return s(small);
        }
        return s(balanced);
    }
};

// libx264/libx265 constant-quality values; the quality-scale role of the other platform's
// hardware encoders.
constexpr PerQuality kH264Crf{"18", "22", "26"};
constexpr PerQuality kHevcCrf{"20", "25", "29"};
constexpr PerQuality kAacBitRate{"256k", "192k", "128k"};
constexpr PerQuality kProResProfile{"3", "2", "1"};
constexpr PerQuality kVp9Crf{"24", "32", "40"};
constexpr PerQuality kWebmOpusBitRate{"128k", "128k", "96k"};
constexpr PerQuality kMpeg4Quantiser{"2", "4", "7"};
constexpr PerQuality kMp3BitRate{"320k", "192k", "128k"};
constexpr PerQuality kOpusBitRate{"192k", "128k", "96k"};
constexpr PerQuality kGifFrameRate{"15", "12", "10"};
constexpr PerQuality kGifWidth{"640", "480", "320"};

// "-vf" and the present items of [scale, pixel format], or nothing when neither is present.
QStringList videoFilter(const ConvertOptions& options, const QString& pixelFormat = {}) {
    QStringList items;
    // The quotes keep the comma inside min() from splitting the filter chain.
    if (options.maxSize >= 1)
        items.append(QStringLiteral("scale=-2:'min(%1,ih)'").arg(options.maxSize));
    if (!pixelFormat.isEmpty())
        items.append(pixelFormat);
    if (items.isEmpty())
        return {};
    return {s("-vf"), items.join(QLatin1Char(','))};
}

QStringList vf420(const ConvertOptions& options) {
    return videoFilter(options, s("format=yuv420p"));
}
QStringList vf422(const ConvertOptions& options) {
    return videoFilter(options, s("format=yuv422p10le"));
}
QStringList vfs(const ConvertOptions& options) {
    return videoFilter(options);
}

QStringList keepVideoAndSound() {
    return {s("-map"), s("0:v:0"), s("-map"), s("0:a?")};
}

// Matroska takes every subtitle format as it is except MP4's own text subtitles, which would make
// the whole conversion fail; those become SubRip, the same text with the same timing.
QStringList mkvSubtitleFixes(const FFmpeg::Probe* probe) {
    QStringList fixes;
    if (!probe)
        return fixes;
    const QList<FFmpeg::Stream> subtitles = probe->subtitles();
    for (int i = 0; i < subtitles.size(); ++i)
        if (subtitles[i].codecName == s("mov_text"))
            fixes << QStringLiteral("-c:s:%1").arg(i) << s("srt");
    return fixes;
}

QStringList coverBlock(bool cover, bool id3) {
    if (!cover)
        return {s("-vn")};
    QStringList block{s("-map"), s("0:v:0"), s("-c:v"), s("copy"), s("-disposition:v:0"), s("attached_pic")};
    if (id3)
        block << s("-id3v2_version") << s("3");
    return block;
}

} // namespace

namespace ConverterEngine {

QString muxer(const ConvertTarget& target) {
    static const QHash<QString, QString> muxers{
        {s("mp4"), s("mp4")},   {s("mov"), s("mov")}, {s("mkv"), s("matroska")}, {s("webm"), s("webm")},
        {s("avi"), s("avi")},   {s("gif"), s("gif")}, {s("mp3"), s("mp3")},      {s("m4a"), s("ipod")},
        {s("flac"), s("flac")}, {s("wav"), s("wav")}, {s("aiff"), s("aiff")},    {s("opus"), s("opus")},
    };
    return muxers.value(target.ext, target.ext);
}

QStringList ffmpegArguments(const QString& input, const QString& output, const ConvertTarget& target,
                            ConvertKind kind, const FFmpeg::Probe* probe, const ConvertOptions& options) {
    const ConvertQuality q = options.quality;
    const bool cover = kind == ConvertKind::audio && probe && probe->hasCoverArt();
    const QString& id = target.id;

    QStringList block;
    if (id == s("mp4")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("libx264") << s("-preset") << s("fast")
              << s("-crf") << kH264Crf(q) << s("-profile:v") << s("high") << vf420(options) << s("-c:a")
              << s("aac") << s("-b:a") << kAacBitRate(q) << s("-movflags") << s("+faststart");
    } else if (id == s("mkv")) {
        block << keepVideoAndSound() << s("-map") << s("0:s?") << s("-c:s") << s("copy")
              << mkvSubtitleFixes(probe) << s("-c:v") << s("libx264") << s("-preset") << s("fast")
              << s("-crf") << kH264Crf(q) << s("-profile:v") << s("high") << vf420(options) << s("-c:a")
              << s("aac") << s("-b:a") << kAacBitRate(q);
    } else if (id == s("mp4-hevc")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("libx265") << s("-preset") << s("fast")
              << s("-crf") << kHevcCrf(q) << s("-tag:v") << s("hvc1") << vf420(options) << s("-c:a")
              << s("aac") << s("-b:a") << kAacBitRate(q) << s("-movflags") << s("+faststart");
    } else if (id == s("mp4-copy")) {
        block << keepVideoAndSound() << s("-sn") << s("-c") << s("copy") << s("-movflags") << s("+faststart");
        if (probe) {
            const std::optional<FFmpeg::Stream> video = probe->video();
            // Players on the other platform only accept HEVC in MP4 under this tag.
            if (video && video->codecName == s("hevc"))
                block << s("-tag:v") << s("hvc1");
        }
    } else if (id == s("mov-prores")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("prores_ks") << s("-profile:v")
              << kProResProfile(q) << vf422(options) << s("-c:a") << s("pcm_s16le");
    } else if (id == s("webm")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("libvpx-vp9") << s("-crf") << kVp9Crf(q)
              << s("-b:v") << s("0") << s("-row-mt") << s("1") << s("-deadline") << s("good")
              << s("-cpu-used") << s("4") << vfs(options) << s("-c:a") << s("libopus") << s("-b:a")
              << kWebmOpusBitRate(q);
    } else if (id == s("mp4-part2")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("mpeg4") << s("-tag:v") << s("mp4v")
              << s("-q:v") << kMpeg4Quantiser(q) << vf420(options) << s("-c:a") << s("aac") << s("-b:a")
              << kAacBitRate(q) << s("-movflags") << s("+faststart");
    } else if (id == s("avi")) {
        block << keepVideoAndSound() << s("-sn") << s("-c:v") << s("mpeg4") << s("-vtag") << s("xvid")
              << s("-q:v") << kMpeg4Quantiser(q) << vfs(options) << s("-c:a") << s("libmp3lame") << s("-b:a")
              << s("192k");
    } else if (id == s("gif")) {
        // One pass with a palette made from the clip itself: far better colours than the fixed
        // 256-colour table.
        const QString width = options.maxSize >= 1 ? QString::number(options.maxSize) : kGifWidth(q);
        const QString graph =
            QStringLiteral("fps=%1,scale=%2:-2:flags=lanczos,split[a][b];"
                           "[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=sierra2_4a")
                .arg(kGifFrameRate(q), width);
        block << s("-an") << s("-vf") << graph << s("-loop") << s("0");
    } else if (id == s("mp3")) {
        block << s("-map") << s("0:a:0") << coverBlock(cover, true) << s("-c:a") << s("libmp3lame")
              << s("-b:a") << kMp3BitRate(q);
    } else if (id == s("m4a")) {
        block << s("-map") << s("0:a:0") << coverBlock(cover, false) << s("-c:a") << s("aac") << s("-b:a")
              << kAacBitRate(q);
    } else if (id == s("alac")) {
        block << s("-map") << s("0:a:0") << coverBlock(cover, false) << s("-c:a") << s("alac");
    } else if (id == s("flac")) {
        block << s("-map") << s("0:a:0") << coverBlock(cover, false) << s("-c:a") << s("flac");
    } else if (id == s("wav")) {
        block << s("-map") << s("0:a:0") << s("-vn") << s("-c:a") << s("pcm_s16le");
    } else if (id == s("aiff")) {
        block << s("-map") << s("0:a:0") << s("-vn") << s("-c:a") << s("pcm_s16be");
    } else if (id == s("opus")) {
        block << s("-map") << s("0:a:0") << s("-vn") << s("-c:a") << s("libopus") << s("-b:a")
              << kOpusBitRate(q);
    }

    // The output is a hidden temporary file whose name says nothing about its format.
    return QStringList{s("-i"), input} + block + QStringList{s("-f"), muxer(target), output};
}

} // namespace ConverterEngine
