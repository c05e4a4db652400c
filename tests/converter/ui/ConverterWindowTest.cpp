#include "converter/ui/ConverterWindow.h"
#include "common/UserDefaults.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterView.h"
#include "converter/ui/FileChooser.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString picture(const QTemporaryDir& dir, const QString& name) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return TestSupport::writeFile(dir.filePath(name), bytes);
}

} // namespace

TEST(ConverterWindow, FirstShowMakesTheWindow) {
    EXPECT_EQ(ConverterWindow::current(), nullptr);
    ConverterWindow::show(QList<QUrl>{});
    ConverterWindow* window = ConverterWindow::current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Converter"));
    EXPECT_EQ(window->minimumSize(), QSize(600, 420));
    EXPECT_EQ(window->size(), QSize(800, 720));
    EXPECT_EQ(&window->view()->model(), &ConverterModel::shared());
    EXPECT_TRUE(ConverterModel::shared().items().isEmpty());
    delete window;
}

TEST(ConverterWindow, ShowAddsOnlyLocalFiles) {
    QTemporaryDir dir;
    ConverterWindow::show({QUrl::fromLocalFile(picture(dir, QStringLiteral("a.png"))),
                           QUrl(QStringLiteral("https://quorvane.example/b.png")),
                           QUrl::fromLocalFile(picture(dir, QStringLiteral("c.png")))});
    const auto& items = ConverterModel::shared().items();
    TestSupport::waitFor([&] { return ConverterModel::shared().adding() == 0; });
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(QFileInfo(items[0].url).fileName(), QStringLiteral("a.png"));
    EXPECT_EQ(QFileInfo(items[1].url).fileName(), QStringLiteral("c.png"));
    delete ConverterWindow::current();
}

TEST(ConverterWindow, ClosingClearsFinishedItemsAndShowingAgainReusesTheWindow) {
    QTemporaryDir dir;
    ConverterModel& model = ConverterModel::shared();
    ConverterWindow::show({QUrl::fromLocalFile(picture(dir, QStringLiteral("a.png"))),
                           QUrl::fromLocalFile(picture(dir, QStringLiteral("b.png")))});
    ConverterWindow* window = ConverterWindow::current();
    TestSupport::waitFor([&] { return model.adding() == 0; });
    ASSERT_EQ(model.items().size(), 2);
    model.cancel(model.items().first().id);
    window->move(40, 30);
    window->resize(700, 600);
    const QRect frame = window->geometry();

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(model.items().size(), 1) << "the stopped item is cleared, the waiting one stays";
    EXPECT_EQ(QFileInfo(model.items().first().url).fileName(), QStringLiteral("b.png"));
    EXPECT_FALSE(UserDefaults::media().data(QStringLiteral("fx.windowFrame.HalcyrinConverter")).isEmpty());

    ConverterWindow::show(QList<QUrl>{});
    EXPECT_EQ(ConverterWindow::current(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry().size(), frame.size());
    delete window;
}

TEST(ConverterWindow, MenuInstallerRunsOnceForTheNewWindow) {
    int installs = 0;
    ConverterWindow::setMenuInstaller([&installs](QMainWindow* window) {
        ++installs;
        window->menuBar()->addMenu(QStringLiteral("&File"));
    });
    ConverterWindow::show(QList<QUrl>{});
    ConverterWindow::show(QList<QUrl>{});
    EXPECT_EQ(installs, 1);
    delete ConverterWindow::current();
    ConverterWindow::setMenuInstaller({});
}

TEST(ConverterWindow, ChooseAndShowOpensThePanelWithItsMessage) {
    ConverterWindow::chooseAndShow();
    FileChooser* chooser = nullptr;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if ((chooser = qobject_cast<FileChooser*>(widget)) && chooser->isVisible())
                    return true;
            return false;
        },
        5000));
    auto* message = chooser->findChild<QLabel*>(QStringLiteral("chooserMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(
        message->text(),
        QStringLiteral("Choose files or folders to convert. Videos, music, pictures, PDFs and documents."));
    // Cancelling adds nothing and shows nothing.
    chooser->reject();
    EXPECT_TRUE(ConverterModel::shared().items().isEmpty());
    EXPECT_EQ(ConverterWindow::current(), nullptr);
}

TEST(ConverterWindow, ChosenFilesAndFoldersGoToTheWindow) {
    QTemporaryDir dir;
    picture(dir, QStringLiteral("one.png"));
    picture(dir, QStringLiteral("sub/two.png"));
    ConverterWindow::chooseAndShow();
    FileChooser* chooser = nullptr;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if ((chooser = qobject_cast<FileChooser*>(widget)) && chooser->isVisible())
                    return true;
            return false;
        },
        5000));
    chooser->setDirectory(dir.path());
    Q_EMIT chooser->chosen({dir.filePath(QStringLiteral("one.png")), dir.filePath(QStringLiteral("sub"))});
    chooser->reject();
    ASSERT_NE(ConverterWindow::current(), nullptr);
    TestSupport::waitFor([] { return ConverterModel::shared().adding() == 0; });
    EXPECT_EQ(ConverterModel::shared().items().size(), 2);
    delete ConverterWindow::current();
}
