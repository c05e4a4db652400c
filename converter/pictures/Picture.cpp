#include "converter/pictures/Picture.h"

#include <vips/vips8>

Picture::Picture() = default;
Picture::Picture(const vips::VImage& image)
    : m_image(std::make_shared<const vips::VImage>(image)) {}
Picture::~Picture() = default;
Picture::Picture(const Picture&) = default;
Picture& Picture::operator=(const Picture&) = default;

int Picture::width() const {
    return m_image ? m_image->width() : 0;
}
int Picture::height() const {
    return m_image ? m_image->height() : 0;
}
int Picture::bands() const {
    return m_image ? m_image->bands() : 0;
}
bool Picture::hasAlpha() const {
    return m_image && m_image->has_alpha();
}

vips::VImage Picture::image() const {
    return m_image ? *m_image : vips::VImage();
}
