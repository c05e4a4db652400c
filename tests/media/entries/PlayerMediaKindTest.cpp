#include "media/entries/PlayerMediaKind.h"

#include <QSet>

#include <gtest/gtest.h>

#include <unordered_set>

TEST(PlayerMediaKindTest, rawValuesRoundTripAndNothingElseDecodes) {
    const struct {
        PlayerMediaKind kind;
        const char* raw;
    } rows[] = {{PlayerMediaKind::video, "video"},
                {PlayerMediaKind::audio, "audio"},
                {PlayerMediaKind::image, "image"}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.kind.rawValue(), QString::fromLatin1(row.raw));
        EXPECT_EQ(PlayerMediaKind::fromRawValue(QString::fromLatin1(row.raw)), row.kind);
    }
    for (const char* other : {"", "Video", "AUDIO", " image", "movie", "picture"})
        EXPECT_FALSE(PlayerMediaKind::fromRawValue(QString::fromLatin1(other))) << other;
}

TEST(PlayerMediaKindTest, hashable) {
    const QSet<PlayerMediaKind> set{PlayerMediaKind::video, PlayerMediaKind::audio, PlayerMediaKind::video};
    EXPECT_EQ(set.size(), 2);
    const std::unordered_set<PlayerMediaKind> std{PlayerMediaKind::image, PlayerMediaKind::image};
    EXPECT_EQ(std.size(), 1u);
}
