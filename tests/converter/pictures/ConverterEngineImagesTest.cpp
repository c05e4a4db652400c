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

using PictureFixtures::PictureOptions;

bool isRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60 && c.alpha() > 245;
}
bool isBlue(const QColor& c) {
    return c.red() < 60 && c.green() < 60 && c.blue() > 200 && c.alpha() > 245;
}
bool isWhite(const QColor& c) {
    return c.red() > 240 && c.green() > 240 && c.blue() > 240 && c.alpha() > 245;
}

struct ConverterEngineImagesTest : ::testing::Test {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

// Every picture target: the output file's name, the container it must hold.
struct Writer {
    const char* id;
    const char* file;
    const char* type;
};
const Writer kWriters[] = {{"jpeg", "out.jpg", "jpeg"},     {"png", "out.png", "png"},
                           {"heic", "out.heic", "heic"},    {"tiff", "out.tiff", "tiff"},
                           {"bmp", "out.bmp", "bmp"},       {"ico", "out.ico", "ico"},
                           {"gif-still", "out.gif", "gif"}, {"pdf", "out.pdf", "pdf"}};

TEST_F(ConverterEngineImagesTest, EveryWriterWritesItsOwnType) {
    const QString input = PictureFixtures::picture(path(QStringLiteral("in.png")), 80, 60);
    for (const Writer& writer : kWriters) {
        const QString output = path(QString::fromLatin1(writer.file));
        ASSERT_EQ(message(ConverterEngine::convertImage(input, output, target(writer.id), {})),
                  QStringLiteral("(success)"))
            << writer.id;
        EXPECT_EQ(PictureFixtures::sniff(output), QString::fromLatin1(writer.type)) << writer.id;
        const auto info = PictureFixtures::info(output);
        ASSERT_TRUE(info) << writer.id << " does not decode";
        EXPECT_EQ(info->width, 80) << writer.id;
        EXPECT_EQ(info->height, 60) << writer.id;
    }
    // Nothing but the outputs: no temporary files left behind.
    EXPECT_EQ(files().size(), std::size(kWriters) + 1) << files().join(QLatin1Char(' ')).toStdString();
}

TEST_F(ConverterEngineImagesTest, ScalesACameraPhotoDownOnly) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("camera.jpg")), 4000, 3000);
    struct Case {
        int maxSize;
        int width;
        int height;
    };
    for (const Case& c : {Case{1920, 1920, 1440}, Case{8000, 4000, 3000}}) {
        const QString output = path(QStringLiteral("out-%1.jpg").arg(c.maxSize));
        ASSERT_FALSE(ConverterEngine::convertImage(photo, output, target("jpeg"), {.maxSize = c.maxSize}));
        const auto info = PictureFixtures::info(output);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->width, c.width);
        EXPECT_EQ(info->height, c.height);
    }
}

TEST_F(ConverterEngineImagesTest, ARotatedPhotoComesOutUprightInEveryFormat) {
    // Looks 120 × 80 with red top-left once the tag is applied; stored 80 × 120.
    const QString photo = PictureFixtures::picture(path(QStringLiteral("turned.jpg")), 120, 80,
                                                   {.orientation = 6, .quality = 95});
    for (const Writer& writer : kWriters) {
        const QString output = path(QString::fromLatin1(writer.file));
        ASSERT_FALSE(ConverterEngine::convertImage(photo, output, target(writer.id), {})) << writer.id;
        const auto info = PictureFixtures::info(output);
        ASSERT_TRUE(info) << writer.id;
        EXPECT_EQ(info->width, 120) << writer.id;
        EXPECT_EQ(info->height, 80) << writer.id;
        const QImage shown = PictureFixtures::upright(output);
        ASSERT_EQ(shown.size(), QSize(120, 80)) << writer.id;
        EXPECT_TRUE(isRed(shown.pixelColor(5, 5))) << writer.id;
        EXPECT_TRUE(isBlue(shown.pixelColor(110, 70))) << writer.id;
    }
}

TEST_F(ConverterEngineImagesTest, TransparencyIsWhiteWhereTheFormatHasNoneAndKeptElsewhere) {
    const QString png =
        PictureFixtures::picture(path(QStringLiteral("clear.png")), 64, 32, {.transparentLeft = true});
    for (const char* id : {"jpeg", "bmp"}) {
        const QString output = path(QStringLiteral("flat.") + QString::fromLatin1(id));
        ASSERT_FALSE(ConverterEngine::convertImage(png, output, target(id), {})) << id;
        EXPECT_EQ(PictureFixtures::info(output)->bands, 3) << id;
        const QImage shown = PictureFixtures::upright(output);
        EXPECT_TRUE(isWhite(shown.pixelColor(4, 28))) << id;
        EXPECT_TRUE(isBlue(shown.pixelColor(60, 28))) << id;
    }
    for (const char* id : {"png", "tiff", "heic"}) {
        const QString output = path(QStringLiteral("kept.") + QString::fromLatin1(id));
        ASSERT_FALSE(ConverterEngine::convertImage(png, output, target(id), {})) << id;
        EXPECT_EQ(PictureFixtures::info(output)->bands, 4) << id;
        const QImage shown = PictureFixtures::upright(output);
        EXPECT_LT(shown.pixelColor(4, 28).alpha(), 10) << id;
        EXPECT_TRUE(isBlue(shown.pixelColor(60, 28))) << id;
    }
}

TEST_F(ConverterEngineImagesTest, IconsAreAtMost256PixelsOrTheSizeLimit) {
    const QString big = PictureFixtures::picture(path(QStringLiteral("big.png")), 1024, 512);
    struct Case {
        int maxSize;
        int width;
        int height;
    };
    for (const Case& c : {Case{0, 256, 128}, Case{64, 64, 32}, Case{1000, 256, 128}}) {
        const QString output = path(QStringLiteral("icon-%1.ico").arg(c.maxSize));
        ASSERT_FALSE(ConverterEngine::convertImage(big, output, target("ico"), {.maxSize = c.maxSize}));
        EXPECT_EQ(PictureFixtures::sniff(output), QStringLiteral("ico"));
        const auto info = PictureFixtures::info(output);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->width, c.width) << c.maxSize;
        EXPECT_EQ(info->height, c.height) << c.maxSize;
    }
}

TEST_F(ConverterEngineImagesTest, QualityChoosesTheLossyCompression) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("photo.png")), 400, 300);
    for (const char* id : {"jpeg", "heic"}) {
        qint64 previous = std::numeric_limits<qint64>::max();
        for (ConvertQuality quality :
             {ConvertQuality::best, ConvertQuality::balanced, ConvertQuality::small}) {
            const QString output = path(QStringLiteral("%1-%2").arg(QString::fromLatin1(id), quality.id()));
            ASSERT_FALSE(ConverterEngine::convertImage(photo, output, target(id), {.quality = quality}));
            const qint64 size = QFileInfo(output).size();
            EXPECT_LT(size, previous) << id << " " << quality.id().toStdString();
            previous = size;
        }
    }
}

TEST_F(ConverterEngineImagesTest, BadInputFailsWithAPlainMessageAndLeavesNothing) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("whole.jpg")), 600, 400);
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    struct Case {
        QString input;
        QString message;
    };
    const Case cases[] = {
        {TestSupport::writeFile(path(QStringLiteral("cut.jpg")), bytes.left(bytes.size() / 2)),
         QStringLiteral("This picture couldn't be read.")},
        {TestSupport::writeFile(path(QStringLiteral("empty.jpg")), {}),
         QStringLiteral("This picture couldn't be opened.")},
        {TestSupport::writeFile(path(QStringLiteral("words.png")), "this is text, not a picture\n"),
         QStringLiteral("This picture couldn't be opened.")},
        {path(QStringLiteral("missing.png")), QStringLiteral("This picture couldn't be opened.")},
    };
    const QStringList before = files();
    for (const Case& c : cases) {
        for (const char* id : {"jpeg", "png", "bmp", "pdf"}) {
            const QString output = path(QStringLiteral("out.") + QString::fromLatin1(id));
            const ConvertResult result = ConverterEngine::convertImage(c.input, output, target(id), {});
            const QString expected = QString::fromLatin1(id) == QLatin1String("pdf") &&
                                             c.message == QLatin1String("This picture couldn't be read.")
                                         ? QStringLiteral("The PDF couldn't be made.")
                                         : c.message;
            EXPECT_EQ(message(result), expected) << c.input.toStdString() << " → " << id;
        }
    }
    EXPECT_EQ(files(), before);
}

TEST_F(ConverterEngineImagesTest, AFileAlreadyThereStaysAndTheOutputTakesTheNextName) {
    const QString input = PictureFixtures::picture(path(QStringLiteral("in.png")), 20, 20);
    for (const char* id : {"png", "pdf"}) {
        const QString ext = QString::fromLatin1(id);
        const QString output = TestSupport::writeFile(path(QStringLiteral("taken.") + ext), "someone else's");
        const auto control = ConvertControl::make();
        EXPECT_EQ(ConverterEngine::convertImage(input, output, target(id), {}, control), std::nullopt) << id;
        EXPECT_EQ(TestSupport::readFile(output), QByteArray("someone else's")) << id;
        EXPECT_EQ(control->saved(), path(QStringLiteral("taken (converted).") + ext));
        EXPECT_TRUE(QFileInfo(control->saved()).size() > 0);
    }
    EXPECT_EQ(files().size(), 5);
}

TEST_F(ConverterEngineImagesTest, CombinesReadablePicturesIntoOnePagePerPicture) {
    const QString first = PictureFixtures::picture(path(QStringLiteral("a.png")), 300, 200);
    const QString fake = TestSupport::writeFile(path(QStringLiteral("b.jpg")), "not a picture after all");
    const QString third = PictureFixtures::picture(path(QStringLiteral("c.jpg")), 120, 160);
    const QString output = path(QStringLiteral("all.pdf"));
    ASSERT_FALSE(ConverterEngine::picturesToPDF({first, fake, third}, output, {}));
    const QList<QSizeF> pages = PictureFixtures::pdfPageSizes(output);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0], QSizeF(300, 200));
    EXPECT_EQ(pages[1], QSizeF(120, 160));
    // The page shows the picture: red top-left, blue elsewhere (vips renders page 1 at 72 dpi).
    const QImage shown = PictureFixtures::upright(output);
    EXPECT_TRUE(isRed(shown.pixelColor(10, 10)));
    EXPECT_TRUE(isBlue(shown.pixelColor(290, 190)));
}

TEST_F(ConverterEngineImagesTest, CombiningOnlyUnreadableFilesMakesNoPDF) {
    const QString fake = TestSupport::writeFile(path(QStringLiteral("b.jpg")), "not a picture");
    const QString empty = TestSupport::writeFile(path(QStringLiteral("c.png")), {});
    const QString output = path(QStringLiteral("none.pdf"));
    EXPECT_EQ(
        message(ConverterEngine::picturesToPDF({fake, empty, path(QStringLiteral("gone.png"))}, output, {})),
        QStringLiteral("The PDF couldn't be made."));
    EXPECT_EQ(message(ConverterEngine::picturesToPDF({}, output, {})),
              QStringLiteral("The PDF couldn't be made."));
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(files().size(), 2);
}

TEST_F(ConverterEngineImagesTest, AnUnscaledUprightJpegGoesIntoThePDFAsItIs) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("photo.jpg")), 640, 480);
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray jpeg = file.readAll();

    const QString asIs = path(QStringLiteral("as-is.pdf"));
    ASSERT_FALSE(ConverterEngine::picturesToPDF({photo}, asIs, {}));
    QFile pdf(asIs);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().contains(jpeg));
    EXPECT_EQ(PictureFixtures::pdfPageSizes(asIs), QList<QSizeF>{QSizeF(640, 480)});
    const QImage shown = PictureFixtures::upright(asIs);
    ASSERT_EQ(shown.size(), QSize(640, 480));
    EXPECT_TRUE(isRed(shown.pixelColor(20, 20)));
    EXPECT_TRUE(isRed(shown.pixelColor(150, 110)));
    EXPECT_TRUE(isBlue(shown.pixelColor(170, 130)));
    EXPECT_TRUE(isBlue(shown.pixelColor(630, 470)));

    // Scaled: decoded and drawn at the new size instead.
    const QString scaled = path(QStringLiteral("scaled.pdf"));
    ASSERT_FALSE(ConverterEngine::picturesToPDF({photo}, scaled, {.maxSize = 320}));
    EXPECT_EQ(PictureFixtures::pdfPageSizes(scaled), QList<QSizeF>{QSizeF(320, 240)});
}

TEST_F(ConverterEngineImagesTest, TwoConversionsRunAtOnce) {
    // The process's journal is made on the main thread, as the application and the command line
    // do, before two conversions write at once.
    ConversionJournal::shared();
    const QString a = PictureFixtures::picture(path(QStringLiteral("a.jpg")), 1600, 1200);
    const QString b = PictureFixtures::picture(path(QStringLiteral("b.png")), 1200, 1600);
    auto first = QtConcurrent::run([&] {
        return ConverterEngine::convertImage(a, path(QStringLiteral("a.heic")), target("heic"),
                                             {.maxSize = 800});
    });
    auto second = QtConcurrent::run([&] {
        return ConverterEngine::picturesToPDF({a, b}, path(QStringLiteral("ab.pdf")), {.maxSize = 600});
    });
    EXPECT_FALSE(first.result());
    EXPECT_FALSE(second.result());
    EXPECT_EQ(PictureFixtures::info(path(QStringLiteral("a.heic")))->width, 800);
    EXPECT_EQ(PictureFixtures::pdfPageSizes(path(QStringLiteral("ab.pdf"))),
              (QList<QSizeF>{QSizeF(600, 450), QSizeF(450, 600)}));
}

} // namespace
