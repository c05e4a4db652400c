#pragma once

#include "converter/ConvertError.h"

#include <QList>
#include <QString>

#include <functional>

// One run of text on a PDF page that shares one font, size and style.
struct PdfTextRun {
    QString text;
    QString font;
    double size = 0;
    bool bold = false;
    bool italic = false;
};

// Page text with font attributes, read page by page with Poppler (never all pages at once).
namespace PdfPageText {

// Calls `page` for each page in order with its runs (line breaks inside `text`). Fails with the
// PDF messages ("This PDF couldn't be opened.", "This PDF is password-protected.").
ConvertResult forEachPage(const QString& pdfPath,
                          const std::function<void(int pageIndex, const QList<PdfTextRun>& runs)>& page);

} // namespace PdfPageText
