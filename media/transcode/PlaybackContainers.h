#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// Which files the player can open itself and which go through the playback transcoder. The
// transcoder's list names containers another platform's player cannot open; here a file on that
// list plays directly when the installed GStreamer has a demuxer for its container. Thread-safe.
namespace PlaybackContainers {

// The lower-case extensions whose files may need conversion (28).
const QSet<QString>& unsupported();

// The GStreamer element factories that can demux a container, by lower-case extension; any one
// present is enough. Empty for an extension GStreamer has no demuxer for here.
QStringList demuxers(const QString& extension);

// The rule with the registry given as a test: on the list and no demuxer present.
bool needsConversion(const QString& extension,
                     const std::function<bool(const QString& factory)>& registryHas);

// The rule against the installed GStreamer (initialised on first use; the registry is read once
// per extension and process).
bool needsConversion(const QString& extension);

} // namespace PlaybackContainers
