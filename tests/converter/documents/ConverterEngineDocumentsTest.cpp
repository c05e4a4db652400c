#include "converter/ConverterEngine.h"
#include "converter/documents/DocumentEngine.h"
#include "converter/pictures/PdfPageText.h"
#include "support/ConverterTestSupport.h"
#include "support/DocumentFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using ConverterTestSupport::target;

const QString kUnreadable = QStringLiteral("This document couldn't be read. Supported: Word (.docx, .doc), "
                                           "OpenDocument, RTF, HTML, Markdown and plain text.");

class Documents : public ::testing::Test {
protected:
    void SetUp() override {
        DocumentFixtures::useSharedOfficeProfile();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    QString write(const QString& name, const QByteArray& bytes) {
        return TestSupport::writeFile(path(name), bytes);
    }

    // The output's text, read back through our own conversion to plain text.
    QString textOf(const QString& file) {
        if (file.endsWith(QLatin1String(".pdf")))
            return DocumentFixtures::pdfText(file);
        if (file.endsWith(QLatin1String(".txt")))
            return QString::fromUtf8(DocumentFixtures::readAll(file));
        const QString text = path(QStringLiteral("readback-%1.txt").arg(++m_readBacks));
        const ConvertResult result = ConverterEngine::convertDocument(file, text, target("txt"));
        EXPECT_EQ(result, std::nullopt) << file.toStdString();
        return QString::fromUtf8(DocumentFixtures::readAll(text));
    }

    // Files left in the folder besides the ones named: there must be no temporary leftovers.
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
    int m_readBacks = 0;
};

// True when `bytes` are the target's format.
bool hasFormat(const QString& file, const QString& targetID) {
    const QByteArray bytes = DocumentFixtures::readAll(file);
    if (targetID == QLatin1String("doc-pdf"))
        return bytes.startsWith("%PDF-");
    if (targetID == QLatin1String("docx"))
        return bytes.startsWith("PK") &&
               !DocumentFixtures::zipMember(file, QStringLiteral("word/document.xml")).isEmpty();
    if (targetID == QLatin1String("odt"))
        return DocumentFixtures::zipMember(file, QStringLiteral("mimetype")) ==
               "application/vnd.oasis.opendocument.text";
    if (targetID == QLatin1String("doc"))
        return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    if (targetID == QLatin1String("rtf"))
        return bytes.startsWith("{\\rtf");
    if (targetID == QLatin1String("html"))
        return bytes.toLower().contains("<html");
    if (targetID == QLatin1String("txt"))
        return !bytes.startsWith("\xEF\xBB\xBF") && !bytes.contains('\0');
    return false;
}

QString squeezed(const QString& text) {
    return text.simplified();
}

} // namespace

TEST_F(Documents, EveryInputToEveryTarget) {
    QStringList inputs{write(QStringLiteral("page.html"), DocumentFixtures::html()),
                       write(QStringLiteral("letter.rtf"), DocumentFixtures::rtf()),
                       write(QStringLiteral("notes.txt"), DocumentFixtures::plainText()),
                       write(QStringLiteral("readme.md"), DocumentFixtures::markdown())};
    // Word and OpenDocument inputs, made by the engine from the web page.
    for (const char* id : {"docx", "doc", "odt"}) {
        const QString made = path(QStringLiteral("made.") + target(id).ext);
        ASSERT_EQ(ConverterEngine::convertDocument(inputs.front(), made, target(id)), std::nullopt) << id;
        inputs.append(made);
    }
    QDir().mkpath(path(QStringLiteral("out")));
    const QList<ConvertTarget> targets = ConvertTarget::targets(ConvertKind::document);
    ASSERT_EQ(targets.size(), 7);
    for (const QString& input : inputs) {
        for (const ConvertTarget& to : targets) {
            const QString output =
                path(QStringLiteral("out/%1-%2.%3").arg(QFileInfo(input).fileName(), to.id, to.ext));
            SCOPED_TRACE((QFileInfo(input).fileName() + QStringLiteral(" → ") + to.id).toStdString());
            ASSERT_EQ(ConverterEngine::convertDocument(input, output, to), std::nullopt);
            EXPECT_TRUE(hasFormat(output, to.id));
            const QString text = squeezed(textOf(output));
            EXPECT_TRUE(text.contains(QLatin1String(DocumentFixtures::kFirstWords))) << text.toStdString();
            EXPECT_TRUE(text.contains(QLatin1String(DocumentFixtures::kBoldWord))) << text.toStdString();
            EXPECT_TRUE(text.contains(QLatin1String(DocumentFixtures::kItalicWord))) << text.toStdString();
            if (!input.endsWith(QLatin1String(".md"))) {
                EXPECT_TRUE(text.contains(QStringLiteral("\u00E4\u00F6\u00FC"))) << text.toStdString();
            }
        }
    }
    // Styles survive: every styled input keeps its bold and italic word through the web page.
    for (const QString& input : inputs) {
        if (input.endsWith(QLatin1String(".txt")))
            continue;
        SCOPED_TRACE(input.toStdString());
        const QString html = QString::fromUtf8(DocumentFixtures::readAll(
            path(QStringLiteral("out/%1-html.html").arg(QFileInfo(input).fileName()))));
        EXPECT_TRUE(html.contains(QRegularExpression(
            QStringLiteral("<(b|strong)( [^>]*)?>\\s*%1").arg(DocumentFixtures::kBoldWord))))
            << html.toStdString();
        EXPECT_TRUE(html.contains(
            QRegularExpression(QStringLiteral("<(i|em)( [^>]*)?>\\s*%1").arg(DocumentFixtures::kItalicWord))))
            << html.toStdString();
    }
    // Nothing but our inputs, outputs and read-backs is left: no temporary files.
    for (const QString& name : entries())
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(Documents, MarkdownKeepsBlockMarkupAndLineBreaks) {
    const QString input = write(QStringLiteral("readme.md"), DocumentFixtures::markdown());
    const QString txt = path(QStringLiteral("readme.txt"));
    ASSERT_EQ(ConverterEngine::convertDocument(input, txt, target("txt")), std::nullopt);
    EXPECT_EQ(DocumentFixtures::readAll(txt),
              "# Quorvane fixture alpha\n\n- Second boldword and italicword\n> quoted code link\n");

    const QString html = path(QStringLiteral("readme.html"));
    ASSERT_EQ(ConverterEngine::convertDocument(input, html, target("html")), std::nullopt);
    // The office folds long source lines; compare with white space squeezed.
    const QString page = squeezed(QString::fromUtf8(DocumentFixtures::readAll(html)));
    EXPECT_TRUE(page.contains(QStringLiteral("# Quorvane fixture alpha"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("- Second"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("&gt; quoted"))) << page.toStdString();
    EXPECT_TRUE(page.contains(
        QRegularExpression(QStringLiteral("<a href=\"https://example.org/x\"[^>]*>\\s*(<[^>]*>)*link"))))
        << page.toStdString();
    // Each line stays a line of its own, in order; the blank line stays.
    EXPECT_EQ(page.count(QStringLiteral("<p ")) + page.count(QStringLiteral("<p>")), 4) << page.toStdString();
    EXPECT_LT(page.indexOf(QStringLiteral("# Quorvane")), page.indexOf(QStringLiteral("- Second")));
    EXPECT_LT(page.indexOf(QStringLiteral("- Second")), page.indexOf(QStringLiteral("&gt; quoted")));

    // The PDF: 12-point sans-serif text, bold and italic where the Markdown says, code monospaced.
    const QString pdf = path(QStringLiteral("readme.pdf"));
    ASSERT_EQ(ConverterEngine::convertDocument(input, pdf, target("doc-pdf")), std::nullopt);
    QList<PdfTextRun> runs;
    ASSERT_EQ(
        PdfPageText::forEachPage(pdf, [&](int, const QList<PdfTextRun>& pageRuns) { runs += pageRuns; }),
        std::nullopt);
    bool sawBold = false, sawItalic = false, sawHeading = false;
    for (const PdfTextRun& run : runs) {
        EXPECT_NEAR(run.size, 12, 0.6) << run.text.toStdString();
        if (run.text.contains(QLatin1String(DocumentFixtures::kBoldWord)))
            sawBold = run.bold;
        if (run.text.contains(QLatin1String(DocumentFixtures::kItalicWord)))
            sawItalic = run.italic;
        if (run.text.contains(QLatin1String("# Quorvane")))
            sawHeading = !run.bold;
    }
    EXPECT_TRUE(sawBold);
    EXPECT_TRUE(sawItalic);
    EXPECT_TRUE(sawHeading);
}

TEST_F(Documents, PdfHasDefaultPaperAndMarginsUnlessTheDocumentHasItsOwn) {
    // This machine's locale has A4 paper (the C locale's).
    const struct {
        const char* name;
        QByteArray bytes;
        QString size;
        double left;
    } cases[] = {
        {"notes.txt", DocumentFixtures::plainText(), QStringLiteral("595 x 842"), 54},
        {"readme.md", DocumentFixtures::markdown(), QStringLiteral("595 x 842"), 54},
        {"page.html", DocumentFixtures::html(), QStringLiteral("595 x 842"), 54},
        // Letter paper with one-inch margins of its own.
        {"letter.rtf",
         "{\\rtf1\\ansi\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1440\\margb1440 Own "
         "layout\\par}",
         QStringLiteral("612 x 792"), 72},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString input = write(QString::fromLatin1(c.name), c.bytes);
        const QString pdf = input + QStringLiteral(".pdf");
        ASSERT_EQ(ConverterEngine::convertDocument(input, pdf, target("doc-pdf")), std::nullopt);
        EXPECT_EQ(DocumentFixtures::pdfPageSize(pdf), c.size);
        EXPECT_NEAR(DocumentFixtures::pdfFirstWordLeft(pdf), c.left, 3);
    }
}

TEST_F(Documents, TextIsRewrittenAsUtf8) {
    const QString text = QStringLiteral("Gr\u00FC\u00DFe aus K\u00F6ln \u2013 caf\u00E9\n\tzweite  Zeile\n");
    QByteArray utf16le("\xFF\xFE", 2);
    utf16le += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const struct {
        const char* name;
        QByteArray bytes;
        QByteArray expected;
    } cases[] = {
        {"utf8.txt", text.toUtf8(), text.toUtf8()},
        {"utf8-bom.txt", "\xEF\xBB\xBF" + text.toUtf8(), text.toUtf8()},
        {"utf16.txt", utf16le, text.toUtf8()},
        {"latin1.text",
         "Gr\xFC\xDF"
         "e aus K\xF6ln\n",
         QStringLiteral("Gr\u00FC\u00DFe aus K\u00F6ln\n").toUtf8()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString input = write(QString::fromLatin1(c.name), c.bytes);
        const QString output = input + QStringLiteral(".out.txt");
        ASSERT_EQ(ConverterEngine::convertDocument(input, output, target("txt")), std::nullopt);
        EXPECT_EQ(DocumentFixtures::readAll(output), c.expected);
    }
}

TEST_F(Documents, UnreadableInputsFailPlainlyAndLeaveNothing) {
    const QString good = write(QStringLiteral("page.html"), DocumentFixtures::html());
    const QString docx = path(QStringLiteral("good.docx"));
    ASSERT_EQ(ConverterEngine::convertDocument(good, docx, target("docx")), std::nullopt);
    const QByteArray docxBytes = DocumentFixtures::readAll(docx);
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919 + 13) % 256);

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"corrupt.docx", docxBytes.left(docxBytes.size() / 2)},
        {"empty.docx", QByteArray()},
        {"empty.txt", QByteArray()},
        {"binary.docx", binary},
        {"binary.md", binary},
        {"binary.rtf", binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString input = write(QString::fromLatin1(c.name), c.bytes);
        for (const char* id : {"doc-pdf", "docx", "txt"}) {
            const QString output = input + QStringLiteral(".out.") + target(id).ext;
            EXPECT_EQ(ConverterEngine::convertDocument(input, output, target(id)), ConvertError{kUnreadable})
                << id;
            EXPECT_FALSE(QFileInfo::exists(output));
        }
    }
    EXPECT_EQ(ConverterEngine::convertDocument(path(QStringLiteral("missing.docx")),
                                               path(QStringLiteral("x.pdf")), target("doc-pdf")),
              ConvertError{kUnreadable});
    for (const QString& name : entries())
        EXPECT_FALSE(name.startsWith(QLatin1Char('.')) || name.contains(QLatin1String(".out.")))
            << name.toStdString();
}

TEST_F(Documents, ADocumentWithoutTextGivesAnEmptyResult) {
    // A web page with nothing in its body, and one holding only a picture.
    const QString blank = write(QStringLiteral("blank.html"), "<!DOCTYPE html><html><head><title>t</title></head><body></body></html>\n");
    const QString picture = write(
        QStringLiteral("picture.html"),
        "<!DOCTYPE html><html><body><img alt=\"\" src=\"data:image/png;base64,"
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==\"></body></html>\n");
    for (const QString& input : {blank, picture}) {
        SCOPED_TRACE(input.toStdString());
        const QString text = input + QStringLiteral(".txt");
        EXPECT_EQ(ConverterEngine::convertDocument(input, text, target("txt")), std::nullopt);
        EXPECT_TRUE(QFileInfo::exists(text));
        EXPECT_TRUE(DocumentFixtures::readAll(text).trimmed().isEmpty());
        const QString pdf = input + QStringLiteral(".pdf");
        EXPECT_EQ(ConverterEngine::convertDocument(input, pdf, target("doc-pdf")), std::nullopt);
        EXPECT_TRUE(DocumentFixtures::readAll(pdf).startsWith("%PDF"));
    }
}

TEST_F(Documents, AFileAlreadyThereStaysAndTheOutputTakesTheNextName) {
    const QString input = write(QStringLiteral("page.html"), DocumentFixtures::html());
    for (const char* id : {"doc-pdf", "txt"}) {
        const QString output = write(QStringLiteral("taken.") + target(id).ext, "mine");
        const auto control = ConvertControl::make();
        EXPECT_EQ(ConverterEngine::convertDocument(input, output, target(id), control), std::nullopt);
        EXPECT_EQ(DocumentFixtures::readAll(output), "mine");
        EXPECT_EQ(control->saved(), path(QStringLiteral("taken (converted).") + target(id).ext));
        EXPECT_FALSE(DocumentFixtures::readAll(control->saved()).isEmpty());
    }
}

TEST_F(Documents, PdfToWordKeepsTextAndBasicFormatting) {
    const QString html = write(QStringLiteral("page.html"), DocumentFixtures::html());
    const QString pdf = path(QStringLiteral("page.pdf"));
    ASSERT_EQ(ConverterEngine::convertDocument(html, pdf, target("doc-pdf")), std::nullopt);
    const QString docx = path(QStringLiteral("page.docx"));
    ASSERT_EQ(ConverterEngine::pdfToDocx(pdf, docx), std::nullopt);
    const QString xml =
        QString::fromUtf8(DocumentFixtures::zipMember(docx, QStringLiteral("word/document.xml")));
    EXPECT_TRUE(xml.contains(QLatin1String(DocumentFixtures::kFirstWords))) << xml.toStdString();
    // The bold word's run is bold, the italic word's italic.
    EXPECT_TRUE(xml.contains(QRegularExpression(
        QStringLiteral("<w:r>(?:(?!</w:r>).)*<w:b/>(?:(?!</w:r>).)*%1").arg(DocumentFixtures::kBoldWord))))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains(QRegularExpression(
        QStringLiteral("<w:r>(?:(?!</w:r>).)*<w:i/>(?:(?!</w:r>).)*%1").arg(DocumentFixtures::kItalicWord))))
        << xml.toStdString();
    const QString text = squeezed(textOf(docx));
    EXPECT_TRUE(text.contains(QStringLiteral("\u00E4\u00F6\u00FC"))) << text.toStdString();

    const QString notPdf = write(QStringLiteral("fake.pdf"), "not a pdf at all");
    EXPECT_EQ(ConverterEngine::pdfToDocx(notPdf, path(QStringLiteral("fake.docx"))),
              ConvertError{QStringLiteral("This PDF couldn't be opened.")});
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("fake.docx"))));
}
