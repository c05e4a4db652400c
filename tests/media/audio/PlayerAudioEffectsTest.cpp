#include "media/audio/PlayerAudioEffects.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PlayerAudioEffectsTest, StartsNeutral) {
    PlayerAudioEffects effects;
    const auto params = effects.params();
    EXPECT_EQ(params.gain, 1.0f);
    EXPECT_EQ(params.bands, PlayerAudioEffects::Bands{});
    EXPECT_EQ(params.version, 0);
}

TEST(PlayerAudioEffectsTest, EveryChangeGrowsTheVersion) {
    PlayerAudioEffects effects;
    PlayerAudioEffects::Params seen;
    EXPECT_FALSE(effects.changedSince(0, seen));
    effects.setGain(1.5f);
    EXPECT_TRUE(effects.changedSince(0, seen));
    EXPECT_EQ(seen.version, 1);
    EXPECT_EQ(seen.gain, 1.5f);
    EXPECT_FALSE(effects.changedSince(1, seen));

    effects.setBands(PlayerAudioEffects::presets()[1].bands);
    effects.setBands(std::nullopt);
    EXPECT_TRUE(effects.changedSince(1, seen));
    EXPECT_EQ(seen.version, 3);
    EXPECT_EQ(seen.bands, PlayerAudioEffects::Bands{});
}

TEST(PlayerAudioEffectsTest, UnsafeValuesAreKeptInRange) {
    struct Case {
        float in;
        float stored;
    };
    for (const Case& c :
         {Case{1.25f, 1.25f}, Case{0.5f, 1.0f}, Case{3.0f, 2.0f}, Case{NAN, 1.0f}, Case{INFINITY, 1.0f}}) {
        PlayerAudioEffects effects;
        effects.setGain(c.in);
        EXPECT_EQ(effects.params().gain, c.stored) << c.in;
    }
    PlayerAudioEffects effects;
    effects.setBands(PlayerAudioEffects::Bands{NAN, 3, -INFINITY, 0, 0, 0, 0, 0, 0, -2});
    EXPECT_EQ(effects.params().bands, (PlayerAudioEffects::Bands{0, 3, 0, 0, 0, 0, 0, 0, 0, -2}));
}

TEST(PlayerAudioEffectsTest, PresetTable) {
    const auto& presets = PlayerAudioEffects::presets();
    const char* names[] = {"Flat",
                           "Bass Boost",
                           "Treble Boost",
                           "Voice / Dialogue",
                           "Loudness",
                           "Laptop Speakers",
                           "Night (Soft Bass)",
                           "Movie",
                           "Music",
                           "Rock",
                           "Pop",
                           "Classical"};
    ASSERT_EQ(presets.size(), std::size(names));
    for (std::size_t i = 0; i < presets.size(); ++i)
        EXPECT_EQ(presets[i].name, names[i]);
    EXPECT_EQ(presets[3].bands, (PlayerAudioEffects::Bands{-4, -3, -1, 1, 3, 4, 4, 2, 0, -1}));
    EXPECT_EQ(PlayerAudioEffects::bandLabels[5], "1K");
    EXPECT_EQ(PlayerAudioEffects::frequencies[9], 16000.0f);
    EXPECT_EQ(PlayerAudioEffects::maxBoost, 2.0f);
}
