#include "converter/pictures/PdfDocument.h"

#include <QFile>
#include <QFileInfo>

#include <poppler.h>

#include <mutex>

PdfDocument::PdfDocument(const QString& path) {
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    GError* failure = nullptr;
    gchar* uri = g_filename_to_uri(name.constData(), nullptr, &failure);
    if (uri) {
        // Poppler sets up its process-wide state on the first open without a lock; two
        // conversions opening their first PDFs at once must not race there.
        static std::mutex openLock;
        std::lock_guard<std::mutex> lock(openLock);
        m_document = poppler_document_new_from_file(uri, nullptr, &failure);
        g_free(uri);
    }
    if (!m_document) {
        const bool locked =
            failure && failure->domain == POPPLER_ERROR && failure->code == POPPLER_ERROR_ENCRYPTED;
        m_error = ConvertError{locked ? QStringLiteral("This PDF is password-protected.")
                                      : QStringLiteral("This PDF couldn't be opened.")};
    }
    if (failure)
        g_error_free(failure);
}

PdfDocument::~PdfDocument() {
    if (m_document)
        g_object_unref(m_document);
}

int PdfDocument::pageCount() const {
    return m_document ? poppler_document_get_n_pages(m_document) : 0;
}

PopplerPage* PdfDocument::page(int index) const {
    return m_document ? poppler_document_get_page(m_document, index) : nullptr;
}
