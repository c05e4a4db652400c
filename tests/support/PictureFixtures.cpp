#include "support/PictureFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTransform>

// cairo's headers need no include path of their own (no glib); the library comes with the
// converter library these tests link.
#include <cairo/cairo-pdf.h>
#include <cairo/cairo.h>

namespace PictureFixtures {

std::optional<QByteArray> run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
        return std::nullopt;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// An EXIF block that holds only an orientation tag (little-endian TIFF layout).
static QByteArray exifOrientation(int orientation) {
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const char entry[] = {1,
                          0, // one directory entry
                          0x12,
                          0x01,
                          3,
                          0,
                          1,
                          0,
                          0,
                          0, // tag 0x0112, SHORT, count 1
                          char(orientation),
                          0,
                          0,
                          0, // value
                          0,
                          0,
                          0,
                          0}; // no next directory
    tiff.append(entry, sizeof entry);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    return segment + payload;
}

// The stored pixels that show `upright` once orientation `tag` is applied.
static QImage stored(const QImage& upright, int tag) {
    switch (tag) {
    case 3:
        return upright.transformed(QTransform().rotate(180));
    case 6:
        return upright.transformed(QTransform().rotate(-90)); // viewer turns it 90° clockwise
    case 8:
        return upright.transformed(QTransform().rotate(90));
    default:
        return upright;
    }
}

QString picture(const QString& path, int width, int height, const PictureOptions& options) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(0, 0, 255));
    {
        QPainter painter(&image);
        painter.fillRect(0, 0, std::max(1, width / 4), std::max(1, height / 4), QColor(255, 0, 0));
        if (options.transparentLeft) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(0, 0, width / 2, height, Qt::transparent);
        }
    }
    if (!options.transparentLeft)
        image = image.convertToFormat(QImage::Format_RGB32);
    image = stored(image, options.orientation);

    QTemporaryDir scratch;
    const QString png = scratch.filePath(QStringLiteral("source.png"));
    if (!image.save(png, "PNG"))
        return {};
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool lossy =
        ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") || ext == QLatin1String("heic");
    const QString target = lossy ? QStringLiteral("%1[Q=%2]").arg(path).arg(options.quality) : path;
    if (!run(QStringLiteral("vips"), {QStringLiteral("copy"), png, target}))
        return {};
    if (options.orientation != 1 && (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return {};
        QByteArray bytes = file.readAll();
        bytes.insert(2, exifOrientation(options.orientation)); // right after the start marker
        file.seek(0);
        file.write(bytes);
    }
    return path;
}

std::optional<PictureInfo> info(const QString& path) {
    const auto out = run(QStringLiteral("vipsheader"), {QStringLiteral("-a"), path});
    if (!out)
        return std::nullopt;
    QHash<QString, QString> fields;
    for (const QString& line : QString::fromUtf8(*out).split(QLatin1Char('\n'))) {
        const int colon = int(line.indexOf(QStringLiteral(": ")));
        if (colon > 0)
            fields.insert(line.left(colon).trimmed(), line.mid(colon + 2).trimmed());
    }
    PictureInfo result;
    result.width = fields.value(QStringLiteral("width")).toInt();
    result.height = fields.value(QStringLiteral("height")).toInt();
    result.bands = fields.value(QStringLiteral("bands")).toInt();
    result.loader = fields.value(QStringLiteral("vips-loader"));
    if (result.width < 1 || result.height < 1 || result.bands < 1)
        return std::nullopt;
    return result;
}

QImage upright(const QString& path) {
    QTemporaryDir scratch;
    const QString png = scratch.filePath(QStringLiteral("upright.png"));
    // autorot applies the orientation tag; 8 bits so Qt reads every format the same way.
    if (!run(QStringLiteral("vips"), {QStringLiteral("autorot"), path, png + QStringLiteral("[bitdepth=8]")}))
        return {};
    QImage image(png);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QString sniff(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(16);
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpeg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (head.mid(4, 8) == "ftypheic" || head.mid(4, 8) == "ftypmif1")
        return QStringLiteral("heic");
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("tiff");
    if (head.startsWith("BM"))
        return QStringLiteral("bmp");
    if (head.startsWith(QByteArray("\0\0\1\0", 4)))
        return QStringLiteral("ico");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (head.startsWith("%PDF-"))
        return QStringLiteral("pdf");
    return {};
}

QString pdf(const QString& path, const QList<PdfPage>& pages) {
    if (pages.isEmpty())
        return {};
    QDir().mkpath(QFileInfo(path).absolutePath());
    cairo_surface_t* surface = cairo_pdf_surface_create(
        QFile::encodeName(path).constData(), pages.first().size.width(), pages.first().size.height());
    cairo_t* cr = cairo_create(surface);
    for (const PdfPage& page : pages) {
        cairo_pdf_surface_set_size(surface, page.size.width(), page.size.height());
        cairo_set_source_rgb(cr, 0, 0, 0);
        double y = 10;
        for (const PdfText& line : page.lines) {
            cairo_select_font_face(cr, line.family.toUtf8().constData(),
                                   line.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                   line.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, line.size);
            y += line.size * 1.5;
            cairo_move_to(cr, 10, y);
            cairo_show_text(cr, line.text.toUtf8().constData());
        }
        // Something to see on pages without text.
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_rectangle(cr, 0, page.size.height() - 5, 5, 5);
        cairo_fill(cr);
        cairo_show_page(cr);
    }
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written ? path : QString();
}

QString croppedPdf(const QString& path, const QSizeF& media, const QSizeF& crop) {
    // The smallest valid PDF: catalog, page tree, one page with a red square, and its xref.
    const QByteArray content = "1 0 0 rg 0 0 10 10 re f\n";
    QList<QByteArray> objects;
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    objects << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects << QStringLiteral("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %1 %2] /CropBox [0 0 %3 %4] "
                              "/Contents 4 0 R /Resources << >> >>")
                   .arg(media.width())
                   .arg(media.height())
                   .arg(crop.width())
                   .arg(crop.height())
                   .toLatin1();
    objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream";
    QByteArray out = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size())
        return {};
    return path;
}

QString encryptedPdf(const QString& source, const QString& path, const QString& userPassword) {
    if (!run(QStringLiteral("qpdf"),
             {QStringLiteral("--encrypt"), userPassword, QStringLiteral("owner-secret"),
              QStringLiteral("256"), QStringLiteral("--"), source, path}))
        return {};
    return path;
}

QList<QSizeF> pdfPageSizes(const QString& path) {
    const auto out = run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                                     QStringLiteral("-l"), QStringLiteral("100000"), path});
    QList<QSizeF> sizes;
    if (!out)
        return sizes;
    static const QRegularExpression line(QStringLiteral("^Page\\s+\\d+ size:\\s+([0-9.]+) x ([0-9.]+) pts"),
                                         QRegularExpression::MultilineOption);
    auto matches = line.globalMatch(QString::fromUtf8(*out));
    while (matches.hasNext()) {
        const auto match = matches.next();
        sizes.append(QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()));
    }
    return sizes;
}

} // namespace PictureFixtures
