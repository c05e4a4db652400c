#include "converter/documents/FlatOdt.h"

#include <QHash>
#include <QStringList>

#include <cmath>
#include <langinfo.h>
#include <locale.h>

namespace FlatOdt {

namespace {

QString points(double value) {
    return QString::number(value, 'f', 2) + QStringLiteral("pt");
}

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// Characters XML 1.0 cannot carry at all.
bool allowedInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// A run's characters as paragraph content: spaces after the first become <text:s/>, tabs
// <text:tab/>; line feeds are handled by the caller.
void appendContent(QString& out, const QString& text) {
    int spaces = 0;
    auto flushSpaces = [&] {
        if (spaces == 0)
            return;
        out += QLatin1Char(' ');
        if (spaces > 1)
            out += spaces == 2 ? QStringLiteral("<text:s/>")
                               : QStringLiteral("<text:s text:c=\"%1\"/>").arg(spaces - 1);
        spaces = 0;
    };
    const QList<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if (c == ' ') {
            ++spaces;
            continue;
        }
        flushSpaces();
        if (c == '\t')
            out += QStringLiteral("<text:tab/>");
        else if (c == '\r' || !allowedInXml(char32_t(c)))
            continue;
        else if (c == '&')
            out += QStringLiteral("&amp;");
        else if (c == '<')
            out += QStringLiteral("&lt;");
        else if (c == '>')
            out += QStringLiteral("&gt;");
        else
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    flushSpaces();
}

struct StyleKey {
    bool bold, italic, monospace;
    double size;
    QString font;
    bool operator==(const StyleKey& other) const = default;
};

size_t qHash(const StyleKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.bold, key.italic, key.monospace, key.size, key.font);
}

} // namespace

Page defaultPage() {
    Page page;
    // LC_PAPER from the environment, in a locale object of our own (setlocale is not thread-safe).
    locale_t paper = newlocale(LC_PAPER_MASK, "", locale_t(nullptr));
    if (paper != locale_t(nullptr)) {
        const auto widthMm =
            static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(_NL_PAPER_WIDTH, paper)));
        const auto heightMm =
            static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(_NL_PAPER_HEIGHT, paper)));
        freelocale(paper);
        if (widthMm == 216 && heightMm == 279) {
            page.width = 612;
            page.height = 792;
        }
    }
    return page;
}

QByteArray document(const QList<Run>& runs, const Page& page, const QString& font, double size) {
    QHash<StyleKey, QString> styleNames;
    QString body;
    QString paragraph;
    auto closeParagraph = [&] {
        body +=
            QStringLiteral("<text:p text:style-name=\"Body\">") + paragraph + QStringLiteral("</text:p>\n");
        paragraph.clear();
    };
    for (const Run& run : runs) {
        const StyleKey key{run.bold, run.italic, run.monospace, run.size, run.font};
        QString styleName;
        if (key != StyleKey{false, false, false, 0, {}}) {
            styleName = styleNames.value(key);
            if (styleName.isEmpty()) {
                styleName = QStringLiteral("T%1").arg(styleNames.size() + 1);
                styleNames.insert(key, styleName);
            }
        }
        const QStringList lines = run.text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                closeParagraph();
            if (lines[i].isEmpty())
                continue;
            QString content;
            appendContent(content, lines[i]);
            if (!styleName.isEmpty())
                content = QStringLiteral("<text:span text:style-name=\"%1\">").arg(styleName) + content +
                          QStringLiteral("</text:span>");
            if (!run.link.isEmpty())
                content = QStringLiteral("<text:a xlink:type=\"simple\" xlink:href=\"%1\" "
                                         "text:style-name=\"Internet_20_link\">")
                              .arg(escaped(run.link).replace(QLatin1Char('\n'), QLatin1Char(' '))) +
                          content + QStringLiteral("</text:a>");
            paragraph += content;
        }
    }
    // A final line feed ends the last paragraph rather than starting an empty one.
    if (!paragraph.isEmpty() || body.isEmpty())
        closeParagraph();

    QString automatic;
    for (auto it = styleNames.cbegin(); it != styleNames.cend(); ++it) {
        const StyleKey& key = it.key();
        QString properties;
        if (key.bold)
            properties += QStringLiteral(" fo:font-weight=\"bold\"");
        if (key.italic)
            properties += QStringLiteral(" fo:font-style=\"italic\"");
        if (key.size > 0)
            properties += QStringLiteral(" fo:font-size=\"%1\"").arg(points(key.size));
        if (!key.font.isEmpty())
            properties += QStringLiteral(" style:font-name=\"%1\"").arg(escaped(key.font));
        else if (key.monospace)
            properties += QStringLiteral(" style:font-name=\"Monospace\"");
        automatic += QStringLiteral("<style:style style:name=\"%1\" style:family=\"text\">"
                                    "<style:text-properties%2/></style:style>\n")
                         .arg(it.value(), properties);
    }
    QString fontFaces =
        QStringLiteral("<style:font-face style:name=\"%1\" svg:font-family=\"'%1'\" "
                       "style:font-family-generic=\"swiss\"/>\n"
                       "<style:font-face style:name=\"Monospace\" svg:font-family=\"monospace\" "
                       "style:font-family-generic=\"modern\" style:font-pitch=\"fixed\"/>\n")
            .arg(escaped(font));
    for (auto it = styleNames.cbegin(); it != styleNames.cend(); ++it) {
        if (!it.key().font.isEmpty() && it.key().font != font)
            fontFaces += QStringLiteral("<style:font-face style:name=\"%1\" svg:font-family=\"'%1'\"/>\n")
                             .arg(escaped(it.key().font));
    }

    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
            "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
            "office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.text\">\n"
            "<office:font-face-decls>\n%1</office:font-face-decls>\n"
            "<office:styles>\n"
            "<style:default-style style:family=\"paragraph\"><style:text-properties style:font-name=\"%2\" "
            "fo:font-size=\"%3\"/></style:default-style>\n"
            "<style:style style:name=\"Standard\" style:family=\"paragraph\"/>\n"
            "<style:style style:name=\"Body\" style:family=\"paragraph\" "
            "style:parent-style-name=\"Standard\">"
            "<style:paragraph-properties fo:margin-top=\"0pt\" fo:margin-bottom=\"0pt\"/>"
            "<style:text-properties style:font-name=\"%2\" fo:font-size=\"%3\"/></style:style>\n"
            "<style:style style:name=\"Internet_20_link\" style:display-name=\"Internet link\" "
            "style:family=\"text\"><style:text-properties fo:color=\"#000080\" "
            "style:text-underline-style=\"solid\" "
            "style:text-underline-width=\"auto\" style:text-underline-color=\"font-color\"/></style:style>\n"
            "</office:styles>\n"
            "<office:automatic-styles>\n%4"
            "<style:page-layout style:name=\"Page\"><style:page-layout-properties fo:page-width=\"%5\" "
            "fo:page-height=\"%6\" style:print-orientation=\"portrait\" fo:margin-top=\"%7\" "
            "fo:margin-bottom=\"%7\" fo:margin-left=\"%7\" fo:margin-right=\"%7\"/></style:page-layout>\n"
            "</office:automatic-styles>\n"
            "<office:master-styles><style:master-page style:name=\"Standard\" "
            "style:page-layout-name=\"Page\"/>"
            "</office:master-styles>\n"
            "<office:body><office:text>\n%8</office:text></office:body>\n"
            "</office:document>\n")
            .arg(fontFaces, escaped(font), points(size), automatic, points(page.width), points(page.height),
                 points(page.margin), body);
    return xml.toUtf8();
}

} // namespace FlatOdt
