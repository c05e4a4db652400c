#pragma once

#include <QString>
#include <QStringList>

// Tiny media files made at test time with the real ffmpeg (the build's tool folder) from its
// lavfi test sources: a colour-bar picture with a counter and a 440 Hz tone. Every function
// writes one new file into `folder` (created when missing) and returns its path, or an empty
// string when ffmpeg failed; tests ASSERT_FALSE(path.isEmpty()). The container follows the
// name's extension. Blocking; any thread.
namespace MediaFixtures {

struct Video {
    int width = 160;
    int height = 120;
    double seconds = 1.0;
    int fps = 25;
    // Sound tracks in file order, each given by its channel count (1 mono, 2 stereo); empty
    // for a silent video.
    QList<int> soundTracks{2};
    // Subtitle tracks (SubRip in .mkv, mov_text in .mp4/.mov), each one line of text.
    int subtitleTracks = 0;
    // "h264" (the default, fast), "hevc", or empty for the container's default encoder.
    QString codec = QStringLiteral("h264");
};

// A video: `name` such as "clip.mp4", "clip.mkv", "clip.avi".
QString video(const QString& folder, const QString& name = QStringLiteral("clip.mp4"),
              const Video& video = {});

// A sound file with a tone: "tone.wav", "tone.mp3", "tone.flac", "tone.m4a", "tone.ogg"...
// `channels` 1 or 2.
QString sound(const QString& folder, const QString& name = QStringLiteral("tone.wav"), double seconds = 1.0,
              int channels = 2);

// A sound file with an attached cover picture (64×64 JPEG): "song.mp3", "song.flac", "song.m4a".
QString soundWithCover(const QString& folder, const QString& name = QStringLiteral("song.mp3"),
                       double seconds = 1.0);

// Runs the real ffmpeg with `arguments` (after "-hide_banner -loglevel error -y"); true on success.
// For fixtures the functions above do not cover.
bool run(const QStringList& arguments);

} // namespace MediaFixtures
