#include "converter/documents/DocumentInput.h"

#include "converter/documents/TextEncoding.h"

namespace DocumentInput {

namespace {

// The head as UTF-8 without byte-order mark or leading white space, for markup checks.
QByteArray markupHead(const QByteArray& head) {
    QByteArray bytes = head;
    const TextEncoding::Encoding encoding = TextEncoding::detect(head);
    if (encoding == TextEncoding::Encoding::utf16le || encoding == TextEncoding::Encoding::utf16be)
        bytes = TextEncoding::decode(head).toUtf8();
    else if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\t' || bytes[start] == '\n' ||
                                    bytes[start] == '\r' || bytes[start] == '\f'))
        ++start;
    return bytes.mid(start).toLower();
}

} // namespace

Kind classify(const QString& extension, const QByteArray& head) {
    if (head.isEmpty())
        return Kind::unreadable;
    const QString ext = extension.toLower();
    if (head.startsWith("PK\x03\x04") || head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return Kind::office;
    if (!TextEncoding::looksLikeText(head))
        return Kind::unreadable;
    if (ext == QLatin1String("md") || ext == QLatin1String("markdown"))
        return Kind::markdown;
    const QByteArray markup = markupHead(head);
    if (markup.startsWith("{\\rtf"))
        return Kind::rtf;
    if (ext == QLatin1String("txt") || ext == QLatin1String("text"))
        return Kind::text;
    const bool html = markup.contains("<html") || markup.contains("<!doctype html") ||
                      markup.contains("<body") || markup.contains("<head") || markup.contains("<p") ||
                      markup.contains("<div");
    if (markup.startsWith('<'))
        return html || !markup.startsWith("<?xml") ? Kind::html : Kind::xml;
    if (ext == QLatin1String("html") || ext == QLatin1String("htm"))
        return Kind::html;
    return Kind::text;
}

} // namespace DocumentInput
