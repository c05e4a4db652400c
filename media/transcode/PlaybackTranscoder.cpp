#include "media/transcode/PlaybackTranscoder.h"

#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/Paths.h"
#include "converter/ffmpeg/FFmpegJob.h"
#include "media/server/LocalStreamServer.h"
#include "media/transcode/HlsPlaylist.h"
#include "media/transcode/PlaybackContainers.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThreadPool>
#include <QTimer>

#include <sys/stat.h>

namespace {

// The one table of encoder settings for streams that cannot be copied: H.264 at constant
// quality with a keyframe every 120 frames, stereo AAC at 192 kb/s.
const QStringList kVideoEncoder{QStringLiteral("-c:v"),    QStringLiteral("libx264"),
                                QStringLiteral("-preset"), QStringLiteral("veryfast"),
                                QStringLiteral("-crf"),    QStringLiteral("21"),
                                QStringLiteral("-vf"),     QStringLiteral("format=yuv420p"),
                                QStringLiteral("-g"),      QStringLiteral("120")};
const QStringList kAudioEncoder{QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
                                QStringLiteral("192k"), QStringLiteral("-ac"), QStringLiteral("2")};

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Seconds since 1970 with the file system's full precision, and the size; 0 when unavailable.
std::pair<double, qint64> attributes(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {0.0, 0};
    return {static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9,
            static_cast<qint64>(info.st_size)};
}

} // namespace

std::optional<QUrl> PlaybackTranscoder::Ready::stream() const {
    return LocalStreamServer::shared().url(playlist);
}

PlaybackTranscoder::PlaybackTranscoder(QObject* parent)
    : QObject(parent) {}

PlaybackTranscoder::~PlaybackTranscoder() {
    stop();
}

bool PlaybackTranscoder::needsConversion(const QUrl& url) {
    return PlaybackContainers::needsConversion(QFileInfo(url.path()).suffix());
}

QString PlaybackTranscoder::cache() {
    return Paths::playbackCache();
}

QString PlaybackTranscoder::cacheKey(const QString& path, double modified, qint64 size) {
    // The shortest text that reads back as the same number, always with a fraction ("12.0").
    QString time = QString::number(modified, 'f', QLocale::FloatingPointShortest);
    if (!time.contains(QLatin1Char('.')))
        time += QStringLiteral(".0");
    return QStringLiteral("2|") + path + QLatin1Char('|') + time + QLatin1Char('|') + QString::number(size);
}

QString PlaybackTranscoder::folderName(const QString& key) {
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.left(12).toHex());
}

bool PlaybackTranscoder::videoCopyAllowed(const FFmpeg::Probe& probe) {
    const auto video = probe.video();
    const QString codec = video ? video->codecName.value_or(QString()) : QString();
    return codec == QLatin1String("h264") || codec == QLatin1String("hevc");
}

bool PlaybackTranscoder::audioCopyAllowed(const FFmpeg::Probe& probe) {
    const QList<FFmpeg::Stream> audio = probe.audio();
    const QString codec = audio.isEmpty() ? QString() : audio.first().codecName.value_or(QString());
    return codec == QLatin1String("aac") || codec == QLatin1String("ac3") || codec == QLatin1String("eac3");
}

QStringList PlaybackTranscoder::arguments(const FFmpeg::Probe& probe, const QString& input,
                                          const QString& folder) {
    QStringList args{QStringLiteral("-i"), input};
    if (const auto video = probe.video()) {
        args << QStringLiteral("-map") << QStringLiteral("0:v:0");
        if (videoCopyAllowed(probe)) {
            args << QStringLiteral("-c:v") << QStringLiteral("copy");
            if (video->codecName == QStringLiteral("hevc"))
                args << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
        } else {
            args << kVideoEncoder;
        }
    }
    if (!probe.audio().isEmpty()) {
        args << QStringLiteral("-map") << QStringLiteral("0:a:0");
        if (audioCopyAllowed(probe))
            args << QStringLiteral("-c:a") << QStringLiteral("copy");
        else
            args << kAudioEncoder;
    }
    const QDir dir(folder);
    args << QStringLiteral("-sn") << QStringLiteral("-dn") << QStringLiteral("-f") << QStringLiteral("hls")
         << QStringLiteral("-hls_time") << QStringLiteral("4") << QStringLiteral("-hls_playlist_type")
         << QStringLiteral("event") << QStringLiteral("-hls_segment_type") << QStringLiteral("fmp4")
         << QStringLiteral("-hls_fmp4_init_filename") << QStringLiteral("init.mp4")
         << QStringLiteral("-hls_segment_filename") << dir.filePath(QStringLiteral("seg%05d.m4s"))
         << QStringLiteral("-hls_flags") << QStringLiteral("independent_segments+temp_file")
         << dir.filePath(QStringLiteral("index.m3u8"));
    return args;
}

std::optional<ConvertError> PlaybackTranscoder::failure(const QString& message) {
    if (message == QLatin1String("Cancelled"))
        return std::nullopt;
    if (message.toLower().contains(QLatin1String("invalid data")))
        return ConvertError{QStringLiteral("This file looks damaged or isn't really a video or audio file.")};
    QString last;
    for (const QString& line : message.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            last = line.trimmed();
    return ConvertError{MediaApp::name() + QStringLiteral(" couldn't play this file. ") + last};
}

void PlaybackTranscoder::start(const QUrl& url, ReadyHandler ready) {
    m_ready = std::move(ready);
    const QString path = url.toLocalFile();
    const quint64 generation = m_generation;
    FFmpeg::probe(path, this, [this, generation, path](std::optional<FFmpeg::Probe> probe) {
        if (generation == m_generation)
            prepare(path, probe);
    });
}

void PlaybackTranscoder::prepare(const QString& path, const std::optional<FFmpeg::Probe>& probe) {
    if (!probe) {
        answer(
            ConvertError{MediaApp::name() + QStringLiteral(" couldn't read this file. It may be damaged.")});
        return;
    }
    const auto [modified, bytes] = attributes(path);
    const QString folder = QDir(cache()).filePath(folderName(cacheKey(path, modified, bytes)));
    m_folder = folder;
    m_pending.playlist = QDir(folder).filePath(QStringLiteral("index.m3u8"));
    m_pending.duration = probe->duration();
    const auto video = probe->video();
    if (video && video->width && video->height)
        m_pending.size = QSize(*video->width, *video->height);
    const bool videoCopy = videoCopyAllowed(*probe);

    if (HlsPlaylist::finished(readText(m_pending.playlist))) {
        m_complete = true;
        m_pending.converting = false;
        answer(m_pending);
        return;
    }
    m_pending.converting = !videoCopy;

    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const quint64 generation = m_generation;
    m_job = std::make_unique<FFmpeg::Job>(
        arguments(*probe, path, folder), probe->duration(), 0, nullptr,
        [this, generation](std::optional<QString> message) { finished(generation, message); });
    if (const auto launchFailure = m_job->start()) {
        m_job.reset();
        answer(ConvertError{*launchFailure});
        return;
    }
    Log::info(Log::Area::app,
              QStringLiteral("Player: ") +
                  (video && !videoCopy ? QStringLiteral("converting") : QStringLiteral("rewrapping")) +
                  QStringLiteral(" a ") + QFileInfo(path).suffix().toLower() +
                  QStringLiteral(" file for playback"));
    scheduleCheck();
}

void PlaybackTranscoder::scheduleCheck() {
    const quint64 generation = m_generation;
    QTimer::singleShot(m_checkIntervalMs, this, [this, generation] { check(generation); });
}

void PlaybackTranscoder::check(quint64 generation) {
    if (generation != m_generation || m_answered)
        return;
    const QString text = readText(m_pending.playlist);
    if (HlsPlaylist::segmentCount(text) >= 3 || HlsPlaylist::finished(text)) {
        answer(m_pending);
        return;
    }
    // A job that ended leaves the answer to its completion handler.
    if (m_job && m_job->isRunning())
        scheduleCheck();
}

void PlaybackTranscoder::finished(quint64 generation, const std::optional<QString>& message) {
    if (generation != m_generation)
        return;
    if (!message)
        m_complete = true;
    if (m_answered)
        return;
    if (!message) {
        answer(m_pending);
        return;
    }
    if (const auto error = failure(*message)) {
        answer(*error);
    } else {
        m_answered = true; // cancelled: no answer
    }
}

void PlaybackTranscoder::answer(const Answer& result) {
    if (m_answered)
        return;
    m_answered = true;
    // The handler may destroy this transcoder: nothing of it is touched afterwards.
    const ReadyHandler ready = std::move(m_ready);
    m_ready = nullptr;
    if (ready)
        ready(result);
}

void PlaybackTranscoder::stop() {
    ++m_generation;
    m_ready = nullptr;
    // Destroying the job kills the tool and waits for it, so nothing writes into the folder after
    // it is removed.
    m_job.reset();
    if (!m_complete && m_folder)
        QDir(*m_folder).removeRecursively();
    m_folder.reset();
}

double PlaybackTranscoder::available(const QString& playlist) {
    QFile file(playlist);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return HlsPlaylist::available(QString::fromUtf8(file.readAll()));
}

void PlaybackTranscoder::prune() {
    const QString folder = cache();
    QThreadPool::globalInstance()->start(
        [folder] {
            const QDateTime limit = QDateTime::currentDateTime().addSecs(-86400);
            const QFileInfoList items = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                                   QDir::System | QDir::NoDotAndDotDot);
            for (const QFileInfo& item : items) {
                const QDateTime modified = item.lastModified();
                if (modified.isValid() && modified >= limit)
                    continue;
                if (item.isDir() && !item.isSymLink())
                    QDir(item.absoluteFilePath()).removeRecursively();
                else
                    QFile::remove(item.absoluteFilePath());
            }
        },
        QThread::LowPriority);
}
