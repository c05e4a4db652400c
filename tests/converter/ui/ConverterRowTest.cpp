#include "converter/ui/ConverterRow.h"
#include "converter/estimate/SizeText.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterStyle.h"
#include "converter/ui/ElidedLabel.h"
#include "support/ConverterTestSupport.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

namespace {

// Receives what the row asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

QByteArray pngBytes() {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ConverterRowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    ConverterRow* rowFor(int index) {
        rows.push_back(std::make_unique<ConverterRow>(model, model.items().at(index).id));
        rows.back()->resize(700, 60);
        rows.back()->show();
        QObject::connect(&model, &ConverterModel::itemChanged, rows.back().get(),
                         [row = rows.back().get(), this](int i) {
                             if (i >= 0 && i < model.items().size() && model.items().at(i).id == row->id())
                                 row->refresh();
                         });
        return rows.back().get();
    }

    template <typename T> static T* child(ConverterRow* row, const char* name) {
        T* widget = row->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir dir;
    ConverterModel model;
    std::vector<std::unique_ptr<ConverterRow>> rows;
};

} // namespace

TEST(ConverterRowPercent, TruncatesTheFraction) {
    const struct {
        double fraction;
        const char* text;
    } cases[] = {{0.426, "42 %"}, {0.999, "99 %"}, {1.0, "100 %"},
                 {0.29, "29 %"},  {0.001, "0 %"},  {1.7, "100 %"}};
    for (const auto& c : cases)
        EXPECT_EQ(ConverterRow::percentText(c.fraction), QString::fromUtf8(c.text)) << c.fraction;
}

TEST_F(ConverterRowTest, WaitingRowShowsNameSizeLineAndRemove) {
    const QString path = TestSupport::writeFile(
        dir.filePath(QStringLiteral("a rather long holiday picture name.png")), pngBytes());
    ConverterTestSupport::addAndWait(model, {path});
    ConverterRow* row = rowFor(0);
    EXPECT_EQ(child<ElidedLabel>(row, "rowName")->fullText(),
              QStringLiteral("a rather long holiday picture name.png"));
    EXPECT_EQ(child<QLabel>(row, "rowStatus")->text(), SizeText::itemLine(model, model.items().first()));
    EXPECT_TRUE(child<QLabel>(row, "rowStatus")->text().contains(QStringLiteral(" → ")));

    auto* remove = child<QToolButton>(row, "rowRemove");
    EXPECT_TRUE(remove->isVisible());
    EXPECT_EQ(remove->toolTip(), QStringLiteral("Remove from the list"));
    EXPECT_EQ(remove->accessibleName(), QStringLiteral("Remove from the list"));
    EXPECT_TRUE(child<QToolButton>(row, "rowStop")->isHidden());
    EXPECT_TRUE(child<QPushButton>(row, "rowOpen")->isHidden());
    remove->click();
    EXPECT_TRUE(model.items().isEmpty());
}

TEST_F(ConverterRowTest, CancelledRowReadsStopped) {
    ConverterTestSupport::addAndWait(
        model, {TestSupport::writeFile(dir.filePath(QStringLiteral("a.png")), pngBytes())});
    ConverterRow* row = rowFor(0);
    model.cancel(model.items().first().id);
    EXPECT_EQ(child<QLabel>(row, "rowStatus")->text(), QStringLiteral("Stopped"));
    EXPECT_TRUE(child<QToolButton>(row, "rowRemove")->isVisible());
}

TEST_F(ConverterRowTest, DoneRowOffersOpenAndShowInFolder) {
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    model.setChoice(QStringLiteral("jpeg"), ConvertKind::image);
    ConverterTestSupport::addAndWait(
        model, {TestSupport::writeFile(dir.filePath(QStringLiteral("shot.png")), pngBytes())});
    ConverterRow* row = rowFor(0);
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.finished(); }, 30000));
    ASSERT_EQ(model.items().first().status.state, ConverterModel::Status::State::done);
    EXPECT_EQ(child<QLabel>(row, "rowStatus")->text(), QStringLiteral("Saved as shot.jpg"));
    EXPECT_TRUE(child<QLabel>(row, "rowStatusIcon")->isVisible());
    EXPECT_TRUE(child<QToolButton>(row, "rowRemove")->isHidden());

    auto* open = child<QPushButton>(row, "rowOpen");
    auto* reveal = child<QToolButton>(row, "rowReveal");
    EXPECT_EQ(reveal->toolTip(), QStringLiteral("Show in Folder"));
    EXPECT_EQ(reveal->accessibleName(), QStringLiteral("Show in Folder"));
    open->click();
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls.first().toLocalFile(), dir.filePath(QStringLiteral("shot.jpg")));

    // No file manager answers on this bus (or there is none): the folder opens instead.
    reveal->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.urls.size() == 2; }, 10000));
    EXPECT_EQ(QDir(opened.urls.last().toLocalFile()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

TEST_F(ConverterRowTest, FailedRowShowsTheMessageInOrange) {
    // A PNG signature followed by nothing usable: a picture that cannot be read.
    QByteArray broken = pngBytes().left(12) + QByteArray(64, '\x7f');
    model.setChoice(QStringLiteral("jpeg"), ConvertKind::image);
    ConverterTestSupport::addAndWait(
        model, {TestSupport::writeFile(dir.filePath(QStringLiteral("broken.png")), broken)});
    ASSERT_EQ(model.items().size(), 1);
    ConverterRow* row = rowFor(0);
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.finished(); }, 30000));
    ASSERT_EQ(model.items().first().status.state, ConverterModel::Status::State::failed);
    auto* status = child<QLabel>(row, "rowStatus");
    EXPECT_EQ(status->text(), model.items().first().status.message);
    EXPECT_FALSE(status->text().isEmpty());
    EXPECT_EQ(status->palette().color(QPalette::WindowText), ConverterStyle::warning(row->palette()));
    EXPECT_TRUE(status->wordWrap());
}

TEST_F(ConverterRowTest, RunningRowShowsTruncatedPercentAndStop) {
    if (!FFmpeg::available())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString video =
        MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), {320, 240, 3.0, 25, {}});
    ASSERT_FALSE(video.isEmpty());

    model.setChoice(QStringLiteral("webm"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, {video});
    ConverterRow* row = rowFor(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().probed; }, 30000));
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.isRunning(); }, 30000));
    auto* stop = child<QToolButton>(row, "rowStop");
    EXPECT_TRUE(stop->isVisible());
    EXPECT_EQ(stop->toolTip(), QStringLiteral("Stop"));

    const bool moved = TestSupport::waitFor(
        [&] {
            const auto& status = model.items().first().status;
            return !status.isRunning() || status.fraction > 0;
        },
        60000);
    ASSERT_TRUE(moved);
    const auto status = model.items().first().status;
    if (status.isRunning()) {
        EXPECT_TRUE(child<QWidget>(row, "rowProgress")->isVisible());
        EXPECT_TRUE(child<QWidget>(row, "rowBusy")->isHidden());
        EXPECT_EQ(child<QLabel>(row, "rowPercent")->text(), ConverterRow::percentText(status.fraction));
        stop->click();
        ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.finished(); }, 30000));
        EXPECT_EQ(child<QLabel>(row, "rowStatus")->text(), QStringLiteral("Stopped"));
    }
}

#include "ConverterRowTest.moc"
