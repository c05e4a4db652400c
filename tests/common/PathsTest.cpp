#include "common/Paths.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(PathsTest, FollowsTheXdgVariables) {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    EXPECT_EQ(Paths::logFolder(), state + QStringLiteral("/Halcyrin/logs"));
    EXPECT_EQ(Paths::playbackCache(), cache + QStringLiteral("/Halcyrin/Playback"));
    EXPECT_EQ(Paths::thumbnailCache(), cache + QStringLiteral("/Halcyrin/Thumbnails"));
    EXPECT_EQ(Paths::applicationSupport(), data + QStringLiteral("/Halcyrin"));
    EXPECT_EQ(Paths::toolFolder(), Paths::resources() + QStringLiteral("/ffmpeg"));
}

TEST(PathsTest, RelativeOrMissingVariablesFallBackToHome) {
    qputenv("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(Paths::cacheHome(), QDir::homePath() + QStringLiteral("/.cache"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(Paths::stateHome(), QDir::homePath() + QStringLiteral("/.local/state"));
}

TEST(PathsTest, HelpersSitBesideTheResources) {
    EXPECT_EQ(Paths::helpers(),
              QDir::cleanPath(Paths::resources() + QStringLiteral("/../../lib/quorvane-converter")));
}
