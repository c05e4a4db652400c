#pragma once

#include <QStandardPaths>
#include <QString>

// Every location the application reads or writes, in one place. Computed on each call from the
// XDG variables (so tests that point them at a temporary folder are honoured) and from the
// executable's own folder. Thread-safe.
namespace Paths {

// <prefix>/share/quorvane-converter, found from the executable: ../share/quorvane-converter.
QString resources();
// resources()/ffmpeg: holds `ffmpeg` and `ffprobe`.
QString toolFolder();
// <prefix>/lib/quorvane-converter: helper programs of ours (the document worker).
QString helpers();

// $XDG_CONFIG_HOME (default ~/.config).
QString configHome();
// $XDG_STATE_HOME (default ~/.local/state).
QString stateHome();
// $XDG_CACHE_HOME (default ~/.cache).
QString cacheHome();
// $XDG_DATA_HOME (default ~/.local/share).
QString dataHome();

// $XDG_STATE_HOME/Halcyrin/logs.
QString logFolder();
// $XDG_CACHE_HOME/Halcyrin: the suite's cache folder.
QString suiteCache();
// $XDG_CACHE_HOME/Halcyrin/Playback.
QString playbackCache();
// $XDG_CACHE_HOME/Halcyrin/Thumbnails.
QString thumbnailCache();
// $XDG_CACHE_HOME/QuorvaneConverter: this application's own cache (the conversion journal).
QString applicationCache();
// $XDG_DATA_HOME/Halcyrin.
QString applicationSupport();
// The XDG user folders (Movies, Music, Pictures, Downloads).
QString userFolder(QStandardPaths::StandardLocation location);

// Tests run from the build tree's tests/ folder, not bin/; they name the build's resources here.
void setResourcesForTesting(const QString& folder);

} // namespace Paths
