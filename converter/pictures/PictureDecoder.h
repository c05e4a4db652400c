#pragma once

#include "converter/pictures/Picture.h"

#include <QString>

#include <optional>

// A picture file whose header has been read; nothing is decoded yet.
struct PictureSource {
    QString path;
    // Pixel size as stored, before the orientation tag is applied (0 when unknown).
    int width = 0;
    int height = 0;
    // The libvips loader that reads it ("jpegload", "pngload", ...).
    QString loader;
    // EXIF orientation 1-8 (1 = upright).
    int orientation = 1;
    int bands = 0;
};

// Reading pictures with libvips: opening, orientation-corrected, shrink-on-load decoding.
// Free functions, callable from any thread; each call makes its own objects. libvips is set up
// once per process on first use.
namespace PictureDecoder {

// Starts libvips once per process (safe to call from several threads at once); false when
// libvips could not start, and then nothing here opens or writes anything.
bool ensureInitialised();

// Opens `path` as a picture source; none when no loader recognises it or its header is unreadable.
std::optional<PictureSource> open(const QString& path);

// image(from:maxSize:flatten:): the picture upright, its longest side at most `maxSize` pixels
// (0 = no limit; never enlarged), shrunk while loading where the format allows it. With `flatten`,
// a picture with transparency is drawn over opaque white in 8-bit sRGB. An embedded colour profile
// is kept. Decoding is lazy: pixel errors (a truncated file) surface when the picture is written
// or by `decodes`. None when the picture cannot be decoded or scaled.
std::optional<Picture> image(const PictureSource& source, int maxSize, bool flatten);

// The picture in 8-bit sRGB (an embedded profile converted, alpha kept), for writers and
// surfaces that carry no colour profile.
Picture srgb8(const Picture& picture);

// Decodes every pixel of a freshly made pipeline; false when the file's pixel data is broken.
bool decodes(const PictureSource& source, int maxSize);

} // namespace PictureDecoder
