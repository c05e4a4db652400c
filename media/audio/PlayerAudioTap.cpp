#include "media/audio/PlayerAudioTap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

// The largest float below 1: at |x| above about 2.6 tanh rounds to 1 in single precision, and
// the limit promises to stay under full scale.
constexpr float kBelowOne = 0.99999994f;

bool isIdentity(const PlayerAudioTap::Coefficients& c) {
    return c[0] == 1.0f && c[1] == 0.0f && c[2] == 0.0f && c[3] == 0.0f && c[4] == 0.0f;
}

// Decaying filter state turns denormal on silence, which costs x86 cores a hundredfold per
// operation; flush them to zero while we process, and leave the thread's mode as we found it.
class FlushDenormals {
public:
#if defined(__SSE__)
    FlushDenormals()
        : m_saved(_mm_getcsr()) {
        _mm_setcsr(m_saved | 0x8040); // flush-to-zero and denormals-are-zero
    }
    ~FlushDenormals() {
        _mm_setcsr(m_saved);
    }

private:
    unsigned int m_saved;
#endif
};

} // namespace

PlayerAudioTap::PlayerAudioTap(std::shared_ptr<const PlayerAudioEffects> effects)
    : m_effects(std::move(effects)) {
    for (auto& c : m_coefficients)
        c = {1, 0, 0, 0, 0};
}

void PlayerAudioTap::prepare(double sampleRate, bool usable) {
    m_sampleRate = sampleRate;
    m_usable = usable;
    m_version = -1;
    m_memory = {};
}

PlayerAudioTap::Coefficients PlayerAudioTap::design(int band, float gainDb, double sampleRate) {
    const double f0 = PlayerAudioEffects::frequencies[static_cast<std::size_t>(band)];
    if (gainDb == 0 || !(f0 < 0.45 * sampleRate))
        return {1, 0, 0, 0, 0};
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2 * std::numbers::pi * f0 / sampleRate;
    const double cosW = std::cos(w0);
    const double sinW = std::sin(w0);
    double b0, b1, b2, a0, a1, a2;
    if (band == 0) {
        const double beta = 2 * std::sqrt(a) * (sinW / 2) * std::numbers::sqrt2;
        b0 = a * ((a + 1) - (a - 1) * cosW + beta);
        b1 = 2 * a * ((a - 1) - (a + 1) * cosW);
        b2 = a * ((a + 1) - (a - 1) * cosW - beta);
        a0 = (a + 1) + (a - 1) * cosW + beta;
        a1 = -2 * ((a - 1) + (a + 1) * cosW);
        a2 = (a + 1) + (a - 1) * cosW - beta;
    } else if (band == bandCount - 1) {
        const double beta = 2 * std::sqrt(a) * (sinW / 2) * std::numbers::sqrt2;
        b0 = a * ((a + 1) + (a - 1) * cosW + beta);
        b1 = -2 * a * ((a - 1) + (a + 1) * cosW);
        b2 = a * ((a + 1) + (a - 1) * cosW - beta);
        a0 = (a + 1) - (a - 1) * cosW + beta;
        a1 = 2 * ((a - 1) - (a + 1) * cosW);
        a2 = (a + 1) - (a - 1) * cosW - beta;
    } else {
        const double alpha = sinW / 2.82;
        b0 = 1 + alpha * a;
        b1 = -2 * cosW;
        b2 = 1 - alpha * a;
        a0 = 1 + alpha / a;
        a1 = -2 * cosW;
        a2 = 1 - alpha / a;
    }
    return {static_cast<float>(b0 / a0), static_cast<float>(b1 / a0), static_cast<float>(b2 / a0),
            static_cast<float>(a1 / a0), static_cast<float>(a2 / a0)};
}

float PlayerAudioTap::softLimit(float x) {
    const float magnitude = std::fabs(x);
    if (!(magnitude > 0.8f))
        return x;
    const float limited = std::min(0.8f + 0.2f * std::tanh((magnitude - 0.8f) / 0.2f), kBelowOne);
    return std::copysign(limited, x);
}

void PlayerAudioTap::refresh() {
    PlayerAudioEffects::Params params;
    if (!m_effects || !m_effects->changedSince(m_version, params))
        return;
    m_version = params.version;
    m_gain = params.gain;
    m_eqOn = std::any_of(params.bands.begin(), params.bands.end(), [](float b) { return b != 0; });
    for (int b = 0; b < bandCount; ++b)
        m_coefficients[static_cast<std::size_t>(b)] =
            design(b, params.bands[static_cast<std::size_t>(b)], m_sampleRate);
}

// Every processed channel of every frame through the active filters in band order. A sample
// meets the filters one after the other, but successive samples and channels do not wait for each
// other, so the core overlaps their filters instead of waiting on one filter's feedback.
void PlayerAudioTap::filterFrames(float* samples, std::size_t frames, int channels, int processed) {
    // Only the filters that do something, in band order (an identity band leaves y = x, state 0).
    std::array<int, bandCount> active{};
    int count = 0;
    for (int b = 0; b < bandCount; ++b) {
        if (!isIdentity(m_coefficients[static_cast<std::size_t>(b)]))
            active[static_cast<std::size_t>(count++)] = b;
    }
    const std::size_t stride = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = samples + i * stride;
        for (int channel = 0; channel < processed; ++channel) {
            auto& memory = m_memory[static_cast<std::size_t>(channel)];
            float x = frame[channel];
            for (int k = 0; k < count; ++k) {
                const int b = active[static_cast<std::size_t>(k)];
                const Coefficients& c = m_coefficients[static_cast<std::size_t>(b)];
                auto& m = memory[static_cast<std::size_t>(b)];
                const float y = c[0] * x + m[0];
                m[0] = c[1] * x - c[3] * y + m[1];
                m[1] = c[2] * x - c[4] * y;
                x = y;
            }
            frame[channel] = x;
        }
    }
    // A NaN or infinite sample from a broken decoder would otherwise silence a channel until the
    // next item; start its filters afresh instead.
    for (int channel = 0; channel < processed; ++channel) {
        for (auto& m : m_memory[static_cast<std::size_t>(channel)]) {
            if (!std::isfinite(m[0]) || !std::isfinite(m[1]))
                m = {0, 0};
        }
    }
}

void PlayerAudioTap::process(float* samples, std::size_t frames, int channels) {
    if (!m_usable || samples == nullptr || frames == 0)
        return;
    channels = std::max(channels, 1);
    refresh();
    if (m_gain == 1.0f && !m_eqOn)
        return;

    FlushDenormals flush;
    const int processed = std::min(channels, maxChannels);
    if (m_eqOn)
        filterFrames(samples, frames, channels, processed);
    const float gain = m_gain;
    const std::size_t stride = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = samples + i * stride;
        for (int channel = 0; channel < processed; ++channel)
            frame[channel] = softLimit(frame[channel] * gain);
    }
}
