#include "app/SingleInstance.h"
#include "app/ConverterAppDelegate.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// The second launch runs in a second process: this test executable started again with only the
// helper test selected, which hands its files over exactly as main() does.
const char* const kHelperFolder = "QC_SECOND_LAUNCH_RUNTIME";
const char* const kHelperArguments = "QC_SECOND_LAUNCH_ARGUMENTS";
const char* const kHelperWorkingFolder = "QC_SECOND_LAUNCH_CWD";

int runSecondLaunch(const QStringList& arguments, const QString& workingFolder) {
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kHelperFolder), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    environment.insert(QString::fromLatin1(kHelperArguments), arguments.join(QLatin1Char('\n')));
    environment.insert(QString::fromLatin1(kHelperWorkingFolder), workingFolder);
    second.setProcessEnvironment(environment);
    second.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=SingleInstanceHelper.SecondLaunchHandsOver")});
    // The first instance must keep answering while the second one waits for its receipt.
    EXPECT_TRUE(TestSupport::waitFor([&] { return second.state() == QProcess::NotRunning; }, 60000));
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

} // namespace

TEST(SingleInstanceHelper, SecondLaunchHandsOver) {
    const QString runtime = qEnvironmentVariable(kHelperFolder);
    if (runtime.isEmpty())
        GTEST_SKIP()
            << "runs only as the second process of SingleInstance.SecondProcessHandsItsFilesToTheFirst";
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    const QString joined = qEnvironmentVariable(kHelperArguments);
    const QStringList arguments = joined.isEmpty() ? QStringList() : joined.split(QLatin1Char('\n'));
    ASSERT_TRUE(ConverterAppDelegate::handOverToRunningInstance(arguments,
                                                                qEnvironmentVariable(kHelperWorkingFolder)));
}

TEST(SingleInstance, ArgumentsBecomeAbsoluteAddresses) {
    const QStringList addresses = SingleInstance::addressesFromArguments(
        {QStringLiteral("clip.mp4"), QStringLiteral("/data/song.mp3"),
         QStringLiteral("file:///data/a%20b.png"), QStringLiteral("https://quorvane.example/x.mp4"),
         QStringLiteral("sub/odd:name.mov"), QString()},
        QStringLiteral("/home/someone/Movies"));
    EXPECT_EQ(
        addresses,
        (QStringList{
            QStringLiteral("file:///home/someone/Movies/clip.mp4"), QStringLiteral("file:///data/song.mp3"),
            QUrl(QStringLiteral("file:///data/a%20b.png")).toString(),
            QStringLiteral("https://quorvane.example/x.mp4"),
            QUrl::fromLocalFile(QStringLiteral("/home/someone/Movies/sub/odd:name.mov")).toString()}));
}

TEST(SingleInstance, OnlyOneListens) {
    SingleInstance first;
    ASSERT_TRUE(first.listen());
    EXPECT_TRUE(SingleInstance::socketPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
    SingleInstance second;
    EXPECT_FALSE(second.listen());
}

TEST(SingleInstance, NobodyListeningMeansNoHandOver) {
    EXPECT_FALSE(SingleInstance::handOver({QStringLiteral("file:///tmp/a.png")}, 500));
    // A socket left behind by an instance that has gone does not block the next one.
    {
        SingleInstance gone;
        ASSERT_TRUE(gone.listen());
    }
    SingleInstance next;
    EXPECT_TRUE(next.listen());
}

TEST(SingleInstance, SecondProcessHandsItsFilesToTheFirst) {
    SingleInstance first;
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::received);

    EXPECT_EQ(
        runSecondLaunch({QStringLiteral("clip one.mp4"), QStringLiteral("https://quorvane.example/x.mp4"),
                         QStringLiteral("/abs/song.mp3")},
                        QStringLiteral("/home/someone")),
        0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return received.size() == 1; }, 5000));
    EXPECT_EQ(received.at(0).at(0).toStringList(),
              (QStringList{QUrl::fromLocalFile(QStringLiteral("/home/someone/clip one.mp4")).toString(),
                           QStringLiteral("https://quorvane.example/x.mp4"),
                           QStringLiteral("file:///abs/song.mp3")}));

    // A launch without files still reaches the first instance, which shows its window again.
    EXPECT_EQ(runSecondLaunch({}, QStringLiteral("/")), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return received.size() == 2; }, 5000));
    EXPECT_TRUE(received.at(1).at(0).toStringList().isEmpty());
}

TEST(SingleInstance, GarbageOnTheSocketIsDropped) {
    SingleInstance first;
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::received);
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::socketPath());
    ASSERT_TRUE(socket.waitForConnected(2000));
    // A length far over the limit, then a frame with the wrong magic.
    socket.write(QByteArray("\xff\xff\xff\xff garbage", 12));
    socket.flush();
    EXPECT_TRUE(TestSupport::waitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(received.size(), 0);

    QLocalSocket wrong;
    wrong.connectToServer(SingleInstance::socketPath());
    ASSERT_TRUE(wrong.waitForConnected(2000));
    wrong.write(QByteArray("\x00\x00\x00\x08"
                           "ABCDEFGH",
                           12));
    wrong.flush();
    EXPECT_TRUE(TestSupport::waitFor([&] { return wrong.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(received.size(), 0);
}
