#include "converter/pictures/PictureWriter.h"

#include "converter/pictures/PictureDecoder.h"

#include "support/PictureFixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using PictureWriter::Backend;
using PictureWriter::Format;

TEST(PictureWriterTest, TargetsMapToFormats) {
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("jpeg")), Format::jpeg);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("png")), Format::png);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("heic")), Format::heic);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("tiff")), Format::tiff);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("bmp")), Format::bmp);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("ico")), Format::ico);
    EXPECT_EQ(PictureWriter::formatFor(QStringLiteral("gif-still")), Format::gif);
}

TEST(PictureWriterTest, ThisSystemWritesEveryPictureFormat) {
    for (Format format :
         {Format::jpeg, Format::png, Format::heic, Format::tiff, Format::bmp, Format::ico, Format::gif})
        EXPECT_TRUE(PictureWriter::canWrite(format)) << int(format);
}

// Where vips has no ImageMagick saver, BMP and ICO come from Qt's writers.
TEST(PictureWriterTest, BmpAndIcoFallBackToQtsWriters) {
    QTemporaryDir dir;
    ASSERT_TRUE(PictureWriter::canWrite(Format::bmp, Backend::qt));
    ASSERT_TRUE(PictureWriter::canWrite(Format::ico, Backend::qt));
    struct Case {
        Format format;
        const char* type;
        bool transparent;
        int bands;
    };
    for (const Case& c : {Case{Format::bmp, "bmp", false, 3}, Case{Format::ico, "ico", true, 4}}) {
        const QString input = PictureFixtures::picture(dir.filePath(QStringLiteral("in-%1.png").arg(c.type)),
                                                       48, 32, {.transparentLeft = c.transparent});
        const auto source = PictureDecoder::open(input);
        ASSERT_TRUE(source);
        const auto picture = PictureDecoder::image(*source, 0, c.format == Format::bmp);
        ASSERT_TRUE(picture);
        const QString output = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(c.type));
        ASSERT_TRUE(PictureWriter::write(*picture, output, c.format, 82, Backend::qt));
        EXPECT_EQ(PictureFixtures::sniff(output), QString::fromLatin1(c.type));
        const auto info = PictureFixtures::info(output);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->width, 48);
        EXPECT_EQ(info->height, 32);
        const QImage shown = PictureFixtures::upright(output);
        EXPECT_GT(shown.pixelColor(40, 30).blue(), 200);
        if (c.transparent)
            EXPECT_LT(shown.pixelColor(2, 2).alpha(), 10);
        else
            EXPECT_GT(shown.pixelColor(2, 2).red(), 200);
    }
}

TEST(PictureWriterTest, AFailedWriteReportsFalse) {
    QTemporaryDir dir;
    const QString input = PictureFixtures::picture(dir.filePath(QStringLiteral("in.png")), 8, 8);
    const auto picture = PictureDecoder::image(*PictureDecoder::open(input), 0, false);
    ASSERT_TRUE(picture);
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/out.png"));
    EXPECT_FALSE(PictureWriter::write(*picture, nowhere, Format::png, 82));
    EXPECT_FALSE(PictureWriter::write(*picture, nowhere, Format::bmp, 82, Backend::qt));
    EXPECT_FALSE(PictureWriter::write(Picture(), dir.filePath(QStringLiteral("null.png")), Format::png, 82));
}

} // namespace
