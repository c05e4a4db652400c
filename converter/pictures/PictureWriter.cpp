#include "converter/pictures/PictureWriter.h"

#include "converter/pictures/PictureDecoder.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <vips/vips8>

using vips::VImage;

namespace PictureWriter {

static bool hasOperation(const char* name) {
    return PictureDecoder::ensureInitialised() && vips_type_find("VipsOperation", name) != 0;
}

static bool hasMagickSaver() {
    static const bool available = hasOperation("magicksave");
    return available;
}

static const char* qtFormat(Format format) {
    return format == Format::ico ? "ico" : "bmp";
}

static bool qtCanWrite(Format format) {
    return QImageWriter::supportedImageFormats().contains(QByteArray(qtFormat(format)));
}

Format formatFor(const QString& targetId) {
    if (targetId == QLatin1String("jpeg"))
        return Format::jpeg;
    if (targetId == QLatin1String("png"))
        return Format::png;
    if (targetId == QLatin1String("heic"))
        return Format::heic;
    if (targetId == QLatin1String("tiff"))
        return Format::tiff;
    if (targetId == QLatin1String("bmp"))
        return Format::bmp;
    if (targetId == QLatin1String("ico"))
        return Format::ico;
    return Format::gif;
}

bool canWrite(Format format, Backend backend) {
    switch (format) {
    case Format::jpeg:
        return hasOperation("jpegsave");
    case Format::png:
        return hasOperation("pngsave");
    case Format::heic:
        return hasOperation("heifsave");
    case Format::tiff:
        return hasOperation("tiffsave");
    case Format::gif:
        return hasOperation("gifsave");
    case Format::bmp:
    case Format::ico:
        if (backend == Backend::automatic && hasMagickSaver())
            return true;
        return qtCanWrite(format);
    }
    return false;
}

// BMP and ICO carry no colour profile and at most 8 bits a channel: hand Qt 8-bit sRGB.
static bool writeWithQt(const Picture& picture, const QString& path, Format format) {
    const VImage rgb = PictureDecoder::srgb8(picture).image();
    const bool alpha = rgb.bands() == 4;
    if (rgb.bands() != 3 && !alpha)
        return false;
    size_t size = 0;
    void* pixels = rgb.write_to_memory(&size);
    if (!pixels)
        return false;
    const int width = rgb.width();
    const int height = rgb.height();
    QImage image(
        static_cast<const uchar*>(pixels), width, height, qsizetype(width) * rgb.bands(),
        alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888, [](void* data) { g_free(data); }, pixels);
    QImageWriter writer(path, qtFormat(format));
    return writer.write(image);
}

bool write(const Picture& picture, const QString& path, Format format, int quality, Backend backend) {
    if (picture.isNull() || !PictureDecoder::ensureInitialised())
        return false;
    const QByteArray name = QFile::encodeName(path);
    try {
        const VImage image = picture.image();
        switch (format) {
        case Format::jpeg:
            image.jpegsave(name.constData(), VImage::option()->set("Q", quality));
            break;
        case Format::png:
            image.pngsave(name.constData());
            break;
        case Format::heic:
            image.heifsave(
                name.constData(),
                VImage::option()->set("Q", quality)->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
            break;
        case Format::tiff:
            image.tiffsave(name.constData());
            break;
        case Format::gif:
            PictureDecoder::srgb8(picture).image().gifsave(name.constData());
            break;
        case Format::bmp:
        case Format::ico:
            if (backend == Backend::qt || !hasMagickSaver())
                return writeWithQt(picture, path, format);
            PictureDecoder::srgb8(picture).image().magicksave(
                name.constData(), VImage::option()->set("format", qtFormat(format)));
            break;
        }
        return true;
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

} // namespace PictureWriter
