#include "converter/ui/FormatSizeGrid.h"
#include "converter/estimate/SizeText.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/FormatButton.h"
#include "converter/ui/FormatMenuRow.h"
#include "support/ConverterTestSupport.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString makeSong(const QString& path) {
    QProcess make;
    make.start(FFmpeg::ffmpeg(),
               {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("sine=frequency=440:duration=2"), QStringLiteral("-ac"), QStringLiteral("2"),
                QStringLiteral("-ar"), QStringLiteral("44100"), path});
    make.waitForFinished(60000);
    return path;
}

} // namespace

TEST(FormatSizeGrid, ButtonsFollowTheCatalogueAndTheChoice) {
    ConverterModel model;
    FormatSizeGrid grid(model, ConvertKind::video);
    const auto targets = ConvertTarget::targets(ConvertKind::video);
    ASSERT_EQ(grid.buttons().size(), targets.size());
    for (int i = 0; i < targets.size(); ++i) {
        EXPECT_EQ(grid.buttons()[i]->targetId(), targets[i].id);
        EXPECT_EQ(grid.buttons()[i]->title(), targets[i].title);
    }
    const QString chosen = model.choice(ConvertKind::video);
    for (FormatButton* button : grid.buttons()) {
        EXPECT_EQ(button->isChecked(), button->targetId() == chosen);
        EXPECT_EQ(button->sizeLine().isEmpty(), button->targetId() != chosen);
    }

    // A click chooses; only the chosen button carries the size line.
    FormatButton* webm = grid.findChild<FormatButton*>(QStringLiteral("format-webm"));
    ASSERT_NE(webm, nullptr);
    QTest::mouseClick(webm, Qt::LeftButton);
    EXPECT_EQ(model.choice(ConvertKind::video), QStringLiteral("webm"));
    for (FormatButton* button : grid.buttons())
        EXPECT_EQ(button->isChecked(), button == webm);
    EXPECT_EQ(webm->sizeLine(), SizeText::sizeLine(model, ConvertKind::video).text());
    EXPECT_EQ(grid.findChild<QLabel*>(QStringLiteral("gridDetail"))->text(),
              ConvertTarget::byID(QStringLiteral("webm"))->detail);
    EXPECT_EQ(grid.findChild<QLabel*>(QStringLiteral("gridCaption"))->text(), SizeText::caption(0));
}

TEST(FormatSizeGrid, ColumnsAdaptToTheWidth) {
    ConverterModel model;
    FormatSizeGrid grid(model, ConvertKind::audio);
    const struct {
        int width;
        int columns;
    } cases[] = {{170, 1}, {300, 1}, {348, 2}, {600, 3}, {800, 4}, {1200, 6}};
    for (const auto& c : cases) {
        grid.resize(c.width, 400);
        grid.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(grid.columns(), c.columns) << c.width;
        EXPECT_GT(grid.heightForWidth(c.width), 0);
    }
}

TEST(FormatSizeGrid, ChosenSoundFormatShowsItsCalculatedSize) {
    if (!FFmpeg::available())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    ConverterModel model;
    model.setChoice(QStringLiteral("wav"), ConvertKind::audio);
    FormatSizeGrid grid(model, ConvertKind::audio);
    QObject::connect(&model, &ConverterModel::totalsChanged, &grid, &FormatSizeGrid::refresh);
    ConverterTestSupport::addAndWait(model, {makeSong(dir.filePath(QStringLiteral("song.wav")))});
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().probed; }, 30000));
    FormatButton* wav = grid.findChild<FormatButton*>(QStringLiteral("format-wav"));
    ASSERT_NE(wav, nullptr);
    EXPECT_TRUE(wav->sizeLine().startsWith(QStringLiteral("about "))) << wav->sizeLine().toStdString();
    EXPECT_EQ(wav->sizeLine(), SizeText::sizeLine(model, ConvertKind::audio).text());
    EXPECT_TRUE(
        grid.findChild<QLabel*>(QStringLiteral("gridCaption"))->text().startsWith(QStringLiteral("now ")));
}

TEST(FormatMenuRow, MenuListsTheKindsFormatsAndSetsTheChoice) {
    ConverterModel model;
    FormatMenuRow row(model, ConvertKind::image);
    QComboBox* picker = row.picker();
    const auto targets = ConvertTarget::targets(ConvertKind::image);
    ASSERT_EQ(picker->count(), targets.size());
    EXPECT_EQ(picker->currentData().toString(), model.choice(ConvertKind::image));

    const int png = picker->findData(QStringLiteral("png"));
    picker->setCurrentIndex(png);
    Q_EMIT picker->activated(png);
    EXPECT_EQ(model.choice(ConvertKind::image), QStringLiteral("png"));
    EXPECT_EQ(row.findChild<QLabel*>(QStringLiteral("formatDetail-image"))->text(),
              ConvertTarget::byID(QStringLiteral("png"))->detail);

    model.setChoice(QStringLiteral("pdf"), ConvertKind::image);
    row.refresh();
    EXPECT_EQ(picker->currentData().toString(), QStringLiteral("pdf"));
}
