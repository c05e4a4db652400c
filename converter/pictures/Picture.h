#pragma once

#include <memory>

namespace vips {
class VImage;
}

// A decoded (or lazily decoding) picture, as `PictureDecoder::image` returns it. A value type
// that shares one immutable libvips image; copies are cheap. Callable from any thread, but one
// Picture belongs to the conversion that made it (vips pipelines are not shared across calls).
// The size accessors need no libvips headers, so tests can check them directly.
class Picture {
public:
    Picture();
    explicit Picture(const vips::VImage& image);
    ~Picture();
    Picture(const Picture&);
    Picture& operator=(const Picture&);

    bool isNull() const { return !m_image; }
    int width() const;
    int height() const;
    int bands() const;
    bool hasAlpha() const;

    // The libvips image (only for code that includes <vips/vips8>).
    vips::VImage image() const;

private:
    std::shared_ptr<const vips::VImage> m_image;
};
