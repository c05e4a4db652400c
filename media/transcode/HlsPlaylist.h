#pragma once

#include <QString>

// Reading the transcoder's growing HLS event playlist. Pure functions over the playlist's text;
// thread-safe.
namespace HlsPlaylist {

// Whether the playlist is finished ("#EXT-X-ENDLIST").
bool finished(const QString& text);
// The number of media segments listed ("#EXTINF" tags).
int segmentCount(const QString& text);
// Seconds of media listed: infinity when finished, else the sum of the "#EXTINF:" durations (a
// duration that does not parse counts 0).
double available(const QString& text);

} // namespace HlsPlaylist
