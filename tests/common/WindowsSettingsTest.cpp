#include "common/WindowsSettings.h"
#include "common/UserDefaults.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

UserDefaults& freshStore() {
    static UserDefaults store(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/windows.conf"));
    return store;
}

} // namespace

TEST(WindowsSettingsTest, EmptyStoreGivesTheDefaults) {
    WindowsSettings settings(freshStore());
    EXPECT_EQ(settings.string(QStringLiteral("player.endAction")), QStringLiteral("next"));
    EXPECT_EQ(settings.doubleValue(QStringLiteral("player.longSkip")), 10.0);
    EXPECT_EQ(settings.doubleValue(QStringLiteral("player.slideSeconds")), 4.0);
    EXPECT_TRUE(settings.boolValue(QStringLiteral("player.resume")));
    EXPECT_EQ(settings.doubleValue(QStringLiteral("no.such.key")), 0.0);
    EXPECT_FALSE(settings.value(QStringLiteral("no.such.key")).isValid());
}

TEST(WindowsSettingsTest, SetStoresUnderThePrefixAndCountsRevisions) {
    WindowsSettings settings(freshStore());
    QSignalSpy spy(&settings, &WindowsSettings::revisionChanged);
    settings.set(QStringLiteral("player.endAction"), QStringLiteral("stop"));
    EXPECT_EQ(freshStore().string(QStringLiteral("wx.player.endAction")), QStringLiteral("stop"));
    EXPECT_EQ(settings.revision(), 1);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(settings.string(QStringLiteral("player.endAction")), QStringLiteral("stop"));

    settings.set(QStringLiteral("player.endAction"), QVariant());
    EXPECT_FALSE(freshStore().contains(QStringLiteral("wx.player.endAction")));
    EXPECT_EQ(settings.string(QStringLiteral("player.endAction")), QStringLiteral("next"));
    EXPECT_EQ(settings.revision(), 2);
}

TEST(WindowsSettingsTest, StoredValueOfAnotherTypeReadsNeutral) {
    WindowsSettings settings(freshStore());
    freshStore().setValue(QStringLiteral("wx.player.resume"), QStringLiteral("yes"));
    EXPECT_FALSE(settings.boolValue(QStringLiteral("player.resume")));
    freshStore().setValue(QStringLiteral("wx.player.longSkip"), QStringLiteral("10"));
    EXPECT_EQ(settings.doubleValue(QStringLiteral("player.longSkip")), 0.0);
    freshStore().setValue(QStringLiteral("wx.player.endAction"), 3);
    EXPECT_EQ(settings.string(QStringLiteral("player.endAction")), QString());
}

TEST(WindowsSettingsTest, SharedUsesTheMediaStore) {
    WindowsSettings::shared().set(QStringLiteral("player.longSkip"), 30.0);
    EXPECT_EQ(UserDefaults::media().number(QStringLiteral("wx.player.longSkip")), 30.0);
}
