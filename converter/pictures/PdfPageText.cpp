#include "converter/pictures/PdfPageText.h"

#include "converter/pictures/PdfDocument.h"

#include <QRegularExpression>

#include <poppler.h>

namespace PdfPageText {

bool isBoldFont(const QString& font) {
    static const QRegularExpression bold(QStringLiteral("bold|black|heavy|demi|semibold|extrabold|ultrabold"),
                                         QRegularExpression::CaseInsensitiveOption);
    return bold.match(font).hasMatch();
}

bool isItalicFont(const QString& font) {
    static const QRegularExpression italic(QStringLiteral("italic|oblique|kursiv"),
                                           QRegularExpression::CaseInsensitiveOption);
    return italic.match(font).hasMatch();
}

static QString withoutSubsetTag(const QString& font) {
    // Embedded subsets are named "ABCDEF+RealName".
    if (font.size() > 7 && font.at(6) == QLatin1Char('+')) {
        bool tag = true;
        for (int i = 0; i < 6; ++i)
            tag = tag && font.at(i) >= QLatin1Char('A') && font.at(i) <= QLatin1Char('Z');
        if (tag)
            return font.mid(7);
    }
    return font;
}

static void append(QList<PdfTextRun>& runs, PdfTextRun run) {
    if (run.text.isEmpty())
        return;
    if (!runs.isEmpty()) {
        PdfTextRun& last = runs.last();
        if (last.font == run.font && last.size == run.size && last.bold == run.bold &&
            last.italic == run.italic) {
            last.text += run.text;
            return;
        }
    }
    runs.append(std::move(run));
}

// Poppler's attribute ranges count characters (code points) of the page text, both ends included.
static QList<PdfTextRun> pageRuns(PopplerPage* page) {
    QList<PdfTextRun> runs;
    gchar* text = poppler_page_get_text(page);
    if (!text)
        return runs;
    const glong length = g_utf8_strlen(text, -1);
    const auto slice = [&](glong from, glong to) {
        from = std::clamp<glong>(from, 0, length);
        to = std::clamp<glong>(to, from, length);
        const gchar* begin = g_utf8_offset_to_pointer(text, from);
        const gchar* end = g_utf8_offset_to_pointer(text, to);
        return QString::fromUtf8(begin, end - begin);
    };

    GList* attributes = poppler_page_get_text_attributes(page);
    glong position = 0;
    PdfTextRun current;
    for (GList* item = attributes; item; item = item->next) {
        const auto* attribute = static_cast<const PopplerTextAttributes*>(item->data);
        const glong start = std::max<glong>(attribute->start_index, position);
        const glong end = std::max<glong>(attribute->end_index + 1, start);
        if (start > position)
            current.text += slice(position, start); // text between ranges stays with the run before it
        append(runs, current);
        const QString font =
            withoutSubsetTag(QString::fromUtf8(attribute->font_name ? attribute->font_name : ""));
        current =
            PdfTextRun{slice(start, end), font, attribute->font_size, isBoldFont(font), isItalicFont(font)};
        position = std::min(end, length);
    }
    if (position < length)
        current.text += slice(position, length);
    append(runs, current);
    poppler_page_free_text_attributes(attributes);
    g_free(text);
    return runs;
}

ConvertResult forEachPage(const QString& pdfPath,
                          const std::function<void(int pageIndex, const QList<PdfTextRun>& runs)>& page) {
    const PdfDocument pdf(pdfPath);
    if (pdf.error())
        return pdf.error();
    const int count = pdf.pageCount();
    for (int index = 0; index < count; ++index) {
        PopplerPage* current = pdf.page(index);
        QList<PdfTextRun> runs;
        if (current) {
            runs = pageRuns(current);
            g_object_unref(current);
        }
        if (page)
            page(index, runs);
    }
    return std::nullopt;
}

} // namespace PdfPageText
