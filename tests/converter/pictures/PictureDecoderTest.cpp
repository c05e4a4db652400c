#include "converter/pictures/PictureDecoder.h"

#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct PictureDecoderTest : ::testing::Test {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(PictureDecoderTest, OpensAPictureWithoutDecodingIt) {
    const QString jpeg =
        PictureFixtures::picture(path(QStringLiteral("photo.jpg")), 64, 48, {.orientation = 6});
    ASSERT_FALSE(jpeg.isEmpty());
    const auto source = PictureDecoder::open(jpeg);
    ASSERT_TRUE(source);
    // The stored size, before the orientation is applied.
    EXPECT_EQ(source->width, 48);
    EXPECT_EQ(source->height, 64);
    EXPECT_EQ(source->orientation, 6);
    EXPECT_EQ(source->loader, QStringLiteral("jpegload"));
}

TEST_F(PictureDecoderTest, RefusesWhatIsNotAPicture) {
    const QString empty = TestSupport::writeFile(path(QStringLiteral("empty.jpg")), {});
    const QString text = TestSupport::writeFile(path(QStringLiteral("notes.png")), "just some words\n");
    for (const QString& file : {empty, text, path(QStringLiteral("missing.png"))})
        EXPECT_FALSE(PictureDecoder::open(file)) << file.toStdString();
}

TEST_F(PictureDecoderTest, LimitsTheLongestSideAndNeverEnlarges) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("camera.jpg")), 4000, 3000);
    const auto source = PictureDecoder::open(photo);
    ASSERT_TRUE(source);
    struct Case {
        int maxSize;
        int width;
        int height;
    };
    for (const Case& c : {Case{1920, 1920, 1440}, Case{8000, 4000, 3000}, Case{0, 4000, 3000},
                          Case{-5, 4000, 3000}, Case{4000, 4000, 3000}, Case{1, 1, 1}}) {
        const auto picture = PictureDecoder::image(*source, c.maxSize, false);
        ASSERT_TRUE(picture) << c.maxSize;
        EXPECT_EQ(picture->width(), c.width) << c.maxSize;
        EXPECT_EQ(picture->height(), c.height) << c.maxSize;
    }
}

TEST_F(PictureDecoderTest, AppliesTheOrientationTag) {
    const QString photo =
        PictureFixtures::picture(path(QStringLiteral("turned.jpg")), 300, 200, {.orientation = 6});
    const auto source = PictureDecoder::open(photo);
    ASSERT_TRUE(source);
    const auto picture = PictureDecoder::image(*source, 150, false);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 150);
    EXPECT_EQ(picture->height(), 100);
}

TEST_F(PictureDecoderTest, FlattensTransparencyOnlyWhenAsked) {
    const QString png =
        PictureFixtures::picture(path(QStringLiteral("clear.png")), 40, 20, {.transparentLeft = true});
    const auto source = PictureDecoder::open(png);
    ASSERT_TRUE(source);
    const auto kept = PictureDecoder::image(*source, 0, false);
    const auto flat = PictureDecoder::image(*source, 0, true);
    ASSERT_TRUE(kept && flat);
    EXPECT_TRUE(kept->hasAlpha());
    EXPECT_EQ(kept->bands(), 4);
    EXPECT_FALSE(flat->hasAlpha());
    EXPECT_EQ(flat->bands(), 3);
    // An opaque picture is left as it is.
    const QString opaque = PictureFixtures::picture(path(QStringLiteral("opaque.png")), 40, 20);
    const auto plain = PictureDecoder::image(*PictureDecoder::open(opaque), 0, true);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->bands(), 3);
}

TEST_F(PictureDecoderTest, NoticesATruncatedPicture) {
    const QString photo = PictureFixtures::picture(path(QStringLiteral("whole.jpg")), 400, 300);
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString cut = TestSupport::writeFile(path(QStringLiteral("cut.jpg")), bytes.left(bytes.size() / 2));

    const auto whole = PictureDecoder::open(photo);
    const auto truncated = PictureDecoder::open(cut);
    ASSERT_TRUE(whole && truncated); // the header is intact
    EXPECT_TRUE(PictureDecoder::decodes(*whole, 0));
    EXPECT_FALSE(PictureDecoder::decodes(*truncated, 0));
}

} // namespace
