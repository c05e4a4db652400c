#include "support/AudioSignals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace AudioSignals {

std::vector<float> sine(double frequency, double sampleRate, std::size_t frames, int channels,
                        double amplitude) {
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const float value = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * frequency * double(i) / sampleRate));
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = value;
    }
    return samples;
}

double rms(const std::vector<float>& samples, int channels, int channel, std::size_t skipFrames) {
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = skipFrames; i < frames; ++i, ++count) {
        const double x = samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
        sum += x * x;
    }
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

double peak(const std::vector<float>& samples, int channels, int channel, std::size_t skipFrames) {
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    double best = 0;
    for (std::size_t i = skipFrames; i < frames; ++i)
        best = std::max(
            best, double(std::fabs(
                      samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)])));
    return best;
}

double gainDb(double in, double out) {
    return 20 * std::log10(out / in);
}

} // namespace AudioSignals
