#include "media/audio/PlayerAudioTap.h"
#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using AudioSignals::gainDb;
using AudioSignals::rms;
using AudioSignals::sine;

namespace {

PlayerAudioEffects::Bands band(int index, float db) {
    PlayerAudioEffects::Bands bands{};
    bands[static_cast<std::size_t>(index)] = db;
    return bands;
}

struct Rig {
    std::shared_ptr<PlayerAudioEffects> effects = std::make_shared<PlayerAudioEffects>();
    PlayerAudioTap tap{effects};
    explicit Rig(double rate) { tap.prepare(rate, true); }
};

// The level change, in dB, that the tap gives a sine of `frequency` (settled part only).
double measure(Rig& rig, double frequency, double rate, double seconds = 1.0) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    auto in = sine(frequency, rate, frames, 2, 0.25);
    auto out = in;
    rig.tap.process(out.data(), frames, 2);
    return gainDb(rms(in, 2, 0, frames / 2), rms(out, 2, 0, frames / 2));
}

// The plain form of the processing: sample by sample, the ten
// filters in band order, then gain and limit. The tap's faster loop must give the same numbers.
struct Reference {
    std::array<PlayerAudioTap::Coefficients, 10> c{};
    std::array<std::array<float, 2>, 10> s{};
    float gain = 1;
    void set(const PlayerAudioEffects::Bands& bands, double rate, float g) {
        for (int b = 0; b < 10; ++b)
            c[std::size_t(b)] = PlayerAudioTap::design(b, bands[std::size_t(b)], rate);
        gain = g;
    }
    void run(std::vector<float>& mono) {
        for (float& x : mono) {
            for (int b = 0; b < 10; ++b) {
                auto& k = c[std::size_t(b)];
                auto& m = s[std::size_t(b)];
                const float y = k[0] * x + m[0];
                m[0] = k[1] * x - k[3] * y + m[1];
                m[1] = k[2] * x - k[4] * y;
                x = y;
            }
            x = PlayerAudioTap::softLimit(x * gain);
        }
    }
};

} // namespace

TEST(PlayerAudioTapTest, NeutralSettingsPassAudioThroughBitForBit) {
    Rig rig(48000);
    auto in = sine(440, 48000, 4800, 2, 0.99);
    in[7] = 1.5f; // even an over-range sample is left alone
    auto out = in;
    rig.tap.process(out.data(), 4800, 2);
    EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(float)), 0);
    EXPECT_FALSE(rig.tap.active());
}

TEST(PlayerAudioTapTest, UnusableFormatIsLeftUntouched) {
    auto effects = std::make_shared<PlayerAudioEffects>();
    effects->setGain(2);
    PlayerAudioTap tap(effects);
    tap.prepare(48000, false);
    auto in = sine(440, 48000, 480, 1, 0.3);
    auto out = in;
    tap.process(out.data(), 480, 1);
    EXPECT_EQ(in, out);
}

TEST(PlayerAudioTapTest, SoftLimit) {
    struct Case {
        float in;
        float expected;
    };
    const Case cases[] = {
        {0.0f, 0.0f},
        {0.5f, 0.5f},
        {0.8f, 0.8f},
        {-0.8f, -0.8f},
        {2.0f, 0.8f + 0.2f * std::tanh(6.0f)},
        {-2.0f, -(0.8f + 0.2f * std::tanh(6.0f))},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(PlayerAudioTap::softLimit(c.in), c.expected) << c.in;
    for (float x : {0.81f, 1.0f, 2.0f, 3.0f, 10.0f, 1e30f, INFINITY}) {
        EXPECT_LT(PlayerAudioTap::softLimit(x), 1.0f) << x;
        EXPECT_GT(PlayerAudioTap::softLimit(-x), -1.0f) << x;
        EXPECT_GT(PlayerAudioTap::softLimit(x), 0.8f) << x;
    }
}

TEST(PlayerAudioTapTest, BoostedFullScaleSineStaysUnderOne) {
    Rig rig(48000);
    rig.effects->setGain(2);
    rig.effects->setBands(band(5, 12)); // and the equaliser pushing further
    auto out = sine(1000, 48000, 48000, 2, 1.0);
    rig.tap.process(out.data(), 48000, 2);
    EXPECT_LT(AudioSignals::peak(out, 2, 0), 1.0);
    EXPECT_GT(AudioSignals::peak(out, 2, 0), 0.999);
}

TEST(PlayerAudioTapTest, GainTwoDoublesAQuietSine) {
    Rig rig(48000);
    rig.effects->setGain(2);
    const auto in = sine(1000, 48000, 4800, 2, 0.3);
    auto out = in;
    rig.tap.process(out.data(), 4800, 2);
    for (std::size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(out[i], in[i] * 2.0f) << i;
    EXPECT_NEAR(AudioSignals::peak(out, 2, 1), 0.6, 1e-4);
}

TEST(PlayerAudioTapTest, EqualiserLevelsAt48kHz) {
    struct Case {
        int band;
        float db;
        double frequency;
        double expected;
        double tolerance;
    };
    const Case cases[] = {
        {5, 6, 1000, 6.0, 0.05}, // the peak of the 1K bell
        {5, 6, 31, 0.0, 0.2},    // far below it
        {5, 6, 16000, 0.0, 0.2}, // far above it
        {5, -6, 1000, -6.0, 0.05},
        {0, 6, 5, 6.0, 0.3},     // low shelf: everything well below 31 Hz is raised ...
        {0, 6, 10, 5.0, 0.9},    // ... not just a bell around 31 Hz
        {0, 6, 1000, 0.0, 0.1},  // ... and the mids are left alone
        {9, 6, 20000, 6.0, 0.6}, // high shelf
        {9, 6, 1000, 0.0, 0.1},
    };
    for (const Case& c : cases) {
        Rig rig(48000);
        rig.effects->setBands(band(c.band, c.db));
        const double seconds = c.frequency < 20 ? 4.0 : 1.0;
        EXPECT_NEAR(measure(rig, c.frequency, 48000, seconds), c.expected, c.tolerance)
            << "band " << c.band << " at " << c.frequency << " Hz";
    }
}

TEST(PlayerAudioTapTest, SixteenKiloHertzBandIsBypassedAt32kHz) {
    for (float db : {-12.0f, 6.0f, 12.0f}) {
        EXPECT_EQ(PlayerAudioTap::design(9, db, 32000), (PlayerAudioTap::Coefficients{1, 0, 0, 0, 0}));
        Rig rig(32000);
        rig.effects->setBands(band(9, db));
        const auto in = sine(12000, 32000, 3200, 2, 0.5);
        auto out = in;
        rig.tap.process(out.data(), 3200, 2);
        EXPECT_EQ(in, out) << db;
    }
    // At 44.1 kHz every band is active.
    EXPECT_NE(PlayerAudioTap::design(9, 6, 44100), (PlayerAudioTap::Coefficients{1, 0, 0, 0, 0}));
}

TEST(PlayerAudioTapTest, EightChannelsAreProcessedAndTheNinthPassesThrough) {
    for (int channels : {7, 8, 9, 12}) {
        Rig rig(48000);
        rig.effects->setGain(2);
        const auto in = sine(440, 48000, 960, channels, 0.3);
        auto out = in;
        rig.tap.process(out.data(), 960, channels);
        for (int c = 0; c < channels; ++c) {
            const double expected = c < 8 ? 2 * rms(in, channels, c) : rms(in, channels, c);
            EXPECT_NEAR(rms(out, channels, c), expected, 1e-5) << channels << " channels, channel " << c;
        }
        for (std::size_t i = 8; i < out.size() && channels > 8; i += std::size_t(channels))
            ASSERT_EQ(out[i], in[i]);
    }
}

TEST(PlayerAudioTapTest, MatchesTheSampleBySampleAlgorithm) {
    const auto bands = PlayerAudioEffects::presets()[4].bands; // Loudness: every kind of filter
    Rig rig(44100);
    rig.effects->setGain(1.5f);
    rig.effects->setBands(bands);
    Reference reference;
    reference.set(bands, 44100, 1.5f);
    auto mono = sine(300, 44100, 4410, 1, 0.5);
    auto expected = mono;
    reference.run(expected);
    rig.tap.process(mono.data(), 4410, 1);
    for (std::size_t i = 0; i < mono.size(); ++i)
        ASSERT_FLOAT_EQ(mono[i], expected[i]) << i;
}

TEST(PlayerAudioTapTest, BandChangeBetweenBuffersKeepsTheFilterState) {
    const double rate = 48000;
    Rig rig(rate);
    Reference reference;
    const auto first = band(5, 6);
    auto second = first;
    second[3] = -4; // another band moves while the 1K band keeps its state
    rig.effects->setBands(first);
    reference.set(first, rate, 1);

    auto signal = sine(1000, rate, 9600, 1, 0.25);
    std::vector<float> a(signal.begin(), signal.begin() + 4800), b(signal.begin() + 4800, signal.end());
    auto refA = a, refB = b;
    rig.tap.process(a.data(), a.size(), 1);
    reference.run(refA);

    rig.effects->setBands(second);
    reference.set(second, rate, 1); // new coefficients, same state
    auto fresh = b;
    rig.tap.process(b.data(), b.size(), 1);
    reference.run(refB);
    for (std::size_t i = 0; i < b.size(); ++i)
        ASSERT_FLOAT_EQ(b[i], refB[i]) << i;

    // A tap that started afresh would differ at the start of the buffer.
    Rig restarted(rate);
    restarted.effects->setBands(second);
    restarted.tap.process(fresh.data(), fresh.size(), 1);
    EXPECT_GT(std::fabs(fresh[1] - b[1]), 1e-3);
    // ... and the new setting acts within that very buffer.
    Rig steady(rate);
    steady.effects->setBands(second);
    EXPECT_NEAR(gainDb(rms(signal, 1, 0, 7200), rms(b, 1, 0, 2400)), measure(steady, 1000, rate), 0.05);
}

TEST(PlayerAudioTapTest, PrepareResetsStateAndRate) {
    Rig rig(48000);
    rig.effects->setBands(band(5, 6));
    auto noise = sine(1000, 48000, 480, 1, 0.5);
    rig.tap.process(noise.data(), 480, 1);
    rig.tap.prepare(32000, true);
    EXPECT_EQ(rig.tap.sampleRate(), 32000);
    Rig fresh(32000);
    fresh.effects->setBands(band(5, 6));
    auto a = sine(700, 32000, 320, 1, 0.5);
    auto b = a;
    rig.tap.process(a.data(), 320, 1);
    fresh.tap.process(b.data(), 320, 1);
    EXPECT_EQ(a, b);
}

TEST(PlayerAudioTapTest, BrokenSamplesDoNotSilenceTheRestOfTheStream) {
    Rig rig(48000);
    rig.effects->setBands(band(5, 6));
    std::vector<float> bad(64, NAN);
    rig.tap.process(bad.data(), 64, 1);
    auto out = sine(1000, 48000, 4800, 1, 0.25);
    rig.tap.process(out.data(), 4800, 1);
    for (float x : out)
        ASSERT_TRUE(std::isfinite(x));
    EXPECT_GT(rms(out, 1, 0, 2400), 0.3);
}
