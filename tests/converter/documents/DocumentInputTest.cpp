#include "converter/documents/DocumentInput.h"

#include <gtest/gtest.h>

using DocumentInput::Kind;

TEST(DocumentInput, ClassifiesByContentFirst) {
    const struct {
        const char* name;
        const char* extension;
        QByteArray head;
        Kind kind;
    } cases[] = {
        {"docx", "docx", QByteArray("PK\x03\x04\x14\0", 6), Kind::office},
        {"zip named txt", "txt", QByteArray("PK\x03\x04\x14\0", 6), Kind::office},
        {"doc", "doc", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0", 9), Kind::office},
        {"rtf", "rtf", "{\\rtf1\\ansi hello}", Kind::rtf},
        {"rtf named doc", "doc", "\xEF\xBB\xBF  {\\rtf1 hello}", Kind::rtf},
        {"html", "html", "<!DOCTYPE html><html><body>x</body></html>", Kind::html},
        {"html without extension", "", "\n  <HTML><BODY>x", Kind::html},
        {"xhtml", "xhtml", "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">",
         Kind::html},
        {"word xml", "wordml", "<?xml version=\"1.0\"?><w:wordDocument>", Kind::xml},
        {"tagless html", "htm", "just words", Kind::html},
        {"text", "txt", "just words", Kind::text},
        {"text with markup", "txt", "<b>not markup here</b>", Kind::text},
        {"text named doc", "doc", "just words", Kind::text},
        {"markdown", "md", "# Title", Kind::markdown},
        {"markdown upper case", "MARKDOWN", "*x*", Kind::markdown},
        {"empty", "docx", "", Kind::unreadable},
        {"empty text", "txt", "", Kind::unreadable},
        {"binary named docx", "docx", QByteArray("\x01\x02\x00\x7f garbage", 12), Kind::unreadable},
        {"binary named md", "md", QByteArray("\x00\x01", 2), Kind::unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DocumentInput::classify(QString::fromLatin1(c.extension), c.head), c.kind);
    }
}
