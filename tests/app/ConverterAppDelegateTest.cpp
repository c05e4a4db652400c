#include "app/ConverterAppDelegate.h"
#include "app/ConverterUpdates.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterWindow.h"
#include "converter/ui/Legal.h"
#include "support/ConverterTestSupport.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

namespace {

QString picture(const QTemporaryDir& dir, const QString& name) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return TestSupport::writeFile(dir.filePath(name), bytes);
}

// A silent video long enough to still be converting while the test looks.
QString makeVideo(const QTemporaryDir& dir) {
    return MediaFixtures::video(dir.path(), QStringLiteral("long.mp4"), {640, 480, 3.0, 25, {}});
}

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

// Answers the quit alert once it is up: records its texts and presses the named button.
struct AlertAnswer {
    QString text;
    QString informative;
    QStringList buttons;
    QString defaultButton;
    bool seen = false;

    void pressWhenShown(const QString& button) {
        auto* timer = new QTimer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, button] {
            auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!alert)
                return;
            seen = true;
            text = alert->text();
            informative = alert->informativeText();
            for (QAbstractButton* b : alert->buttons())
                buttons.append(b->text());
            defaultButton = alert->defaultButton() ? alert->defaultButton()->text() : QString();
            for (QAbstractButton* b : alert->buttons())
                if (b->text() == button)
                    b->click();
            timer->stop();
        });
        timer->start();
    }
};

class ConverterAppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        delegate.setQuitForTesting([this] { ++quits; });
    }
    void TearDown() override {
        ConverterModel::shared().cancelAll();
        TestSupport::waitFor([] { return !ConverterModel::shared().isBusy(); }, 20000);
        delete ConverterWindow::current();
    }

    // Starts a real conversion and waits until it runs.
    bool startBusy(const QTemporaryDir& dir) {
        const QString video = makeVideo(dir);
        if (video.isEmpty())
            return false;
        ConverterModel& model = ConverterModel::shared();
        model.setChoice(QStringLiteral("webm"), ConvertKind::video);
        ConverterTestSupport::addAndWait(model, {video});
        model.convertAll();
        return TestSupport::waitFor([&] { return model.isBusy(); }, 30000);
    }

    ConverterAppDelegate delegate;
    int quits = 0;
};

} // namespace

TEST_F(ConverterAppDelegateTest, OpeningThreeItemsWithAWebAddressAddsTheTwoFiles) {
    QTemporaryDir dir;
    delegate.open({QUrl::fromLocalFile(picture(dir, QStringLiteral("one.png"))),
                   QUrl(QStringLiteral("https://quorvane.example/two.png")),
                   QUrl::fromLocalFile(picture(dir, QStringLiteral("three.png")))});
    ASSERT_NE(ConverterWindow::current(), nullptr);
    EXPECT_TRUE(ConverterWindow::current()->isVisible());
    const auto& items = ConverterModel::shared().items();
    TestSupport::waitFor([] { return ConverterModel::shared().adding() == 0; });
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(QFileInfo(items[0].url).fileName(), QStringLiteral("one.png"));
    EXPECT_EQ(QFileInfo(items[1].url).fileName(), QStringLiteral("three.png"));
}

TEST_F(ConverterAppDelegateTest, OpeningOnlyAWebAddressShowsTheWindowAndAddsNothing) {
    delegate.open({QUrl(QStringLiteral("https://quorvane.example/clip.mp4"))});
    ASSERT_NE(ConverterWindow::current(), nullptr);
    EXPECT_TRUE(ConverterWindow::current()->isVisible());
    EXPECT_TRUE(ConverterModel::shared().items().isEmpty());
}

TEST_F(ConverterAppDelegateTest, QuittingIdleAsksNothing) {
    AlertAnswer answer;
    answer.pressWhenShown(QStringLiteral("Cancel"));
    delegate.requestQuit();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(answer.seen);
}

TEST_F(ConverterAppDelegateTest, QuittingBusyAsksAndCancelLeavesEverythingRunning) {
    if (!FFmpeg::available())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(startBusy(dir));
    AlertAnswer answer;
    answer.pressWhenShown(QStringLiteral("Cancel"));
    delegate.requestQuit();
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, QStringLiteral("Stop converting and quit?"));
    EXPECT_EQ(
        answer.informative,
        QStringLiteral("Files that are still converting won't be finished. Your originals aren't changed."));
    EXPECT_EQ(answer.buttons, (QStringList{QStringLiteral("Quit"), QStringLiteral("Cancel")}));
    EXPECT_EQ(answer.defaultButton, QStringLiteral("Quit"));
    EXPECT_EQ(quits, 0);
    const auto status = ConverterModel::shared().items().first().status;
    EXPECT_NE(status.state, ConverterModel::Status::State::cancelled);
}

TEST_F(ConverterAppDelegateTest, QuittingBusyWithQuitStopsEverythingAndLeavesNoPartialOutput) {
    if (!FFmpeg::available())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(startBusy(dir));
    AlertAnswer answer;
    answer.pressWhenShown(QStringLiteral("Quit"));
    delegate.requestQuit();
    EXPECT_TRUE(answer.seen);
    ASSERT_TRUE(TestSupport::waitFor([&] { return quits == 1; }, 10000));
    const auto status = ConverterModel::shared().items().first().status;
    if (status.state == ConverterModel::Status::State::cancelled) {
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("long.webm"))));
    }
    EXPECT_FALSE(ConverterModel::shared().isBusy());
}

TEST_F(ConverterAppDelegateTest, MenusHoldTheCommandsWithCtrlShortcuts) {
    QMainWindow window;
    delegate.installMenus(&window);
    const auto action = [&window](const char* name) {
        QAction* found = window.findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    };
    const struct {
        const char* name;
        const char* text;
        QKeySequence shortcut;
    } cases[] = {
        {"actionShowConverter", "Show Converter", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"actionConvertFiles", "Convert Files…", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"actionSettings", "Settings…", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"actionQuit", "Quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"actionPrivacy", "Privacy Notice", {}},
        {"actionTerms", "Terms of Service", {}},
        {"actionAcknowledgements", "Acknowledgements", {}},
        {"actionSupport", "Contact Support…", {}},
        {"actionCheckForUpdates", "Check for Updates…", {}},
        {"actionAbout", "About QuorvaneConverter", {}},
    };
    for (const auto& c : cases) {
        QAction* found = action(c.name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(found->shortcut(), c.shortcut) << c.name;
    }

    // "Check for Updates…" sits in the Help menu right above "About".
    QMenu* help = window.findChild<QMenu*>(QStringLiteral("menuHelp"));
    ASSERT_NE(help, nullptr);
    const auto actions = help->actions();
    const auto about = std::find(actions.begin(), actions.end(), action("actionAbout"));
    ASSERT_NE(about, actions.begin());
    EXPECT_EQ(*(about - 1), action("actionCheckForUpdates"));

    // Disabled until the updater allows a check.
    EXPECT_FALSE(action("actionCheckForUpdates")->isEnabled());
    ConverterUpdates::setFeedForTesting(QUrl(QStringLiteral("http://127.0.0.1:9/appcast.xml")));
    ConverterUpdates::shared().start();
    EXPECT_TRUE(TestSupport::waitFor([&] { return action("actionCheckForUpdates")->isEnabled(); }, 5000));
}

TEST_F(ConverterAppDelegateTest, HelpItemsOpenTheLegalAddresses) {
    QMainWindow window;
    delegate.installMenus(&window);
    OpenedUrls opened;
    for (const QString& scheme : {QStringLiteral("file"), QStringLiteral("https"), QStringLiteral("mailto")})
        QDesktopServices::setUrlHandler(scheme, &opened, "open");
    for (const char* name : {"actionPrivacy", "actionTerms", "actionAcknowledgements", "actionSupport"}) {
        QAction* found = window.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(found, nullptr);
        found->trigger();
    }
    EXPECT_EQ(opened.urls,
              (QList<QUrl>{Legal::privacy(), Legal::terms(), Legal::openSource(), Legal::support()}));
    for (const QString& scheme : {QStringLiteral("file"), QStringLiteral("https"), QStringLiteral("mailto")})
        QDesktopServices::unsetUrlHandler(scheme);
}

TEST_F(ConverterAppDelegateTest, SettingsWindowShowsOnlyTheUpdatesSection) {
    delegate.showSettings();
    QDialog* settings = delegate.settingsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_NE(settings->findChild<QWidget*>(QStringLiteral("updatesSection")), nullptr);
    delegate.showSettings();
    EXPECT_EQ(delegate.settingsWindow(), settings) << "one settings window, shown again";
}

TEST(ConverterAppDelegateLaunch, LaunchLineNamesTheApplicationVersionAndSystem) {
    EXPECT_EQ(ConverterAppDelegate::launchLine(),
              QStringLiteral("Launched QuorvaneConverter 1.0 on ") + QSysInfo::prettyProductName());
}

#include "ConverterAppDelegateTest.moc"
