#include "converter/documents/TextEncoding.h"

#include <gtest/gtest.h>

using TextEncoding::Encoding;

TEST(TextEncoding, DetectsAndDecodes) {
    const QString expected = QStringLiteral("Gr\u00FC\u00DFe \u20AC");
    const QByteArray utf16le =
        QByteArray("\xFF\xFE", 2) +
        QByteArray(reinterpret_cast<const char*>(expected.utf16()), expected.size() * 2);
    QByteArray utf16be = "\xFE\xFF";
    for (const QChar c : expected) {
        utf16be += char(c.unicode() >> 8);
        utf16be += char(c.unicode() & 0xFF);
    }
    const struct {
        const char* name;
        QByteArray bytes;
        Encoding encoding;
        QString text;
    } cases[] = {
        {"ascii", "plain", Encoding::utf8, QStringLiteral("plain")},
        {"utf-8", expected.toUtf8(), Encoding::utf8, expected},
        {"utf-8 with mark", "\xEF\xBB\xBF" + expected.toUtf8(), Encoding::utf8, expected},
        {"utf-16 le", utf16le, Encoding::utf16le, expected},
        {"utf-16 be", utf16be, Encoding::utf16be, expected},
        {"latin-1",
         "Gr\xFC\xDF"
         "e",
         Encoding::latin1, QStringLiteral("Gr\u00FC\u00DFe")},
        {"truncated utf-8", "caf\xC3", Encoding::latin1, QStringLiteral("caf\u00C3")},
        {"overlong utf-8", "\xC0\xAF", Encoding::latin1, QStringLiteral("\u00C0\u00AF")},
        {"utf-8 surrogate", "\xED\xA0\x80", Encoding::latin1, QStringLiteral("\u00ED\u00A0\u0080")},
        {"empty", "", Encoding::utf8, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextEncoding::detect(c.bytes), c.encoding);
        EXPECT_EQ(TextEncoding::decode(c.bytes), c.text);
    }
}

TEST(TextEncoding, TellsTextFromBinary) {
    EXPECT_TRUE(TextEncoding::looksLikeText("line one\r\n\tline two\f"));
    EXPECT_TRUE(TextEncoding::looksLikeText("Gr\xFC\xDF"
                                            "e"));
    EXPECT_TRUE(TextEncoding::looksLikeText(QByteArray("\xFF\xFEh\0i\0", 6)));
    EXPECT_FALSE(TextEncoding::looksLikeText(QByteArray("PK\x03\x04\0\0", 6)));
    EXPECT_FALSE(TextEncoding::looksLikeText("bell\x07"));
}
