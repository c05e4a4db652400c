// PDFs to page pictures and to text, with Poppler rendering into cairo and libvips encoding.
#include "converter/ConverterEngine.h"

#include "converter/queue/OutputFile.h"

#include "converter/pictures/PdfDocument.h"
#include "converter/pictures/PictureDecoder.h"
#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cairo.h>
#include <poppler.h>
#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstring>

using vips::VImage;

namespace ConverterEngine {

namespace {

double pageScale(ConvertQuality quality) {
    switch (quality) {
    case ConvertQuality::best:
        return 3.0;
    case ConvertQuality::balanced:
        return 2.0;
    case ConvertQuality::small:
        return 1.25;
    }
    return 2.0;
}

// A hostile or absurd page size (PDF allows 200 × 200 inches and more) must not ask for gigabytes:
// such a page is rendered smaller instead.
constexpr double kMaxSide = 20000;
constexpr double kMaxPixels = 120e6;

struct PageSize {
    int width = 0;
    int height = 0;
    double scale = 1;
};

PageSize pixelSize(PopplerPage* page, double scale) {
    double width = 0;
    double height = 0;
    poppler_page_get_size(page, &width, &height);
    if (!(width > 0) || !(height > 0))
        return {};
    double w = width * scale;
    double h = height * scale;
    const double shrink = std::min({1.0, kMaxSide / w, kMaxSide / h, std::sqrt(kMaxPixels / (w * h))});
    scale *= shrink;
    return {std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))),
            scale};
}

// Renders the page (its crop box) on white at `scale` and writes it as PNG or JPEG 0.85.
bool writePage(PopplerPage* page, double scale, bool png, const QString& path) {
    const PageSize size = pixelSize(page, scale);
    if (size.width < 1)
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_paint(context);
    cairo_scale(context, size.scale, size.scale);
    poppler_page_render(page, context);
    const bool rendered = cairo_status(context) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(context);
    cairo_surface_flush(surface);

    bool written = false;
    const int stride = cairo_image_surface_get_stride(surface);
    if (rendered && stride == size.width * 4) {
        try {
            // cairo's RGB24 pixels are B, G, R, unused in memory (little-endian).
            const VImage bgrx =
                VImage::new_from_memory(cairo_image_surface_get_data(surface), size_t(stride) * size.height,
                                        size.width, size.height, 4, VIPS_FORMAT_UCHAR);
            const VImage rgb =
                VImage::bandjoin({bgrx.extract_band(2), bgrx.extract_band(1), bgrx.extract_band(0)})
                    .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
            const QByteArray name = QFile::encodeName(path);
            if (png)
                rgb.pngsave(name.constData());
            else
                rgb.jpegsave(name.constData(), VImage::option()->set("Q", 85));
            written = true;
        } catch (const vips::VError&) {
            vips_error_clear();
        }
    }
    cairo_surface_destroy(surface);
    return written;
}

ConvertResult pagePictures(const PdfDocument& pdf, const QString& folder, const ConvertTarget& target,
                           const ConvertOptions& options, const ConvertControlPtr& control) {
    const bool png = target.id == QLatin1String("pdf-png");
    // The pages go into a hidden folder of our own that takes the "… pages" name only when every
    // page is written: a failure removes exactly the pages we wrote, and a folder that was already
    // there is never touched.
    OutputFile pages(folder, OutputFile::Kind::folder, control);
    if (!pages.isValid())
        return pages.failure(QStringLiteral("The folder for the pages couldn't be created."));

    int written = 0;
    const int count = pdf.pageCount();
    const double scale = pageScale(options.quality);
    const QString ext = QLatin1Char('.') + target.ext;
    for (int index = 0; index < count; ++index) {
        if (control && control->isCancelled())
            return pages.failure({});
        PopplerPage* page = pdf.page(index);
        if (!page)
            continue;
        const QString name = count == 1 ? QStringLiteral("Page") : QStringLiteral("Page %1").arg(index + 1);
        const QString path = pages.createFile(name + ext);
        const bool rendered = !path.isEmpty() && writePage(page, scale, png, path);
        g_object_unref(page);
        if (path.isEmpty())
            return pages.failure(QStringLiteral("The pages couldn't be saved."));
        if (!rendered) {
            // A page that cannot be rendered or encoded is left out, unless the disk is full.
            const ConvertError why = pages.failure({});
            if (!why.message.isEmpty())
                return why;
            QFile::remove(path);
            continue;
        }
        ++written;
    }
    if (written == 0) // not one page came out: an empty folder is no conversion
        return ConvertError{QStringLiteral("This PDF couldn't be opened.")};
    if (!pages.commit())
        return pages.failure(QStringLiteral("The pages couldn't be saved."));
    return std::nullopt;
}

ConvertResult plainText(const PdfDocument& pdf, const QString& output, const ConvertControlPtr& control) {
    OutputFile file(output, OutputFile::Kind::file, control);
    QFile out(file.temporaryPath());
    if (!file.isValid() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.failure(QStringLiteral("The text couldn't be saved."));
    const int count = pdf.pageCount();
    bool ok = true;
    for (int index = 0; index < count && ok; ++index) {
        PopplerPage* page = pdf.page(index);
        if (!page)
            continue;
        gchar* text = poppler_page_get_text(page);
        g_object_unref(page);
        if (index > 0)
            ok = out.write("\n", 1) == 1;
        if (text) {
            const qint64 length = qint64(std::strlen(text));
            ok = ok && out.write(text, length) == length;
            g_free(text);
        }
    }
    ok = ok && out.flush();
    out.close();
    if (!ok)
        return file.failure(QStringLiteral("The text couldn't be saved."),
                            out.error() == QFileDevice::ResourceError ? ENOSPC : 0);
    if (!file.commit())
        return file.failure(QStringLiteral("The text couldn't be saved."));
    return std::nullopt;
}

} // namespace

ConvertResult convertPDF(const QString& input, const QString& output, const ConvertTarget& target,
                         const ConvertOptions& options, const ConvertControlPtr& control) {
    {
        const PdfDocument pdf(input);
        if (pdf.error())
            return pdf.error();
        if (target.id == QLatin1String("pdf-png") || target.id == QLatin1String("pdf-jpeg")) {
            // Page pictures are encoded with libvips.
            if (!PictureDecoder::ensureInitialised())
                return ConvertError{QStringLiteral("This system can't write ") + target.title +
                                    QStringLiteral(" files.")};
            return pagePictures(pdf, output, target, options, control);
        }
        if (target.id == QLatin1String("pdf-txt"))
            return plainText(pdf, output, control);
    }
    // pdf-docx: the document engine builds it from PdfPageText.
    return pdfToDocx(input, output, control);
}

} // namespace ConverterEngine
