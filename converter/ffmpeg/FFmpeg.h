#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The single gateway to the two media tools in the resources' tool folder: where they are, a
// decoded `ffprobe` description of a file, and (FFmpegJob.h) one running `ffmpeg` process.
namespace FFmpeg {

// One entry of ffprobe's "streams" array (JSON keys are the snake_case forms of the names).
struct Stream {
    int index = 0;
    std::optional<QString> codecType; // codec_type: "video", "audio", "subtitle", ...
    std::optional<QString> codecName; // codec_name
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> channels;
    std::optional<QString> sampleRate;             // sample_rate, a text as the tool writes it
    std::optional<QString> avgFrameRate;           // avg_frame_rate, "num/den"
    std::optional<QMap<QString, QString>> tags;    // keys as written by the tool
    std::optional<QMap<QString, int>> disposition; // keys as written, e.g. "attached_pic"

    // avg_frame_rate as a number: 0 unless it is exactly two numbers with a positive divisor.
    double fps() const;
    std::optional<QString> language() const;
    std::optional<QString> title() const;
    // disposition["attached_pic"] == 1.
    bool isCoverPicture() const;
};

// ffprobe's "format" object.
struct Format {
    std::optional<QString> formatName; // format_name
    std::optional<QString> duration;   // seconds as a decimal text
    std::optional<QMap<QString, QString>> tags;
};

struct Probe {
    QList<Stream> streams;
    std::optional<Format> format;

    // format.duration as a number; 0 when absent or not a number.
    double duration() const;
    // The first video stream that is not a cover picture.
    std::optional<Stream> video() const;
    QList<Stream> audio() const;
    QList<Stream> subtitles() const;
    bool hasCoverArt() const;
    // video().fps() (0 without video) × duration().
    double frameCount() const;

    // Decodes ffprobe's JSON output; none when it does not decode (a stream without "index"
    // fails the whole probe).
    static std::optional<Probe> decode(const QByteArray& json);
};

// The tool folder (resources + "ffmpeg") and the two executables in it.
QString folder();
QString ffmpeg();
QString ffprobe();
// Whether `ffmpeg` is an executable file; checked on every call.
bool available();

// Tests point the tools at another folder (a missing tool, a scripted stand-in). Empty restores
// the resources folder. The product never calls this.
void setFolderForTesting(const QString& folder);

// ffprobe's arguments for `input`, the input's path last.
QStringList probeArguments(const QString& input);

// Runs ffprobe on a background thread (a small pool of its own) and calls `done` on the next turns
// of `context`'s event loop with the result: none when the tool is missing, cannot start, runs
// for more than two minutes or writes something that does not decode. `done` is never called
// before probe() returns, nor after `context` is destroyed. Call on `context`'s thread.
// A higher `priority` goes before waiting probes (the re-probe when converting starts).
void probe(const QString& path, QObject* context, std::function<void(std::optional<Probe>)> done,
           int priority = 0);

// The same, blocking: for background threads only (the size sampler, the command line).
// Thread-safe.
std::optional<Probe> probeBlocking(const QString& path);

} // namespace FFmpeg
