#pragma once

#include "converter/catalogue/ConvertError.h"

#include <QList>
#include <QString>

#include <functional>

// One run of text on a PDF page that shares one font, size and style.
struct PdfTextRun {
    QString text;
    // The font's PostScript name without a subset tag ("DejaVuSans-Bold", "TimesNewRomanPS-ItalicMT").
    QString font;
    // Points.
    double size = 0;
    // Read from the font's name (Bold, Black, Heavy, Semibold, Demi / Italic, Oblique).
    bool bold = false;
    bool italic = false;

    bool operator==(const PdfTextRun& other) const = default;
};

// Page text with font attributes, read page by page with Poppler (never all pages at once).
// Blocking; call from a background thread; each call opens its own document.
namespace PdfPageText {

// Calls `page` for each page in order with its runs, in reading order. Line breaks ("\n") are
// inside `text`; the runs of a page joined give the page's plain text. A page without text gets
// an empty list. Fails with the PDF messages ("This PDF couldn't be opened.", "This PDF is
// password-protected.").
ConvertResult forEachPage(const QString& pdfPath,
                          const std::function<void(int pageIndex, const QList<PdfTextRun>& runs)>& page);

// Bold and italic as read from a font name (exposed for tests).
bool isBoldFont(const QString& font);
bool isItalicFont(const QString& font);

} // namespace PdfPageText
