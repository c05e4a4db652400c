#include "app/ConverterService.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(ConverterService, KeepsOnlyLocalFiles) {
    const QList<QUrl> files = ConverterService::fileUrls(
        {QStringLiteral("file:///data/a.mp4"), QStringLiteral("https://quorvane.example/b.mp4"),
         QStringLiteral("/data/c d.png"), QStringLiteral("smb://server/share/e.mov"), QString(),
         QStringLiteral("file:///data/f%20g.pdf")});
    EXPECT_EQ(files, (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/data/a.mp4")),
                                  QUrl::fromLocalFile(QStringLiteral("/data/c d.png")),
                                  QUrl::fromLocalFile(QStringLiteral("/data/f g.pdf"))}));
}

TEST(ConverterService, HandsFilesOnLaterAndIgnoresRequestsWithoutFiles) {
    ConverterService service;
    QSignalSpy convert(&service, &ConverterService::convert);
    service.ConvertFiles({QStringLiteral("https://quorvane.example/only-web.mp4")});
    service.ConvertFiles({QStringLiteral("file:///data/a.mp4")});
    EXPECT_EQ(convert.size(), 0) << "nothing happens inside the call itself";
    ASSERT_TRUE(TestSupport::waitFor([&] { return convert.size() == 1; }, 2000));
    QCoreApplication::processEvents();
    EXPECT_EQ(convert.size(), 1);
    EXPECT_EQ(convert.at(0).at(0).value<QList<QUrl>>(),
              QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/data/a.mp4"))});
}

TEST(ConverterService, ConvertFilesOverTheSessionBus) {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no D-Bus session bus here (scripts/test.sh runs the tests under dbus-run-session)";
    ConverterService service;
    ASSERT_TRUE(service.registerOnSessionBus());
    QSignalSpy convert(&service, &ConverterService::convert);

    // Another connection plays the file manager.
    QDBusConnection caller =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager"));
    ASSERT_TRUE(caller.isConnected());
    QDBusMessage call = QDBusMessage::createMethodCall(
        ConverterService::serviceName, ConverterService::objectPath,
        QStringLiteral("org.halcyrin.QuorvaneConverter"), QStringLiteral("ConvertFiles"));
    call << QStringList{QStringLiteral("file:///data/one.mp4"), QStringLiteral("https://quorvane.example/x"),
                        QStringLiteral("file:///data/two.png")};
    QDBusPendingCall pending = caller.asyncCall(call, 5000);
    ASSERT_TRUE(TestSupport::waitFor([&] { return pending.isFinished() && convert.size() == 1; }, 10000));
    EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
    EXPECT_EQ(convert.at(0).at(0).value<QList<QUrl>>(),
              (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/data/one.mp4")),
                           QUrl::fromLocalFile(QStringLiteral("/data/two.png"))}));

    // A second instance cannot take the name.
    ConverterService other;
    EXPECT_FALSE(other.registerOnSessionBus());
    QDBusConnection::sessionBus().unregisterService(ConverterService::serviceName);
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}
