#include "common/UserDefaults.h"
#include "common/MediaApp.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST(UserDefaultsTest, MediaStoreIsTheSuitesSharedDomain) {
    UserDefaults& store = UserDefaults::media();
    store.setValue(QStringLiteral("fx.converter.quality"), QStringLiteral("best"));
    EXPECT_EQ(QDir::cleanPath(store.fileName()),
              QDir::cleanPath(qEnvironmentVariable("XDG_CONFIG_HOME") +
                              QStringLiteral("/Halcyrin/org.halcyrin.Halcyrin.conf")));
    EXPECT_TRUE(QFileInfo::exists(store.fileName()));
}

TEST(UserDefaultsTest, ValuesKeepTheirTypesAcrossReopening) {
    const QString path = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/typed.conf");
    {
        UserDefaults store(path);
        store.setValue(QStringLiteral("flag"), true);
        store.setValue(QStringLiteral("count"), 10);
        store.setValue(QStringLiteral("ratio"), 4.5);
        store.setValue(QStringLiteral("text"), QStringLiteral("true"));
        store.setValue(QStringLiteral("tagged"), QStringLiteral("typed:bool:true"));
        store.setData(QStringLiteral("blob"), QByteArray("{\"a\":1}\0x", 9));
        store.setStringArray(QStringLiteral("one"), {QStringLiteral("only, with comma")});
        store.setStringArray(QStringLiteral("many"), {QStringLiteral("a"), QStringLiteral("b")});
        store.setMap(QStringLiteral("map"), {{QStringLiteral("k"), 3}});
        store.setNumbers(QStringLiteral("bands"), {0.5, -3, 12});
    }
    UserDefaults store(path);
    EXPECT_EQ(store.value(QStringLiteral("flag")).typeId(), QMetaType::Bool);
    EXPECT_TRUE(store.boolean(QStringLiteral("flag")));
    EXPECT_EQ(store.integer(QStringLiteral("count")), 10);
    EXPECT_DOUBLE_EQ(store.number(QStringLiteral("ratio")), 4.5);
    // A text that reads like a boolean stays a text.
    EXPECT_FALSE(store.boolean(QStringLiteral("text")));
    EXPECT_EQ(store.string(QStringLiteral("text")), QStringLiteral("true"));
    EXPECT_EQ(store.string(QStringLiteral("tagged")), QStringLiteral("typed:bool:true"));
    EXPECT_EQ(store.data(QStringLiteral("blob")), QByteArray("{\"a\":1}\0x", 9));
    EXPECT_EQ(store.stringArray(QStringLiteral("one")), QStringList{QStringLiteral("only, with comma")});
    EXPECT_EQ(store.stringArray(QStringLiteral("many")), (QStringList{"a", "b"}));
    EXPECT_EQ(store.map(QStringLiteral("map")).value(QStringLiteral("k")).toInt(), 3);
    EXPECT_EQ(store.numbers(QStringLiteral("bands")), (QList<double>{0.5, -3, 12}));
}

TEST(UserDefaultsTest, WrongTypesReadAsNeutralValues) {
    UserDefaults store(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/neutral.conf"));
    store.setValue(QStringLiteral("text"), QStringLiteral("hello"));
    EXPECT_FALSE(store.boolean(QStringLiteral("text")));
    EXPECT_EQ(store.number(QStringLiteral("text")), 0);
    EXPECT_TRUE(store.data(QStringLiteral("text")).isEmpty());
    EXPECT_TRUE(store.map(QStringLiteral("text")).isEmpty());
    EXPECT_TRUE(store.numbers(QStringLiteral("text")).isEmpty());
    EXPECT_TRUE(store.string(QStringLiteral("absent")).isEmpty());
    store.setValue(QStringLiteral("text"), QVariant());
    EXPECT_FALSE(store.contains(QStringLiteral("text")));
}

TEST(UserDefaultsTest, AnotherProcessesChangesAreSeenAfterSync) {
    const QString path = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/shared.conf");
    UserDefaults mine(path);
    UserDefaults theirs(path);
    mine.setValue(QStringLiteral("fx.player.eqOn"), false);
    theirs.setValue(QStringLiteral("fx.player.eqOn"), true);
    mine.sync();
    EXPECT_TRUE(mine.boolean(QStringLiteral("fx.player.eqOn")));
}

TEST(MediaAppTest, IdentityAndSettingsPlace) {
    EXPECT_EQ(MediaApp::halcyrinID, QStringLiteral("org.halcyrin.Halcyrin"));
    EXPECT_EQ(MediaApp::name(), QStringLiteral("QuorvaneConverter"));
    EXPECT_FALSE(MediaApp::isHalcyrin());
    EXPECT_EQ(MediaApp::settingsPlace(), QStringLiteral("Settings"));

    MediaApp::declare(MediaApp::halcyrinID, QStringLiteral("Halcyrin"));
    EXPECT_TRUE(MediaApp::isHalcyrin());
    EXPECT_EQ(MediaApp::settingsPlace(), QStringLiteral("Media"));

    MediaApp::declare(QString(), QString());
    EXPECT_FALSE(MediaApp::isHalcyrin());
    EXPECT_EQ(MediaApp::name(), QStringLiteral("Halcyrin"));
}
