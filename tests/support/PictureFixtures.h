#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// Pictures and PDFs made at test time, and checks on what the converters wrote. Pictures are
// painted with Qt and written by the vips command line; PDFs are drawn with cairo; locked PDFs
// are encrypted with qpdf; outputs are read back with vipsheader, `vips autorot` and pdfinfo.
namespace PictureFixtures {

// Runs `program` with `arguments` (no shell); standard output, or none when it failed.
std::optional<QByteArray> run(const QString& program, const QStringList& arguments);

struct PictureOptions {
    // The left half fully transparent (formats with alpha only).
    bool transparentLeft = false;
    // EXIF orientation written into a JPEG (1 = none written).
    int orientation = 1;
    // JPEG/HEIC quality of the fixture itself.
    int quality = 90;
};

// A `width` × `height` picture at `path`, blue with a red block in its top-left corner (a quarter
// of each side), in the format of the path's extension (jpg, png, tif, heic, gif, webp ...).
// With an orientation, the stored pixels are turned so that the picture *looks* like that once
// the tag is applied. Returns the path, or an empty string on failure.
QString picture(const QString& path, int width, int height, const PictureOptions& options = {});

struct PictureInfo {
    int width = 0;
    int height = 0;
    int bands = 0;
    QString loader;
};
// The picture's header as vips reads it (orientation not applied); none when vips cannot read it.
std::optional<PictureInfo> info(const QString& path);
// The picture as a viewer shows it: decoded by vips (first page of a PDF at 72 dpi), orientation
// tag applied, 8 bits a channel. Null when vips cannot read it.
QImage upright(const QString& path);
// The container by its first bytes: "jpeg", "png", "heic", "tiff", "bmp", "ico", "gif", "pdf" or "".
QString sniff(const QString& path);

// One line of text on a PDF page.
struct PdfText {
    QString text;
    QString family = QStringLiteral("DejaVu Sans");
    double size = 12;
    bool bold = false;
    bool italic = false;
};
struct PdfPage {
    QSizeF size{200, 100};
    // Lines drawn from the top left; following lines go below.
    QList<PdfText> lines;
};
// A PDF drawn with cairo, one page per entry. Returns the path, or empty on failure.
QString pdf(const QString& path, const QList<PdfPage>& pages);
// A one-page PDF written by hand with a media box of `media` and a crop box of `crop` points.
QString croppedPdf(const QString& path, const QSizeF& media, const QSizeF& crop);
// `source` encrypted with qpdf (AES-256) into `path`; an empty user password gives a PDF that
// opens without one (only the owner password is set).
QString encryptedPdf(const QString& source, const QString& path, const QString& userPassword);
// Page sizes in points as pdfinfo reports them (crop box), one per page; empty when unreadable.
QList<QSizeF> pdfPageSizes(const QString& path);

} // namespace PictureFixtures
