#include "converter/ConverterEngine.h"
#include "converter/queue/ConversionJournal.h"

#include "support/ConverterTestSupport.h"
#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <gtest/gtest.h>

namespace {

using ConverterTestSupport::message;
using ConverterTestSupport::target;

using PictureFixtures::PdfPage;
using PictureFixtures::PdfText;

struct ConverterEnginePdfTest : ::testing::Test {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries(const QString& folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QString threePages() {
        return PictureFixtures::pdf(path(QStringLiteral("three.pdf")),
                                    {PdfPage{{200, 100}, {{QStringLiteral("First page")}}},
                                     PdfPage{{300, 150}, {{QStringLiteral("Second page")}}},
                                     PdfPage{{100, 250}, {{QStringLiteral("Third page")}}}});
    }
};

TEST_F(ConverterEnginePdfTest, EachPageBecomesAPictureAtTwiceItsPointSize) {
    const QString pdf = threePages();
    const QString folder = path(QStringLiteral("three pages"));
    ASSERT_EQ(message(ConverterEngine::convertPDF(pdf, folder, target("pdf-png"), {})),
              QStringLiteral("(success)"));
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("Page 1.png"), QStringLiteral("Page 2.png"),
                                            QStringLiteral("Page 3.png")}));
    const QSize expected[] = {{400, 200}, {600, 300}, {200, 500}};
    for (int page = 1; page <= 3; ++page) {
        const QString file = folder + QStringLiteral("/Page %1.png").arg(page);
        EXPECT_EQ(PictureFixtures::sniff(file), QStringLiteral("png"));
        const auto info = PictureFixtures::info(file);
        ASSERT_TRUE(info);
        EXPECT_EQ(QSize(info->width, info->height), expected[page - 1]) << page;
    }
}

TEST_F(ConverterEnginePdfTest, ScaleFollowsTheQualityAndJpegPagesAreJpeg) {
    const QString pdf = PictureFixtures::pdf(path(QStringLiteral("one.pdf")), {PdfPage{{200, 100}, {}}});
    struct Case {
        ConvertQuality quality;
        QSize size;
    };
    for (const Case& c : {Case{ConvertQuality::best, {600, 300}}, Case{ConvertQuality::balanced, {400, 200}},
                          Case{ConvertQuality::small, {250, 125}}}) {
        const QString folder = path(QStringLiteral("one ") + c.quality.id());
        ASSERT_FALSE(ConverterEngine::convertPDF(pdf, folder, target("pdf-jpeg"), {.quality = c.quality}));
        EXPECT_EQ(entries(folder), QStringList{QStringLiteral("Page.jpg")});
        const QString file = folder + QStringLiteral("/Page.jpg");
        EXPECT_EQ(PictureFixtures::sniff(file), QStringLiteral("jpeg"));
        const auto info = PictureFixtures::info(file);
        ASSERT_TRUE(info);
        EXPECT_EQ(QSize(info->width, info->height), c.size);
    }
    // White page, red mark at the bottom left.
    const QImage page = PictureFixtures::upright(path(QStringLiteral("one best/Page.jpg")));
    EXPECT_GT(page.pixelColor(5, 295).red(), 200);
    EXPECT_LT(page.pixelColor(5, 295).green(), 60);
    EXPECT_GT(page.pixelColor(300, 150).green(), 240); // white paper
}

TEST_F(ConverterEnginePdfTest, PagesAreRenderedFromTheCropBox) {
    const QString pdf =
        PictureFixtures::croppedPdf(path(QStringLiteral("cropped.pdf")), QSizeF(400, 300), QSizeF(100, 50));
    const QString folder = path(QStringLiteral("cropped pages"));
    ASSERT_FALSE(ConverterEngine::convertPDF(pdf, folder, target("pdf-png"), {}));
    const auto info = PictureFixtures::info(folder + QStringLiteral("/Page.png"));
    ASSERT_TRUE(info);
    EXPECT_EQ(QSize(info->width, info->height), QSize(200, 100));
}

TEST_F(ConverterEnginePdfTest, ALockedPdfIsPasswordProtectedWhateverTheTarget) {
    const QString locked = PictureFixtures::encryptedPdf(threePages(), path(QStringLiteral("locked.pdf")),
                                                         QStringLiteral("secret"));
    ASSERT_FALSE(locked.isEmpty());
    for (const char* id : {"pdf-png", "pdf-jpeg", "pdf-txt", "pdf-docx"}) {
        const QString output = path(QStringLiteral("out-") + QString::fromLatin1(id));
        EXPECT_EQ(message(ConverterEngine::convertPDF(locked, output, target(id), {})),
                  QStringLiteral("This PDF is password-protected."))
            << id;
        EXPECT_FALSE(QFileInfo::exists(output)) << id;
    }
}

TEST_F(ConverterEnginePdfTest, AnEncryptedPdfThatOpensWithoutAPasswordConverts) {
    const QString open =
        PictureFixtures::encryptedPdf(threePages(), path(QStringLiteral("owner-only.pdf")), QString());
    ASSERT_FALSE(open.isEmpty());
    const QString folder = path(QStringLiteral("owner-only pages"));
    EXPECT_FALSE(
        ConverterEngine::convertPDF(open, folder, target("pdf-png"), {.quality = ConvertQuality::small}));
    EXPECT_EQ(entries(folder).size(), 3);
}

TEST_F(ConverterEnginePdfTest, WhatIsNotAPdfCannotBeOpened) {
    const QString cases[] = {
        TestSupport::writeFile(path(QStringLiteral("empty.pdf")), {}),
        TestSupport::writeFile(path(QStringLiteral("words.pdf")), "plain words, no PDF\n"),
        PictureFixtures::picture(path(QStringLiteral("picture.png")), 20, 20),
        path(QStringLiteral("missing.pdf"))};
    for (const QString& input : cases) {
        for (const char* id : {"pdf-png", "pdf-txt", "pdf-docx"}) {
            const QString output = path(QStringLiteral("out-") + QString::fromLatin1(id));
            EXPECT_EQ(message(ConverterEngine::convertPDF(input, output, target(id), {})),
                      QStringLiteral("This PDF couldn't be opened."))
                << input.toStdString() << " " << id;
            EXPECT_FALSE(QFileInfo::exists(output));
        }
    }
}

TEST_F(ConverterEnginePdfTest, PlainTextIsTheWholeDocumentInUtf8) {
    const QString pdf = PictureFixtures::pdf(
        path(QStringLiteral("text.pdf")),
        {PdfPage{{300, 100}, {{QStringLiteral("Grüße aus Köln")}, {QStringLiteral("second line")}}},
         PdfPage{{300, 100}, {}}, PdfPage{{300, 100}, {{QStringLiteral("Last page, naïve café")}}}});
    const QString output = path(QStringLiteral("text.txt"));
    ASSERT_FALSE(ConverterEngine::convertPDF(pdf, output, target("pdf-txt"), {}));
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Grüße aus Köln\nsecond line"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Last page, naïve café"))) << text.toStdString();
    EXPECT_LT(text.indexOf(QStringLiteral("second line")), text.indexOf(QStringLiteral("Last page")));
    EXPECT_EQ(entries(dir.path()).size(), 2); // no temporary file left
}

TEST_F(ConverterEnginePdfTest, ADocumentWithoutTextGivesAnEmptyTextFile) {
    const QString pdf = PictureFixtures::pdf(path(QStringLiteral("blank.pdf")), {PdfPage{}});
    const QString output = path(QStringLiteral("blank.txt"));
    ASSERT_FALSE(ConverterEngine::convertPDF(pdf, output, target("pdf-txt"), {}));
    EXPECT_TRUE(QFileInfo::exists(output));
    EXPECT_LE(QFileInfo(output).size(), 2);
}

TEST_F(ConverterEnginePdfTest, AnExistingPagesFolderKeepsItsPagesAndTheOutputTakesTheNextName) {
    const QString pdf = threePages();
    const QString folder = path(QStringLiteral("pages"));
    const QString taken = TestSupport::writeFile(folder + QStringLiteral("/Page 2.png"), "someone else's");
    const auto control = ConvertControl::make();
    EXPECT_EQ(ConverterEngine::convertPDF(pdf, folder, target("pdf-png"), {}, control), std::nullopt);
    // The folder that was there stays as it was; ours is the next name, complete.
    EXPECT_EQ(entries(folder), QStringList{QStringLiteral("Page 2.png")});
    EXPECT_EQ(TestSupport::readFile(taken), QByteArray("someone else's"));
    EXPECT_EQ(control->saved(), path(QStringLiteral("pages (converted) pages")));
    EXPECT_EQ(entries(control->saved()).size(), 3);

    const QString text = TestSupport::writeFile(path(QStringLiteral("taken.txt")), "keep me");
    EXPECT_EQ(ConverterEngine::convertPDF(pdf, text, target("pdf-txt"), {}), std::nullopt);
    EXPECT_EQ(TestSupport::readFile(text), QByteArray("keep me"));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("taken (converted).txt"))));
}

TEST_F(ConverterEnginePdfTest, AStoppedConversionLeavesNoPages) {
    const QString pdf = threePages();
    const auto control = ConvertControl::make();
    control->cancel();
    const ConvertResult result = ConverterEngine::convertPDF(pdf, path(QStringLiteral("stopped pages")),
                                                             target("pdf-png"), {}, control);
    EXPECT_EQ(message(result), ConvertControl::cancelledText());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("stopped pages"))));
    for (const QString& name :
         QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(ConverterEnginePdfTest, TwoPdfsConvertAtOnce) {
    // The process's journal is made on the main thread, as the application and the command line
    // do, before two conversions write at once.
    ConversionJournal::shared();
    const QString a = threePages();
    const QString b = PictureFixtures::pdf(path(QStringLiteral("b.pdf")), {PdfPage{}, PdfPage{}});
    auto first = QtConcurrent::run([&] {
        return ConverterEngine::convertPDF(a, path(QStringLiteral("a pages")), target("pdf-png"), {});
    });
    auto second = QtConcurrent::run([&] {
        return ConverterEngine::convertPDF(b, path(QStringLiteral("b pages")), target("pdf-jpeg"), {});
    });
    EXPECT_FALSE(first.result());
    EXPECT_FALSE(second.result());
    EXPECT_EQ(entries(path(QStringLiteral("a pages"))).size(), 3);
    EXPECT_EQ(entries(path(QStringLiteral("b pages"))),
              (QStringList{QStringLiteral("Page 1.jpg"), QStringLiteral("Page 2.jpg")}));
}

} // namespace
