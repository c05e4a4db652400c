#include "converter/ui/ConverterView.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterFileList.h"
#include "converter/ui/ConverterOptionsPanel.h"
#include "converter/ui/DropArea.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray pngBytes(int width = 8, int height = 6) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ConverterViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        view = std::make_unique<ConverterView>(model);
        view->resize(800, 720);
        view->show();
    }

    QString picture(const QString& name) { return TestSupport::writeFile(dir.filePath(name), pngBytes()); }
    QString junk(const QString& name) {
        return TestSupport::writeFile(dir.filePath(name), "not a format at all\x01\x02");
    }

    void drop(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data->setUrls(urls);
        const QPointF at(view->width() / 2.0, view->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        // The folders are walked in the background: wait for the files to be in the list.
        QSignalSpy added(&model, &ConverterModel::added);
        QCoreApplication::sendEvent(view.get(), &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_TRUE(added.wait(10000));
        QCoreApplication::processEvents();
        delete data;
    }

    template <typename T> T* find(const QString& name) {
        T* widget = view->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    QWidget* currentPage() { return view->findChild<QStackedWidget*>()->currentWidget(); }

    QTemporaryDir dir;
    ConverterModel model;
    std::unique_ptr<ConverterView> view;
};

} // namespace

TEST_F(ConverterViewTest, EmptyListShowsDropAreaAndFirstDropShowsList) {
    EXPECT_EQ(currentPage()->objectName(), QStringLiteral("dropArea"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("dropTitle"))->text(),
              QStringLiteral("Drop files here to convert them"));
    EXPECT_EQ(
        find<QLabel>(QStringLiteral("dropLine"))->text(),
        QStringLiteral("Videos, music, pictures, PDFs and documents. Your originals are never changed."));
    EXPECT_EQ(find<QPushButton>(QStringLiteral("chooseFiles"))->text(), QStringLiteral("Choose Files…"));

    // Only unconvertible files: still the drop area.
    drop({junk(QStringLiteral("a.xyz"))});
    EXPECT_EQ(currentPage()->objectName(), QStringLiteral("dropArea"));

    drop({picture(QStringLiteral("first.png"))});
    EXPECT_EQ(currentPage()->objectName(), QStringLiteral("fileList"));
    ASSERT_EQ(model.items().size(), 1);

    // Removing the last item brings the drop area back.
    model.remove(model.items().first().id);
    EXPECT_EQ(currentPage()->objectName(), QStringLiteral("dropArea"));
}

TEST_F(ConverterViewTest, DroppedFolderAddsTheFilesInside) {
    TestSupport::writeFile(dir.filePath(QStringLiteral("folder/one.png")), pngBytes());
    TestSupport::writeFile(dir.filePath(QStringLiteral("folder/sub/two.png")), pngBytes());
    drop({dir.filePath(QStringLiteral("folder"))});
    EXPECT_EQ(model.items().size(), 2);
    EXPECT_EQ(find<QLabel>(QStringLiteral("fileCount"))->text(), QStringLiteral("2 files"));
}

TEST_F(ConverterViewTest, HeaderCountsFiles) {
    drop({picture(QStringLiteral("a.png"))});
    EXPECT_EQ(find<QLabel>(QStringLiteral("fileCount"))->text(), QStringLiteral("1 file"));
    drop({picture(QStringLiteral("b.png"))});
    EXPECT_EQ(find<QLabel>(QStringLiteral("fileCount"))->text(), QStringLiteral("2 files"));
    EXPECT_EQ(ConverterFileList::countText(0), QStringLiteral("0 files"));
}

TEST_F(ConverterViewTest, SkippedNoteAppearsWithThreeAndGoesAway) {
    drop({picture(QStringLiteral("a.png"))});
    auto* note = find<QLabel>(QStringLiteral("skippedNote"));
    EXPECT_TRUE(note->isHidden());

    drop({junk(QStringLiteral("1.xyz")), junk(QStringLiteral("2.xyz")), junk(QStringLiteral("3.xyz"))});
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("· 3 skipped (not a format QuorvaneConverter converts)"));

    drop({picture(QStringLiteral("b.png"))});
    EXPECT_TRUE(note->isHidden());
}

TEST_F(ConverterViewTest, CombineToggleNeedsPicturesPdfAndTwoPictures) {
    auto* combine = find<QCheckBox>(QStringLiteral("combinePDF"));
    EXPECT_EQ(combine->text(), QStringLiteral("Combine the pictures into one PDF"));
    drop({picture(QStringLiteral("a.png"))});
    model.setChoice(QStringLiteral("pdf"), ConvertKind::image);
    EXPECT_TRUE(combine->isHidden()) << "one picture is not enough";

    drop({picture(QStringLiteral("b.png"))});
    EXPECT_TRUE(combine->isVisible());

    model.setChoice(QStringLiteral("png"), ConvertKind::image);
    EXPECT_TRUE(combine->isHidden()) << "only when PDF is the chosen picture format";

    model.setChoice(QStringLiteral("pdf"), ConvertKind::image);
    combine->click();
    EXPECT_TRUE(model.combinePDF());

    // No picture waiting or running: pictures are no longer among the kinds.
    for (const auto& item : model.items())
        model.cancel(item.id);
    EXPECT_TRUE(combine->isHidden());
}

TEST_F(ConverterViewTest, ConvertButtonCountsWaitingItems) {
    auto* convert = find<QPushButton>(QStringLiteral("convert"));
    EXPECT_EQ(convert->text(), QStringLiteral("Convert"));
    EXPECT_FALSE(convert->isEnabled());

    drop({picture(QStringLiteral("a.png")), picture(QStringLiteral("b.png")),
          picture(QStringLiteral("c.png"))});
    EXPECT_EQ(convert->text(), QStringLiteral("Convert 3"));
    EXPECT_TRUE(convert->isEnabled());

    model.cancel(model.items().first().id);
    EXPECT_EQ(convert->text(), QStringLiteral("Convert 2"));
}

TEST_F(ConverterViewTest, ReturnKeyConvertsAndPicturesFinish) {
    model.setChoice(QStringLiteral("jpeg"), ConvertKind::image);
    drop({picture(QStringLiteral("a.png"))});
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_FALSE(model.items().first().status.isWaiting());
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.finished(); }, 30000));
    EXPECT_EQ(model.items().first().status.state, ConverterModel::Status::State::done);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("a.jpg"))));
    EXPECT_TRUE(find<QPushButton>(QStringLiteral("clearFinished"))->isVisible());
    find<QPushButton>(QStringLiteral("clearFinished"))->click();
    EXPECT_TRUE(model.items().isEmpty());
}

TEST_F(ConverterViewTest, MissingFFmpegShowsTheOrangeWarningWhilePicturesStillConvert) {
    auto* warning = find<QWidget>(QStringLiteral("ffmpegMissing"));
    EXPECT_EQ(warning->isVisible(), !FFmpeg::available());

    FFmpeg::setFolderForTesting(dir.filePath(QStringLiteral("no-tools")));
    view->refresh();
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("ffmpegMissingText"))->text(),
              QStringLiteral("Video and audio conversion is unavailable: FFmpeg is missing from this copy of "
                             "QuorvaneConverter."));

    model.setChoice(QStringLiteral("png"), ConvertKind::image);
    TestSupport::writeFile(dir.filePath(QStringLiteral("photo.jpg")), [] {
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(Qt::cyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        return bytes;
    }());
    drop({dir.filePath(QStringLiteral("photo.jpg"))});
    find<QPushButton>(QStringLiteral("convert"))->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().first().status.finished(); }, 30000));
    EXPECT_EQ(model.items().first().status.state, ConverterModel::Status::State::done);
    FFmpeg::setFolderForTesting(QString());
}

TEST_F(ConverterViewTest, OptionsFollowTheModelAndCallIt) {
    drop({picture(QStringLiteral("a.png"))});
    auto* quality = find<QComboBox>(QStringLiteral("quality"));
    auto* size = find<QComboBox>(QStringLiteral("size"));
    EXPECT_EQ(quality->currentText(), ConvertQuality(ConvertQuality::balanced).title());
    EXPECT_EQ(size->currentText(), QStringLiteral("Original"));
    EXPECT_EQ(size->toolTip(),
              QStringLiteral(
                  "Videos: the most lines tall. Pictures: the longest side. Never makes anything bigger."));

    QStringList labels;
    for (int i = 0; i < size->count(); ++i)
        labels.append(size->itemText(i));
    EXPECT_EQ(labels, (QStringList{QStringLiteral("Original"), QString(), QStringLiteral("4K (2160)"),
                                   QStringLiteral("1080p / 1920 px"), QStringLiteral("720p / 1280 px"),
                                   QStringLiteral("480p / 640 px")}));

    size->setCurrentIndex(size->findText(QStringLiteral("720p / 1280 px")));
    Q_EMIT size->activated(size->currentIndex());
    EXPECT_EQ(model.maxSize(), 720);
    model.setQuality(ConvertQuality::best);
    EXPECT_EQ(quality->currentText(), ConvertQuality(ConvertQuality::best).title());

    auto* folder = find<QLabel>(QStringLiteral("folderLabel"));
    auto* nextToOriginals = find<QPushButton>(QStringLiteral("nextToOriginals"));
    EXPECT_TRUE(folder->toolTip() == QStringLiteral("Save next to the originals"));
    EXPECT_TRUE(nextToOriginals->isHidden());
    model.setFolder(dir.path());
    EXPECT_TRUE(nextToOriginals->isVisible());
    EXPECT_EQ(folder->toolTip(), ConverterOptionsPanel::folderText(dir.path()));
    nextToOriginals->click();
    EXPECT_TRUE(model.folder().isEmpty());
}

TEST(ConverterOptionsPanelTexts, FolderAndConvertTexts) {
    const QString home = QDir::homePath();
    EXPECT_EQ(ConverterOptionsPanel::folderText(QString()), QStringLiteral("Save next to the originals"));
    EXPECT_EQ(ConverterOptionsPanel::folderText(home + QStringLiteral("/Movies/Out")),
              QStringLiteral("Save to ~/Movies/Out"));
    EXPECT_EQ(ConverterOptionsPanel::folderText(home), QStringLiteral("Save to ~"));
    EXPECT_EQ(ConverterOptionsPanel::folderText(QStringLiteral("/srv/media")),
              QStringLiteral("Save to /srv/media"));
    // A sibling whose name merely starts like the home folder is not shortened.
    EXPECT_EQ(ConverterOptionsPanel::folderText(home + QStringLiteral("x/a")),
              QStringLiteral("Save to ") + home + QStringLiteral("x/a"));
    EXPECT_EQ(ConverterOptionsPanel::convertText(0), QStringLiteral("Convert"));
    EXPECT_EQ(ConverterOptionsPanel::convertText(3), QStringLiteral("Convert 3"));
}

TEST_F(ConverterViewTest, EveryControlTakesKeyboardFocus) {
    drop({picture(QStringLiteral("a.png")), junk(QStringLiteral("b.xyz"))});
    for (QWidget* widget : view->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget)) {
            EXPECT_NE(widget->focusPolicy() & Qt::TabFocus, 0) << widget->objectName().toStdString();
        }
    }
}
