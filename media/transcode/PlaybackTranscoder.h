#pragma once

#include "converter/catalogue/ConvertError.h"
#include "converter/ffmpeg/FFmpeg.h"

#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace FFmpeg {
class Job;
}

// Turns one local file the player cannot open into a growing HLS stream (fMP4 segments) in the
// playback cache, rewrapping when the codecs allow and re-encoding otherwise, and says when the
// first segments can be played. A finished stream stays in the cache and is reused for the same
// unchanged file. One transcoder serves one entry; the player owns it and calls stop() when it
// leaves the entry. Main thread only; every callback arrives on the main thread, and a late one
// (after stop() or destruction) changes nothing.
class PlaybackTranscoder : public QObject {
    Q_OBJECT

public:
    struct Ready {
        // The cache folder's "index.m3u8".
        QString playlist;
        // The source's duration from the probe; 0 when unknown.
        double duration = 0;
        // The main video stream's size; none without video or with a dimension unknown.
        std::optional<QSize> size;
        // True when the video is re-encoded (also for files without video); false for a rewrap
        // and for a finished stream from the cache.
        bool converting = false;

        // The loopback URL the player opens; none when the server cannot serve.
        std::optional<QUrl> stream() const;
        bool operator==(const Ready& other) const = default;
    };
    using Answer = std::variant<Ready, ConvertError>;
    using ReadyHandler = std::function<void(const Answer& answer)>;

    explicit PlaybackTranscoder(QObject* parent = nullptr);
    // Stops like stop(): an unfinished stream's folder is removed.
    ~PlaybackTranscoder() override;

    // Whether the player must play `url` through a transcoder (see PlaybackContainers).
    static bool needsConversion(const QUrl& url);
    // $XDG_CACHE_HOME/Halcyrin/Playback.
    static QString cache();

    // Starts preparing a stream for the local file; `ready` gets exactly one answer, unless the
    // transcoder is stopped or destroyed first. Call once.
    void start(const QUrl& url, ReadyHandler ready);
    // Ends the job; removes the folder unless the stream is complete.
    void stop();

    // Seconds of media the playlist file covers now (infinity when finished, 0 when unreadable).
    static double available(const QString& playlist);
    // Removes cache folders not modified for a day, on a background thread.
    static void prune();

    // The pieces start() is made of.
    static QString cacheKey(const QString& path, double modified, qint64 size);
    static QString folderName(const QString& key);
    static QStringList arguments(const FFmpeg::Probe& probe, const QString& input, const QString& folder);
    // The plain-language error of a failed job's message; none for "Cancelled".
    static std::optional<ConvertError> failure(const QString& message);
    static bool videoCopyAllowed(const FFmpeg::Probe& probe);
    static bool audioCopyAllowed(const FFmpeg::Probe& probe);

    FFmpeg::Job* job() const { return m_job.get(); }
    std::optional<QString> folder() const { return m_folder; }
    bool complete() const { return m_complete; }

    // How often the first-segments check looks (250 ms); tests slow it down to see the
    // completion handler answer.
    void setCheckIntervalForTesting(int ms) { m_checkIntervalMs = ms; }

private:
    void prepare(const QString& path, const std::optional<FFmpeg::Probe>& probe);
    void scheduleCheck();
    void check(quint64 generation);
    void finished(quint64 generation, const std::optional<QString>& message);
    void answer(const Answer& answer);

    std::unique_ptr<FFmpeg::Job> m_job;
    std::optional<QString> m_folder;
    bool m_complete = false;
    bool m_answered = false;
    // Bumped by stop(): every pending probe, check and completion started before then is stale.
    quint64 m_generation = 0;
    int m_checkIntervalMs = 250;
    ReadyHandler m_ready;
    Ready m_pending;
};
