#pragma once

#include "converter/catalogue/ConvertError.h"

#include <QString>

typedef struct _PopplerDocument PopplerDocument;
typedef struct _PopplerPage PopplerPage;

// One PDF opened with Poppler (poppler-glib) for one conversion. Owns the document; pages are
// taken one at a time (`page`) and released by their caller, so a long PDF is never held whole.
// Use from one thread; two PdfDocuments may be used on two threads at once.
class PdfDocument {
public:
    // Opens `path`; `error()` says why when that fails.
    explicit PdfDocument(const QString& path);
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // "This PDF couldn't be opened." or "This PDF is password-protected.", none when open.
    ConvertResult error() const { return m_error; }
    PopplerDocument* document() const { return m_document; }
    int pageCount() const;
    // A new reference to page `index` (0-based) for the caller to g_object_unref, or null.
    PopplerPage* page(int index) const;

private:
    PopplerDocument* m_document = nullptr;
    ConvertResult m_error;
};
