#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpeg.h"

namespace ConverterEngine {

bool needsSample(const ConvertTarget& target) {
    if (target.id == QLatin1String("gif"))
        return true;
    return target.output == ConvertKind::video && target.id != QLatin1String("mp4-copy");
}

std::optional<qint64> calculatedSize(const ConvertTarget& target, const FFmpeg::Probe* probe,
                                     qint64 sourceSize, const ConvertOptions& options) {
    // A rewrap keeps the streams as they are, so it keeps the size.
    if (target.id == QLatin1String("mp4-copy"))
        return sourceSize;
    if (target.output != ConvertKind::audio || !probe)
        return std::nullopt;
    const double duration = probe->duration();
    const QList<FFmpeg::Stream> sound = probe->audio();
    if (!(duration > 0) || sound.isEmpty())
        return std::nullopt;

    const FFmpeg::Stream& track = sound.first();
    double sampleRate = 44100;
    if (track.sampleRate) {
        bool ok = false;
        const double parsed = track.sampleRate->trimmed().toDouble(&ok);
        if (ok && parsed > 0)
            sampleRate = parsed;
    }
    const double channels = track.channels ? std::max(1, *track.channels) : 2;
    const ConvertQuality::Value quality = options.quality;
    auto byQuality = [quality](double best, double balanced, double small) {
        switch (quality) {
        case ConvertQuality::best:
            return best;
        case ConvertQuality::balanced:
            return balanced;
        case ConvertQuality::small:
            return small;
        }
        return balanced;
    };

    double kbps = 0;
    const QString& id = target.id;
    if (id == QLatin1String("mp3"))
        kbps = byQuality(320, 192, 128);
    else if (id == QLatin1String("opus"))
        kbps = byQuality(192, 128, 96);
    else if (id == QLatin1String("alac") || id == QLatin1String("flac"))
        kbps = channels * sampleRate * 16 / 1000 * 0.6;
    else if (id == QLatin1String("wav") || id == QLatin1String("aiff"))
        kbps = channels * sampleRate * 16 / 1000;
    else
        kbps = byQuality(256, 192, 128);
    return qint64(duration * kbps * 1000 / 8);
}

} // namespace ConverterEngine
