#include "converter/catalogue/ConvertKind.h"

#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray kPdf =
    "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n";

QByteArray pngBytes() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(ConvertKindTest, casesInOrderWithIdsTitlesAndSymbols) {
    struct Row {
        ConvertKind kind;
        const char* id;
        const char* title;
        const char* symbol;
    };
    const Row rows[] = {
        {ConvertKind::video, "video", "Videos", "film"},
        {ConvertKind::audio, "audio", "Music & audio", "music.note"},
        {ConvertKind::image, "image", "Pictures", "photo"},
        {ConvertKind::pdf, "pdf", "PDFs", "doc.richtext"},
        {ConvertKind::document, "document", "Documents", "doc.text"},
    };
    const QList<ConvertKind> all = ConvertKind::all();
    ASSERT_EQ(all.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(all[i], rows[i].kind);
        EXPECT_EQ(rows[i].kind.id(), QString::fromUtf8(rows[i].id));
        EXPECT_EQ(rows[i].kind.title(), QString::fromUtf8(rows[i].title));
        EXPECT_EQ(rows[i].kind.symbol(), QString::fromUtf8(rows[i].symbol));
        EXPECT_EQ(ConvertKind::fromId(QString::fromUtf8(rows[i].id)), rows[i].kind);
    }
    EXPECT_FALSE(ConvertKind::fromId(QStringLiteral("Video")));
    EXPECT_FALSE(ConvertKind::fromId(QString()));
}

TEST(ConvertKindTest, extensionSets) {
    const auto set = [](const char* words) {
        QSet<QString> result;
        for (const QString& word : QString::fromLatin1(words).split(QLatin1Char(' ')))
            result.insert(word);
        return result;
    };
    EXPECT_EQ(ConvertKind::videoExtensions(),
              set("mkv webm avi wmv flv f4v ts m2ts mts ogv mpg mpeg vob 3gp 3g2 rm "
                  "rmvb asf divx m4v mov mp4 mxf dv"));
    EXPECT_EQ(ConvertKind::videoExtensions().size(), 24);
    EXPECT_EQ(ConvertKind::audioExtensions(),
              set("opus ogg oga wma ape wv dsf dff mka ac3 eac3 dts flac alac m4a m4b "
                  "aac mp3 wav aif aiff caf amr mpc tta"));
    EXPECT_EQ(ConvertKind::audioExtensions().size(), 25);
    EXPECT_EQ(ConvertKind::documentExtensions(),
              set("doc docx rtf rtfd odt txt text md markdown html htm webarchive wordml"));
    EXPECT_EQ(ConvertKind::documentExtensions().size(), 13);
}

TEST(ConvertKindTest, ofDecidesByContentThenExtensionThenType) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto file = [&](const char* name, const QByteArray& bytes) {
        return TestSupport::writeFile(dir.filePath(QString::fromUtf8(name)), bytes);
    };
    struct Case {
        QString path;
        std::optional<ConvertKind> expected;
    };
    const Case cases[] = {
        // The content decides pictures and PDFs, whatever the name says.
        {file("report.txt", kPdf), ConvertKind::pdf},
        {file("scan", kPdf), ConvertKind::pdf},
        {file("picture", pngBytes()), ConvertKind::image},
        {file("picture.mp4", pngBytes()), ConvertKind::image},
        {file("report.pdf", kPdf), ConvertKind::pdf},
        // The extension lists, in any case.
        {file("clip.MKV", "not really a video"), ConvertKind::video},
        {file("stream.ts", "\x47\x40\x00\x10"), ConvertKind::video},
        {file("book.m4b", "x"), ConvertKind::audio},
        {file("tracks.mka", "x"), ConvertKind::audio},
        {file("song.ogg", "OggS"), ConvertKind::audio},
        {file("notes.md", "# Notes\n\nSome words.\n"), ConvertKind::document},
        {file("page.htm", "<html><body>Hi</body></html>"), ConvertKind::document},
        // The broader type tests: other plain-text types are documents.
        {file("table.csv", "a,b\n1,2\n"), ConvertKind::document},
        {file("program.c", "int main(void) { return 0; }\n"), ConvertKind::document},
        // Nothing known.
        {file("blob", QByteArray("\x01\x02\x03\x04\xff\xfe\x00\x00\x10", 9)), std::nullopt},
        {file("archive.zip", "PK\x03\x04"), std::nullopt},
        // Files that cannot be read are typed by their name.
        {dir.filePath(QStringLiteral("missing.pdf")), ConvertKind::pdf},
        {dir.filePath(QStringLiteral("missing.jpg")), ConvertKind::image},
        {dir.filePath(QStringLiteral("missing.mp3")), ConvertKind::audio},
        {dir.filePath(QStringLiteral("missing")), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertKind::of(c.path), c.expected) << c.path.toStdString();
}
