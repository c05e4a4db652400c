#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpeg.h"

#include "support/ConverterTestSupport.h"
#include <gtest/gtest.h>

namespace {

using ConverterTestSupport::target;

FFmpeg::Probe song(double seconds, std::optional<QString> sampleRate, std::optional<int> channels) {
    FFmpeg::Probe probe;
    FFmpeg::Stream sound;
    sound.index = 0;
    sound.codecType = QStringLiteral("audio");
    sound.sampleRate = sampleRate;
    sound.channels = channels;
    probe.streams.append(sound);
    probe.format = FFmpeg::Format{QStringLiteral("wav"), QString::number(seconds), std::nullopt};
    return probe;
}

TEST(ConverterEngineEstimateTest, NeedsSample) {
    for (const ConvertTarget& t : ConvertTarget::all()) {
        const bool expected = (t.output == ConvertKind::video && t.id != QLatin1String("mp4-copy")) ||
                              t.id == QLatin1String("gif");
        EXPECT_EQ(ConverterEngine::needsSample(t), expected) << t.id.toStdString();
    }
    EXPECT_TRUE(ConverterEngine::needsSample(target("webm")));
    EXPECT_FALSE(ConverterEngine::needsSample(target("mp3")));
}

struct SizeCase {
    const char* target;
    ConvertQuality quality;
    std::optional<QString> rate;
    std::optional<int> channels;
    qint64 bytes;
};

TEST(ConverterEngineEstimateTest, CalculatedSoundSizes) {
    const QString cd = QStringLiteral("44100");
    const SizeCase cases[] = {
        {"wav", ConvertQuality::balanced, cd, 2, 10'584'000},
        {"aiff", ConvertQuality::small, cd, 2, 10'584'000},
        {"flac", ConvertQuality::balanced, cd, 2, 6'350'400},
        {"alac", ConvertQuality::best, cd, 2, 6'350'400},
        {"mp3", ConvertQuality::balanced, cd, 2, 1'440'000},
        {"mp3", ConvertQuality::best, cd, 2, 2'400'000},
        {"mp3", ConvertQuality::small, cd, 2, 960'000},
        {"opus", ConvertQuality::best, cd, 2, 1'440'000},
        {"opus", ConvertQuality::balanced, cd, 2, 960'000},
        {"opus", ConvertQuality::small, cd, 2, 720'000},
        {"m4a", ConvertQuality::best, cd, 2, 1'920'000},
        {"m4a", ConvertQuality::balanced, cd, 2, 1'440'000},
        {"m4a", ConvertQuality::small, cd, 2, 960'000},
        // A missing sample rate counts as 44100 Hz, a missing channel count as stereo.
        {"wav", ConvertQuality::balanced, std::nullopt, 2, 10'584'000},
        {"wav", ConvertQuality::balanced, QStringLiteral("n/a"), 2, 10'584'000},
        {"wav", ConvertQuality::balanced, cd, std::nullopt, 10'584'000},
        {"wav", ConvertQuality::balanced, cd, 0, 5'292'000}, // at least one channel
        {"wav", ConvertQuality::balanced, cd, 1, 5'292'000},
        {"wav", ConvertQuality::balanced, QStringLiteral("48000"), 2, 11'520'000},
    };
    for (const SizeCase& c : cases) {
        const FFmpeg::Probe probe = song(60, c.rate, c.channels);
        EXPECT_EQ(
            ConverterEngine::calculatedSize(target(c.target), &probe, 123, ConvertOptions{c.quality, 0}),
            c.bytes)
            << c.target << " " << ConvertQuality(c.quality).id().toStdString();
    }
}

TEST(ConverterEngineEstimateTest, NothingToCalculate) {
    const ConvertOptions options;
    const FFmpeg::Probe withSound = song(60, QStringLiteral("44100"), 2);
    const FFmpeg::Probe noDuration = song(0, QStringLiteral("44100"), 2);
    FFmpeg::Probe silent = withSound;
    silent.streams.clear();

    // A rewrap keeps the size, with or without a probe.
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp4-copy"), nullptr, 5'000, options), 5'000);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp4-copy"), &withSound, 7, options), 7);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp3"), nullptr, 5'000, options), std::nullopt);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp3"), &noDuration, 5'000, options), std::nullopt);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp3"), &silent, 5'000, options), std::nullopt);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("mp4"), &withSound, 5'000, options), std::nullopt);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("gif"), &withSound, 5'000, options), std::nullopt);
    EXPECT_EQ(ConverterEngine::calculatedSize(target("png"), &withSound, 5'000, options), std::nullopt);
}

} // namespace
