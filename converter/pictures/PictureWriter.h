#pragma once

#include "converter/pictures/Picture.h"

#include <QString>

#include <optional>

// Writing one picture file with libvips: JPEG, PNG, HEIC, TIFF and GIF with vips' own savers;
// BMP and ICO through vips' ImageMagick saver, or Qt's image writers where that saver is missing.
// Free functions, callable from any thread.
namespace PictureWriter {

enum class Format { jpeg, png, heic, tiff, bmp, ico, gif };
// `automatic` picks vips' saver and falls back to Qt for BMP and ICO; `qt` forces that fallback.
enum class Backend { automatic, qt };

// The format a picture target writes: jpeg, png, heic, tiff, bmp, ico; anything else GIF.
Format formatFor(const QString& targetId);
// True when this system has a writer for `format`.
bool canWrite(Format format, Backend backend = Backend::automatic);
// Writes `picture` to `path` (replacing what is there). `quality` 1-100 is used by JPEG and HEIC.
// False when the picture could not be encoded or written.
bool write(const Picture& picture, const QString& path, Format format, int quality,
           Backend backend = Backend::automatic);

} // namespace PictureWriter
