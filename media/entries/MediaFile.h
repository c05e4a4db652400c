#pragma once

#include "media/entries/PlayerMediaKind.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Which files the player plays and the playlist of a file's folder. The converter's extension
// lists decide video and audio without touching the disk; everything else (pictures above all)
// is decided by the file's content type from shared-mime-info. Any thread; kind() and siblings()
// block on file-system access, so the player calls them off the main thread.
namespace MediaFile {

// From the lower-cased extension alone: the converter's video list, then its audio list.
std::optional<PlayerMediaKind> kindByExtension(const QUrl& url);

// The extension lists first, then the content type (video, audio, image); none when the file is
// not playable.
std::optional<PlayerMediaKind> kind(const QUrl& url);

// The playable, non-hidden items of the file's folder (one level), sorted as the file manager
// sorts names; a list holding only `file` when there are none or the folder cannot be read.
QList<QUrl> siblings(const QUrl& file);

// The file manager's order of names: localized, case-insensitive, digit runs compared by value
// ("Episode 2" before "Episode 10"). True when `a` sorts before `b`.
bool namesInOrder(const QString& a, const QString& b);

} // namespace MediaFile
