// Benchmark driver: converts one file through FFmpeg::Job exactly as the converter does (probe,
// argument builder, job with progress), so bench/ffmpeg.sh can time it against plain ffmpeg.
//
//   bench-ffmpeg-job [--target ID] [--quality best|balanced|small] [--max-size N] INPUT OUTPUT
//   bench-ffmpeg-job --print-arguments [same options] INPUT OUTPUT
//
// The first form converts and prints "seconds <wall time of the job>" on success. The second
// prints the job's whole ffmpeg argument list (common prefix included), one argument per line,
// without running anything.
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/ffmpeg/FFmpegJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);

    bool printOnly = false;
    QString targetId = QStringLiteral("mp4");
    ConvertOptions options;
    QStringList paths;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--print-arguments")) {
            printOnly = true;
        } else if (arg == QLatin1String("--target") && !args.isEmpty()) {
            targetId = args.takeFirst();
        } else if (arg == QLatin1String("--quality") && !args.isEmpty()) {
            const auto quality = ConvertQuality::fromId(args.takeFirst());
            if (!quality) {
                err << "unknown quality\n";
                return 2;
            }
            options.quality = *quality;
        } else if (arg == QLatin1String("--max-size") && !args.isEmpty()) {
            options.maxSize = args.takeFirst().toInt();
        } else {
            paths.append(arg);
        }
    }
    const std::optional<ConvertTarget> target = ConvertTarget::byID(targetId);
    if (paths.size() != 2 || !target) {
        err << "usage: bench-ffmpeg-job [--print-arguments] [--target ID] [--quality Q] [--max-size N] INPUT "
               "OUTPUT\n";
        return 2;
    }
    if (!FFmpeg::available()) {
        err << "ffmpeg is missing from " << FFmpeg::folder() << "\n";
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    const std::optional<FFmpeg::Probe> probe = FFmpeg::probeBlocking(paths[0]);
    const QStringList arguments = ConverterEngine::ffmpegArguments(
        paths[0], paths[1], *target, ConvertKind::of(paths[0]).value_or(ConvertKind::video),
        probe ? &*probe : nullptr, options);
    if (printOnly) {
        for (const QString& argument : FFmpeg::Job::commonPrefix() + arguments)
            out << argument << "\n";
        return 0;
    }

    int status = 1;
    double lastProgress = 0;
    int progressCalls = 0;
    FFmpeg::Job job(
        arguments, probe ? probe->duration() : 0, probe ? probe->frameCount() : 0,
        [&](double fraction) {
            lastProgress = fraction;
            ++progressCalls;
        },
        [&](std::optional<QString> failure) {
            if (failure) {
                err << "failed: " << *failure << "\n";
                status = 1;
            } else {
                status = 0;
            }
            app.quit();
        });
    if (const std::optional<QString> launch = job.start()) {
        err << "could not start: " << *launch << "\n";
        return 1;
    }
    app.exec();
    if (status == 0)
        out << "seconds " << QString::number(timer.elapsed() / 1000.0, 'f', 2) << "\nprogress "
            << lastProgress << " in " << progressCalls << " calls\n";
    return status;
}
