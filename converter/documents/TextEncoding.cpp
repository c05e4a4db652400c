#include "converter/documents/TextEncoding.h"

#include <QStringDecoder>

namespace TextEncoding {

namespace {

bool startsWith(const QByteArray& bytes, const char* mark, qsizetype length) {
    return bytes.size() >= length && std::equal(mark, mark + length, bytes.constData());
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned int codePoint = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            codePoint = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            codePoint = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && codePoint < 0x800) ||
            (extra == 3 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

Encoding detect(const QByteArray& bytes) {
    if (startsWith(bytes, "\xFF\xFE", 2))
        return Encoding::utf16le;
    if (startsWith(bytes, "\xFE\xFF", 2))
        return Encoding::utf16be;
    return isValidUtf8(bytes) ? Encoding::utf8 : Encoding::latin1;
}

QString decode(const QByteArray& bytes) {
    switch (detect(bytes)) {
    case Encoding::utf16le: {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.mid(2));
    }
    case Encoding::utf16be: {
        QStringDecoder decoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.mid(2));
    }
    case Encoding::utf8:
        return QString::fromUtf8(startsWith(bytes, "\xEF\xBB\xBF", 3) ? bytes.mid(3) : bytes);
    case Encoding::latin1:
        break;
    }
    return QString::fromLatin1(bytes);
}

bool looksLikeText(const QByteArray& bytes) {
    const Encoding encoding = detect(bytes);
    if (encoding == Encoding::utf16le || encoding == Encoding::utf16be)
        return true;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            return false;
        if (u == 0x7F)
            return false;
    }
    return true;
}

} // namespace TextEncoding
