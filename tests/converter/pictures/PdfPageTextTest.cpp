#include "converter/pictures/PdfPageText.h"

#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using PictureFixtures::PdfPage;
using PictureFixtures::PdfText;

struct PdfPageTextTest : ::testing::Test {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

QString joined(const QList<PdfTextRun>& runs) {
    QString text;
    for (const PdfTextRun& run : runs)
        text += run.text;
    return text;
}

TEST_F(PdfPageTextTest, RunsCarryFontSizeAndStyle) {
    const QString pdf = PictureFixtures::pdf(
        path(QStringLiteral("styled.pdf")),
        {PdfPage{
            {400, 200},
            {PdfText{QStringLiteral("Plain words"), QStringLiteral("DejaVu Sans"), 12},
             PdfText{QStringLiteral("Bold heading"), QStringLiteral("DejaVu Sans"), 18, true},
             PdfText{QStringLiteral("Slanted Ünïcode"), QStringLiteral("DejaVu Serif"), 10, false, true}}}});
    QList<QList<PdfTextRun>> pages;
    ASSERT_FALSE(PdfPageText::forEachPage(pdf, [&](int index, const QList<PdfTextRun>& runs) {
        EXPECT_EQ(index, pages.size());
        pages.append(runs);
    }));
    ASSERT_EQ(pages.size(), 1);
    const QList<PdfTextRun>& runs = pages.first();
    ASSERT_EQ(runs.size(), 3) << joined(runs).toStdString();

    EXPECT_EQ(runs[0].text.trimmed(), QStringLiteral("Plain words"));
    EXPECT_EQ(runs[0].font, QStringLiteral("DejaVuSans"));
    EXPECT_DOUBLE_EQ(runs[0].size, 12);
    EXPECT_FALSE(runs[0].bold);
    EXPECT_FALSE(runs[0].italic);

    EXPECT_EQ(runs[1].text.trimmed(), QStringLiteral("Bold heading"));
    EXPECT_EQ(runs[1].font, QStringLiteral("DejaVuSans-Bold"));
    EXPECT_DOUBLE_EQ(runs[1].size, 18);
    EXPECT_TRUE(runs[1].bold);
    EXPECT_FALSE(runs[1].italic);

    EXPECT_EQ(runs[2].text.trimmed(), QStringLiteral("Slanted Ünïcode"));
    EXPECT_TRUE(runs[2].italic);
    EXPECT_FALSE(runs[2].bold);
    EXPECT_DOUBLE_EQ(runs[2].size, 10);

    // The runs joined are the page's text, lines broken where the page breaks them.
    EXPECT_EQ(joined(runs), QStringLiteral("Plain words\nBold heading\nSlanted Ünïcode"));
}

TEST_F(PdfPageTextTest, EveryPageIsReportedInOrderEvenWithoutText) {
    const QString pdf = PictureFixtures::pdf(path(QStringLiteral("pages.pdf")),
                                             {PdfPage{{200, 100}, {{QStringLiteral("one")}}}, PdfPage{},
                                              PdfPage{{200, 100}, {{QStringLiteral("three")}}}});
    QStringList texts;
    ASSERT_FALSE(
        PdfPageText::forEachPage(pdf, [&](int, const QList<PdfTextRun>& runs) { texts << joined(runs); }));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("one"), QString(), QStringLiteral("three")}));
}

TEST_F(PdfPageTextTest, FailsWithThePdfMessages) {
    const QString pdf = PictureFixtures::pdf(path(QStringLiteral("plain.pdf")), {PdfPage{}});
    const QString locked =
        PictureFixtures::encryptedPdf(pdf, path(QStringLiteral("locked.pdf")), QStringLiteral("pw"));
    const QString notPdf = TestSupport::writeFile(path(QStringLiteral("not.pdf")), "nothing here");
    int calls = 0;
    const auto count = [&](int, const QList<PdfTextRun>&) { ++calls; };
    EXPECT_EQ(PdfPageText::forEachPage(locked, count),
              ConvertError{QStringLiteral("This PDF is password-protected.")});
    EXPECT_EQ(PdfPageText::forEachPage(notPdf, count),
              ConvertError{QStringLiteral("This PDF couldn't be opened.")});
    EXPECT_EQ(calls, 0);
}

TEST(PdfPageTextFonts, StyleIsReadFromTheFontName) {
    struct Case {
        const char* font;
        bool bold;
        bool italic;
    };
    for (const Case& c :
         {Case{"Helvetica", false, false}, Case{"Helvetica-Bold", true, false},
          Case{"TimesNewRomanPS-BoldItalicMT", true, true}, Case{"Arial-ItalicMT", false, true},
          Case{"Courier-Oblique", false, true}, Case{"SourceSansPro-Semibold", true, false},
          Case{"Roboto-Black", true, false}, Case{"Georgia", false, false}}) {
        EXPECT_EQ(PdfPageText::isBoldFont(QString::fromLatin1(c.font)), c.bold) << c.font;
        EXPECT_EQ(PdfPageText::isItalicFont(QString::fromLatin1(c.font)), c.italic) << c.font;
    }
}

} // namespace
