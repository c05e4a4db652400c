#include "converter/estimate/SizeSampler.h"

#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/ChildProcess.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

#include <cmath>

namespace SizeSampler {

QList<Piece> pieces(double duration) {
    if (!(duration > 0))
        return {};
    if (duration <= wholeFileUpTo)
        return {Piece{0, true}};
    QList<Piece> result;
    for (double centre : {0.2, 0.5, 0.8})
        result.append(Piece{std::max(0.0, duration * centre - sliceSeconds / 2), false});
    return result;
}

QStringList arguments(const QString& input, const QString& output, const Piece& piece,
                      const ConvertTarget& target, const FFmpeg::Probe* probe,
                      const ConvertOptions& options) {
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-y"),
                     QStringLiteral("-loglevel"), QStringLiteral("error")};
    if (!piece.whole)
        args << QStringLiteral("-ss") << QString::asprintf("%.2f", piece.start) << QStringLiteral("-t")
             << QString::asprintf("%.2f", sliceSeconds);
    // Input kind video: a sample never carries cover art.
    args << ConverterEngine::ffmpegArguments(input, output, target, ConvertKind::video, probe, options);
    return args;
}

qint64 extrapolate(double duration, qint64 total, int pieceCount) {
    if (pieceCount <= 1)
        return total;
    return qint64(duration * double(total) / (pieceCount * sliceSeconds) * keyframeCorrection);
}

namespace {

// One piece's run: the size of what it wrote, or none. The temporary file is always removed.
std::optional<qint64> runPiece(const QString& input, const Piece& piece, const ConvertTarget& target,
                               const FFmpeg::Probe* probe, const ConvertOptions& options,
                               const std::shared_ptr<std::atomic_bool>& stop) {
    // A hidden temporary file of our own, journalled, removed when this piece is done.
    const OutputFile scratch(QDir::tempPath() + QStringLiteral("/converter-estimate-") +
                             QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('.') +
                             target.ext);
    if (!scratch.isValid())
        return std::nullopt;
    const QString output = scratch.temporaryPath();
    QProcess process;
    process.setProgram(FFmpeg::ffmpeg());
    process.setArguments(arguments(input, output, piece, target, probe, options));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    ChildProcess::dieWithParent(process, ChildProcess::Priority::background);
    process.start();
    std::optional<qint64> size;
    if (process.waitForStarted(-1)) {
        while (!process.waitForFinished(100)) {
            if (process.state() == QProcess::NotRunning)
                break;
            if (stop && stop->load()) {
                process.kill();
                process.waitForFinished(-1);
                break;
            }
        }
        const bool stopped = stop && stop->load();
        if (!stopped && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
            const QFileInfo info(output);
            if (info.isFile())
                size = info.size();
        }
    }
    return size;
}

} // namespace

std::optional<qint64> measure(const QString& input, double duration, const ConvertTarget& target,
                              const FFmpeg::Probe* probe, const ConvertOptions& options,
                              std::shared_ptr<std::atomic_bool> stop) {
    if (!FFmpeg::available() || !(duration > 0))
        return std::nullopt;
    const QList<Piece> list = pieces(duration);
    qint64 total = 0;
    for (const Piece& piece : list) {
        const std::optional<qint64> size = runPiece(input, piece, target, probe, options, stop);
        if (!size)
            return std::nullopt;
        total += *size;
    }
    return extrapolate(duration, total, int(list.size()));
}

} // namespace SizeSampler
