#include "converter/ffmpeg/FFmpeg.h"

#include "common/Paths.h"
#include "converter/ffmpeg/ChildProcess.h"
#include "converter/queue/ConverterPools.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QPointer>
#include <QProcess>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrenttask.h>

#include <cmath>

namespace {

QMutex folderLock;
QString folderOverride;

// ffprobe's JSON for one file is a few kilobytes; anything near this is not a media description.
constexpr qint64 kMaxProbeOutput = 32 * 1024 * 1024;
// A probe that has not answered by then is stuck (a dead network share); the caller carries on
// without a description.
constexpr int kProbeTimeoutMs = 120 * 1000;

// Decoding follows the rule "a value that is present must have the right type": a wrong type
// fails the whole probe, a missing or null value is simply absent.
struct Decoder {
    bool failed = false;

    std::optional<QString> text(const QJsonObject& object, const char* key) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isString()) {
            failed = true;
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<int> integer(const QJsonValue& value) {
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || !std::isfinite(number) || number != std::trunc(number) ||
            std::abs(number) > 2147483647.0) {
            failed = true;
            return std::nullopt;
        }
        return static_cast<int>(number);
    }

    std::optional<int> integer(const QJsonObject& object, const char* key) {
        return integer(object.value(QLatin1String(key)));
    }

    // A JSON object whose every value `read` accepts; any other value fails the probe.
    template <typename T, typename Read>
    std::optional<QMap<QString, T>> map(const QJsonObject& object, const char* key, Read read) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isObject()) {
            failed = true;
            return std::nullopt;
        }
        QMap<QString, T> result;
        const QJsonObject inner = value.toObject();
        for (auto it = inner.begin(); it != inner.end(); ++it) {
            const std::optional<T> item = read(it.value());
            if (!item) {
                failed = true;
                return std::nullopt;
            }
            result.insert(it.key(), *item);
        }
        return result;
    }

    std::optional<QMap<QString, QString>> textMap(const QJsonObject& object, const char* key) {
        return map<QString>(object, key, [](const QJsonValue& value) -> std::optional<QString> {
            if (!value.isString())
                return std::nullopt;
            return value.toString();
        });
    }

    std::optional<QMap<QString, int>> integerMap(const QJsonObject& object, const char* key) {
        return map<int>(object, key, [this](const QJsonValue& value) { return integer(value); });
    }
};

bool isVideo(const FFmpeg::Stream& stream) {
    return stream.codecType == QStringLiteral("video");
}

} // namespace

namespace FFmpeg {

// ---- streams and probes

double Stream::fps() const {
    QList<double> numbers;
    const QStringList parts = avgFrameRate.value_or(QString()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        const double number = part.toDouble(&ok);
        if (ok && std::isfinite(number))
            numbers.append(number);
    }
    if (numbers.size() != 2 || !(numbers[1] > 0))
        return 0;
    return numbers[0] / numbers[1];
}

std::optional<QString> Stream::language() const {
    if (tags && tags->contains(QStringLiteral("language")))
        return tags->value(QStringLiteral("language"));
    return std::nullopt;
}

std::optional<QString> Stream::title() const {
    if (tags && tags->contains(QStringLiteral("title")))
        return tags->value(QStringLiteral("title"));
    return std::nullopt;
}

bool Stream::isCoverPicture() const {
    return disposition && disposition->value(QStringLiteral("attached_pic"), 0) == 1;
}

double Probe::duration() const {
    if (!format || !format->duration)
        return 0;
    bool ok = false;
    const double seconds = format->duration->toDouble(&ok);
    // A negative or endless duration would turn every progress line into nonsense.
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        return 0;
    return seconds;
}

std::optional<Stream> Probe::video() const {
    for (const Stream& stream : streams)
        if (isVideo(stream) && !stream.isCoverPicture())
            return stream;
    return std::nullopt;
}

QList<Stream> Probe::audio() const {
    QList<Stream> result;
    for (const Stream& stream : streams)
        if (stream.codecType == QStringLiteral("audio"))
            result.append(stream);
    return result;
}

QList<Stream> Probe::subtitles() const {
    QList<Stream> result;
    for (const Stream& stream : streams)
        if (stream.codecType == QStringLiteral("subtitle"))
            result.append(stream);
    return result;
}

bool Probe::hasCoverArt() const {
    for (const Stream& stream : streams)
        if (stream.isCoverPicture())
            return true;
    return false;
}

double Probe::frameCount() const {
    const std::optional<Stream> main = video();
    return (main ? main->fps() : 0.0) * duration();
}

std::optional<Probe> Probe::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue streams = root.value(QLatin1String("streams"));
    if (!streams.isArray())
        return std::nullopt;

    Decoder decoder;
    Probe probe;
    for (const QJsonValue& value : streams.toArray()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        Stream stream;
        const std::optional<int> index = decoder.integer(object, "index");
        if (!index)
            return std::nullopt;
        stream.index = *index;
        stream.codecType = decoder.text(object, "codec_type");
        stream.codecName = decoder.text(object, "codec_name");
        stream.width = decoder.integer(object, "width");
        stream.height = decoder.integer(object, "height");
        stream.channels = decoder.integer(object, "channels");
        stream.sampleRate = decoder.text(object, "sample_rate");
        stream.avgFrameRate = decoder.text(object, "avg_frame_rate");
        stream.tags = decoder.textMap(object, "tags");
        stream.disposition = decoder.integerMap(object, "disposition");
        if (decoder.failed)
            return std::nullopt;
        probe.streams.append(stream);
    }

    const QJsonValue format = root.value(QLatin1String("format"));
    if (format.isObject()) {
        const QJsonObject object = format.toObject();
        Format decoded;
        decoded.formatName = decoder.text(object, "format_name");
        decoded.duration = decoder.text(object, "duration");
        decoded.tags = decoder.textMap(object, "tags");
        if (decoder.failed)
            return std::nullopt;
        probe.format = decoded;
    } else if (!format.isUndefined() && !format.isNull()) {
        return std::nullopt;
    }
    return probe;
}

// ---- tool locations

QString folder() {
    {
        QMutexLocker locker(&folderLock);
        if (!folderOverride.isEmpty())
            return folderOverride;
    }
    return Paths::toolFolder();
}

QString ffmpeg() {
    return folder() + QStringLiteral("/ffmpeg");
}

QString ffprobe() {
    return folder() + QStringLiteral("/ffprobe");
}

bool available() {
    const QFileInfo info(ffmpeg());
    return info.isFile() && info.isExecutable();
}

void setFolderForTesting(const QString& path) {
    QMutexLocker locker(&folderLock);
    folderOverride = path;
}

QStringList probeArguments(const QString& input) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-print_format"),
            QStringLiteral("json"),
            QStringLiteral("-show_streams"),
            QStringLiteral("-show_format"),
            input};
}

// ---- probing

std::optional<Probe> probeBlocking(const QString& path) {
    const QString tool = ffprobe();
    const QFileInfo info(tool);
    if (!info.isFile() || !info.isExecutable())
        return std::nullopt;

    QProcess process;
    ChildProcess::dieWithParent(process);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // An absolute path keeps a name beginning with "-" from reading as an option.
    process.start(tool, probeArguments(QFileInfo(path).absoluteFilePath()));
    if (!process.waitForStarted())
        return std::nullopt;

    QByteArray output;
    QDeadlineTimer deadline(kProbeTimeoutMs);
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired() || output.size() > kMaxProbeOutput) {
            process.kill();
            process.waitForFinished();
            return std::nullopt;
        }
        process.waitForReadyRead(200);
        output += process.readAllStandardOutput();
    }
    output += process.readAllStandardOutput();
    if (output.size() > kMaxProbeOutput)
        return std::nullopt;
    return Probe::decode(output);
}

void probe(const QString& path, QObject* context, std::function<void(std::optional<Probe>)> done,
           int priority) {
    if (!context)
        return;
    using Result = std::optional<Probe>;
    // The watcher lives in the context's thread and dies with it, so a late answer for a context
    // that is gone is never delivered.
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, watcher, [watcher, done = std::move(done)] {
        const Result result = watcher->future().result();
        watcher->deleteLater();
        if (done)
            done(result);
    });
    // Probes wait on a child process, so they have a pool of their own instead of taking threads
    // away from the picture and PDF work.
    watcher->setFuture(QtConcurrent::task([path] { return probeBlocking(path); })
                           .onThreadPool(*ConverterPools::probes())
                           .withPriority(priority)
                           .spawn());
}

} // namespace FFmpeg
