#include "support/MediaFixtures.h"

#include "common/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QString tone(double seconds, int channels, int frequency = 440) {
    const QString wave = QStringLiteral("0.3*sin(%1*2*PI*t)").arg(frequency);
    QStringList expressions;
    for (int i = 0; i < std::max(1, channels); ++i)
        expressions.append(wave);
    return QStringLiteral("aevalsrc=%1:s=44100:d=%2").arg(expressions.join(QLatin1Char('|'))).arg(seconds);
}

QString prepare(const QString& folder, const QString& name) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    QFile::remove(path);
    return path;
}

QString extension(const QString& name) {
    return QFileInfo(name).suffix().toLower();
}

} // namespace

namespace MediaFixtures {

bool run(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(Paths::toolFolder() + QStringLiteral("/ffmpeg"),
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                              QStringLiteral("error"), QStringLiteral("-y")} +
                      arguments);
    if (!process.waitForStarted() || !process.waitForFinished(120000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString video(const QString& folder, const QString& name, const Video& video) {
    const QString path = prepare(folder, name);
    const QString ext = extension(name);
    const bool mp4Family =
        ext == QLatin1String("mp4") || ext == QLatin1String("mov") || ext == QLatin1String("m4v");
    const QString seconds = QString::number(video.seconds);

    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=%1x%2:rate=%3:duration=%4")
                         .arg(video.width)
                         .arg(video.height)
                         .arg(video.fps)
                         .arg(seconds)};
    for (int i = 0; i < video.soundTracks.size(); ++i)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << tone(video.seconds, video.soundTracks[i], 440 * (i + 1));
    for (int i = 0; i < video.subtitleTracks; ++i) {
        const QString srt = QDir(folder).filePath(QStringLiteral("%1.sub%2.srt").arg(name).arg(i));
        QFile file(srt);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(
            QStringLiteral("1\n00:00:00,000 --> 00:00:00,900\nSubtitle track %1\n\n").arg(i + 1).toUtf8());
        file.close();
        args << QStringLiteral("-i") << srt;
    }

    args << QStringLiteral("-map") << QStringLiteral("0:v");
    for (int i = 0; i < video.soundTracks.size(); ++i)
        args << QStringLiteral("-map") << QStringLiteral("%1:a").arg(1 + i);
    for (int i = 0; i < video.subtitleTracks; ++i)
        args << QStringLiteral("-map") << QStringLiteral("%1:s").arg(1 + video.soundTracks.size() + i);

    if (video.codec == QLatin1String("h264")) {
        args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
             << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    } else if (video.codec == QLatin1String("hevc")) {
        args << QStringLiteral("-c:v") << QStringLiteral("libx265") << QStringLiteral("-preset")
             << QStringLiteral("ultrafast") << QStringLiteral("-x265-params")
             << QStringLiteral("log-level=error") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        if (mp4Family)
            args << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
    }
    if (!video.soundTracks.isEmpty() && (mp4Family || ext == QLatin1String("mkv")))
        args << QStringLiteral("-c:a") << QStringLiteral("aac");
    if (video.subtitleTracks > 0)
        args << QStringLiteral("-c:s") << (mp4Family ? QStringLiteral("mov_text") : QStringLiteral("srt"));
    args << path;
    return run(args) ? path : QString();
}

QString sound(const QString& folder, const QString& name, double seconds, int channels) {
    const QString path = prepare(folder, name);
    return run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), tone(seconds, channels),
                path})
               ? path
               : QString();
}

QString soundWithCover(const QString& folder, const QString& name, double seconds) {
    const QString path = prepare(folder, name);
    const QString ext = extension(name);
    QStringList args{QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     tone(seconds, 2),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=64x64:rate=1:duration=1"),
                     QStringLiteral("-map"),
                     QStringLiteral("0:a"),
                     QStringLiteral("-map"),
                     QStringLiteral("1:v"),
                     QStringLiteral("-frames:v"),
                     QStringLiteral("1"),
                     QStringLiteral("-c:v"),
                     QStringLiteral("png"),
                     QStringLiteral("-disposition:v:0"),
                     QStringLiteral("attached_pic")};
    if (ext == QLatin1String("mp3"))
        args << QStringLiteral("-id3v2_version") << QStringLiteral("3");
    if (ext == QLatin1String("m4a"))
        args << QStringLiteral("-c:a") << QStringLiteral("aac");
    args << path;
    return run(args) ? path : QString();
}

} // namespace MediaFixtures
