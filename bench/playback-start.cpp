// Times PlaybackTranscoder from start() to its answer for each file given, with an empty cache:
// prints "<file> <milliseconds> <rewrap|convert>" per file.
#include "common/MediaApp.h"
#include "media/transcode/PlaybackTranscoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    MediaApp::declare(QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("QuorvaneConverter"));
    QCoreApplication app(argc, argv);
    int status = 0;
    for (const QString& file : app.arguments().mid(1)) {
        QDir(PlaybackTranscoder::cache()).removeRecursively();
        PlaybackTranscoder transcoder;
        QElapsedTimer timer;
        bool done = false;
        timer.start();
        transcoder.start(QUrl::fromLocalFile(file), [&](const PlaybackTranscoder::Answer& answer) {
            const qint64 ms = timer.elapsed();
            if (const auto* ready = std::get_if<PlaybackTranscoder::Ready>(&answer)) {
                std::printf("%s %lld %s\n", qPrintable(file), static_cast<long long>(ms),
                            ready->converting ? "convert" : "rewrap");
            } else {
                std::printf("%s failed: %s\n", qPrintable(file),
                            qPrintable(std::get<ConvertError>(answer).message));
                status = 1;
            }
            std::fflush(stdout);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        transcoder.stop();
    }
    return status;
}
