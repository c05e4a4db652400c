#pragma once

#include <cstddef>
#include <vector>

// Generated test signals and level measurements for the audio effects tests: interleaved 32-bit
// float buffers, as the player's audio element sees them.
namespace AudioSignals {

// `frames` frames of a sine of `frequency` Hz and `amplitude` on every one of `channels` channels.
std::vector<float> sine(double frequency, double sampleRate, std::size_t frames, int channels,
                        double amplitude);

// Root-mean-square level of one channel, skipping the first `skipFrames` frames (filter settling).
double rms(const std::vector<float>& samples, int channels, int channel, std::size_t skipFrames = 0);

// The largest |sample| of one channel.
double peak(const std::vector<float>& samples, int channels, int channel, std::size_t skipFrames = 0);

// 20·log10(out / in).
double gainDb(double in, double out);

} // namespace AudioSignals
