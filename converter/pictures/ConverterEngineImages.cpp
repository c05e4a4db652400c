// Pictures to pictures and to PDF, on libvips (decoding, writers) and cairo (the PDF surface).
#include "converter/ConverterEngine.h"

#include "converter/pictures/PictureDecoder.h"
#include "converter/pictures/PictureWriter.h"
#include "converter/queue/OutputFile.h"

#include <QFile>

#include <cairo-pdf.h>
#include <cairo.h>
#include <vips/vips8>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using vips::VImage;

namespace ConverterEngine {

namespace {

ConvertError error(const char* message) {
    return ConvertError{QString::fromUtf8(message)};
}

int jpegQuality(ConvertQuality quality) {
    switch (quality) {
    case ConvertQuality::best:
        return 95;
    case ConvertQuality::balanced:
        return 82;
    case ConvertQuality::small:
        return 60;
    }
    return 82;
}

// Where cairo's PDF goes: our temporary file, with every write checked. Writing through a file
// name would lose a full disk's error and leave a truncated PDF that looks complete.
struct PdfSink {
    int fd = -1;
    int error = 0;

    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* sink = static_cast<PdfSink*>(closure);
        while (length > 0 && sink->error == 0) {
            const ssize_t n = ::write(sink->fd, data, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                sink->error = n < 0 ? errno : EIO;
                break;
            }
            data += n;
            length -= unsigned(n);
        }
        return sink->error == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
    }

    // Flushes what the kernel holds, so that a disk that fills late still fails here.
    bool close() {
        if (fd < 0)
            return error == 0;
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        fd = -1;
        return error == 0;
    }
};

void destroyBytes(void* bytes) {
    delete static_cast<QByteArray*>(bytes);
}

// A JPEG that needs neither scaling nor rotation goes into the PDF as it is: no decoding, no
// re-encoding, no loss. Only plain RGB or grey data whose end marker is present (a truncated
// file is decoded instead, and skipped when that fails).
cairo_surface_t* embeddedJpeg(const PictureSource& source, int maxSize) {
    if (source.loader != QLatin1String("jpegload") || source.orientation != 1)
        return nullptr;
    if (source.bands != 1 && source.bands != 3)
        return nullptr;
    if (maxSize >= 1 && maxSize < std::max(source.width, source.height))
        return nullptr;
    QFile file(source.path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    auto* bytes = new QByteArray(file.readAll());
    const QByteArray tail = bytes->right(4096);
    if (!bytes->startsWith("\xFF\xD8") || !tail.contains("\xFF\xD9")) {
        delete bytes;
        return nullptr;
    }
    // cairo's PDF writer draws an image's data over the source surface's extent, whatever the
    // data's own pixel size. The pixels are never used when the JPEG data is there, and a
    // full-size buffer would be copied (cairo snapshots its sources) for nothing: a 1 × 1
    // surface carries the data, and the page scales it up to the picture's size.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_mime_data(
            surface, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(bytes->constData()),
            static_cast<unsigned long>(bytes->size()), destroyBytes, bytes) != CAIRO_STATUS_SUCCESS) {
        delete bytes;
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

// The decoded picture as a cairo surface (premultiplied native-endian ARGB), or null when its
// pixels cannot be decoded.
cairo_surface_t* decodedSurface(const PictureSource& source, int maxSize) {
    const std::optional<Picture> decoded = PictureDecoder::image(source, maxSize, false);
    if (!decoded)
        return nullptr;
    try {
        VImage rgb = PictureDecoder::srgb8(*decoded).image();
        const bool alpha = rgb.bands() == 4;
        if (rgb.bands() != 3 && !alpha)
            return nullptr;
        if (alpha)
            rgb = rgb.premultiply().cast(VIPS_FORMAT_UCHAR);
        // cairo's 32-bit pixels are B, G, R, A in memory on little-endian machines.
        const VImage bgra =
            VImage::bandjoin({rgb.extract_band(2), rgb.extract_band(1), rgb.extract_band(0),
                              alpha ? rgb.extract_band(3) : rgb.extract_band(0).new_from_image(255)});
        size_t size = 0;
        void* pixels = bgra.write_to_memory(&size);
        const int width = bgra.width();
        const int height = bgra.height();
        const cairo_format_t format = alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
        if (cairo_format_stride_for_width(format, width) != width * 4) {
            g_free(pixels);
            return nullptr;
        }
        cairo_surface_t* surface = cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels),
                                                                       format, width, height, width * 4);
        static cairo_user_data_key_t key;
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
            cairo_surface_set_user_data(surface, &key, pixels, g_free) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            g_free(pixels);
            return nullptr;
        }
        return surface;
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

} // namespace

ConvertResult convertImage(const QString& input, const QString& output, const ConvertTarget& target,
                           const ConvertOptions& options, const ConvertControlPtr& control) {
    const std::optional<PictureSource> source = PictureDecoder::open(input);
    if (!source)
        return error("This picture couldn't be opened.");
    if (target.id == QLatin1String("pdf"))
        return picturesToPDF({input}, output, options, control);

    const PictureWriter::Format format = PictureWriter::formatFor(target.id);
    if (!PictureWriter::canWrite(format))
        return ConvertError{QStringLiteral("This system can't write ") + target.title +
                            QStringLiteral(" files.")};

    int maxSize = options.maxSize;
    if (format == PictureWriter::Format::ico)
        maxSize = maxSize < 1 ? 256 : std::min(maxSize, 256);
    const bool flatten = format == PictureWriter::Format::jpeg || format == PictureWriter::Format::bmp;
    const std::optional<Picture> picture = PictureDecoder::image(*source, maxSize, flatten);
    if (!picture)
        return error("This picture couldn't be read.");

    OutputFile file(output, OutputFile::Kind::file, control);
    if (!file.isValid())
        return file.failure(QStringLiteral("The picture couldn't be saved."));
    if (!PictureWriter::write(*picture, file.temporaryPath(), format, jpegQuality(options.quality))) {
        // Pixels are decoded while writing; tell a broken picture from a failed write.
        if (!PictureDecoder::decodes(*source, maxSize))
            return error("This picture couldn't be read.");
        return file.failure(QStringLiteral("The picture couldn't be saved."));
    }
    if (!file.commit())
        return file.failure(QStringLiteral("The picture couldn't be saved."));
    return std::nullopt;
}

ConvertResult picturesToPDF(const QStringList& inputs, const QString& output, const ConvertOptions& options,
                            const ConvertControlPtr& control) {
    OutputFile file(output, OutputFile::Kind::file, control);
    if (!file.isValid())
        return file.failure(QStringLiteral("The PDF couldn't be made."));

    cairo_surface_t* pdf = nullptr;
    cairo_t* context = nullptr;
    int pages = 0;
    PdfSink sink;
    sink.fd = ::open(QFile::encodeName(file.temporaryPath()).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (sink.fd < 0)
        return file.failure(QStringLiteral("The PDF couldn't be made."), errno);
    for (const QString& input : inputs) {
        if (control && control->isCancelled())
            break;
        const std::optional<PictureSource> source = PictureDecoder::open(input);
        if (!source)
            continue;
        double width = source->width;
        double height = source->height;
        cairo_surface_t* page = embeddedJpeg(*source, options.maxSize);
        const bool embedded = page != nullptr;
        if (!page) {
            page = decodedSurface(*source, options.maxSize);
            if (!page)
                continue;
            width = cairo_image_surface_get_width(page);
            height = cairo_image_surface_get_height(page);
        }
        // One pixel per point.
        if (!pdf) {
            pdf = cairo_pdf_surface_create_for_stream(&PdfSink::write, &sink, width, height);
            context = cairo_create(pdf);
        } else {
            cairo_pdf_surface_set_size(pdf, width, height);
        }
        cairo_save(context);
        if (embedded)
            cairo_scale(context, width, height);
        cairo_set_source_surface(context, page, 0, 0);
        cairo_paint(context);
        cairo_restore(context);
        cairo_show_page(context);
        cairo_surface_destroy(page);
        if (cairo_status(context) != CAIRO_STATUS_SUCCESS)
            break;
        ++pages;
    }
    if (!pdf) {
        sink.close();
        return file.failure(QStringLiteral("The PDF couldn't be made."));
    }
    const bool drawn = cairo_status(context) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(context);
    cairo_surface_finish(pdf);
    const bool written = drawn && cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(pdf);
    const bool closed = sink.close();
    if (!written || !closed || pages == 0 || !file.commit())
        return file.failure(QStringLiteral("The PDF couldn't be made."), sink.error);
    return std::nullopt;
}

} // namespace ConverterEngine
