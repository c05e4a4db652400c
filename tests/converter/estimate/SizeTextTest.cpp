#include "converter/estimate/SizeText.h"

#include <gtest/gtest.h>

namespace {

struct BytesCase {
    qint64 count;
    const char* text;
};

TEST(SizeTextTest, BytesInDecimalUnits) {
    const BytesCase cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {999, "999 bytes"},
        {1000, "1 kB"},
        {1499, "1 kB"},
        {1500, "2 kB"},
        {15'000, "15 kB"},
        {999'499, "999 kB"},
        {999'500, "1 MB"},
        {1'000'000, "1 MB"},
        {1'440'000, "1.4 MB"},
        {1'450'000, "1.5 MB"},
        {10'584'000, "10.6 MB"},
        {6'350'400, "6.4 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'000, "1 GB"},
        {1'234'567'890, "1.23 GB"},
        {2'500'000'000, "2.5 GB"},
        {4'500'000'000'000, "4.5 TB"},
        {-5, "0 bytes"},
    };
    for (const BytesCase& c : cases)
        EXPECT_EQ(SizeText::bytes(c.count), QString::fromUtf8(c.text)) << c.count;
}

struct LineCase {
    ConverterModel::Total total;
    qint64 original;
    bool videoToSound;
    const char* amount;
    const char* comparison;
};

TEST(SizeTextTest, SizeLineOfAFormat) {
    const LineCase cases[] = {
        {{0, false, true}, 5'000'000, false, "estimating…", ""},
        {{0, false, false}, 5'000'000, false, "can't tell", ""},
        {{0, false, false}, 5'000'000, true, "no sound to save", ""},
        {{0, false, true}, 5'000'000, true, "estimating…", ""},
        {{3'000'000, true, true}, 5'000'000, false, "at least 3 MB", ""},
        {{3'000'000, true, false}, 5'000'000, false, "about 3 MB", "40% smaller"},
        {{5'000'000, true, false}, 5'000'000, false, "about 5 MB", "same size"},
        {{5'025'000, true, false}, 5'000'000, false, "about 5 MB", "same size"},  // ratio 1.005
        {{4'975'000, true, false}, 5'000'000, false, "about 5 MB", "same size"},  // ratio 0.995
        {{5'030'000, true, false}, 5'000'000, false, "about 5 MB", "0% bigger"},  // truncated 0.6 %
        {{7'990'000, true, false}, 5'000'000, false, "about 8 MB", "59% bigger"}, // truncated 59.8 %
        {{4'950'000, true, false}, 5'000'000, false, "about 5 MB", "1% smaller"},
        {{3'000'000, true, false}, 0, false, "about 3 MB", ""},
    };
    for (const LineCase& c : cases) {
        const SizeText::SizeLine line = SizeText::sizeLine(c.total, c.original, c.videoToSound);
        EXPECT_EQ(line.amount, QString::fromUtf8(c.amount)) << c.total.bytes;
        EXPECT_EQ(line.comparison, QString::fromUtf8(c.comparison)) << c.total.bytes;
    }
    EXPECT_EQ((SizeText::SizeLine{QStringLiteral("about 3 MB"), QStringLiteral("40% smaller")}.text()),
              QStringLiteral("about 3 MB · 40% smaller"));
    EXPECT_EQ((SizeText::SizeLine{QStringLiteral("estimating…"), {}}.text()), QStringLiteral("estimating…"));
}

TEST(SizeTextTest, Caption) {
    EXPECT_EQ(SizeText::caption(12'300'000), QStringLiteral("now 12.3 MB · click a format to see its size"));
}

TEST(SizeTextTest, ItemLine) {
    ConverterModel::Item video;
    video.kind = ConvertKind::video;
    video.size = 12'000'000;
    const ConvertTarget mp4 = *ConvertTarget::byID(QStringLiteral("mp4"));
    EXPECT_EQ(SizeText::itemLine(video, mp4, 3'000'000, false),
              QStringLiteral("12 MB → MP4 (H.264), about 3 MB"));
    EXPECT_EQ(SizeText::itemLine(video, mp4, std::nullopt, true),
              QStringLiteral("12 MB → MP4 (H.264) · estimating size…"));
    EXPECT_EQ(SizeText::itemLine(video, mp4, std::nullopt, false), QStringLiteral("12 MB → MP4 (H.264)"));
    EXPECT_EQ(SizeText::itemLine(video, std::nullopt, std::nullopt, false), QStringLiteral("12 MB → ?"));

    ConverterModel::Item picture;
    picture.kind = ConvertKind::image;
    picture.size = 999;
    const ConvertTarget png = *ConvertTarget::byID(QStringLiteral("png"));
    // Pictures never show an estimate.
    EXPECT_EQ(SizeText::itemLine(picture, png, 500, true), QStringLiteral("999 bytes → PNG"));
}

} // namespace
