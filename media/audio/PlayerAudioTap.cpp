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

// One channel through the ten filters in band order. Running each filter over the whole buffer
// keeps its coefficients and state in registers; every sample still meets the filters in the
// same order with the same arithmetic as a sample-by-sample loop, so the result is identical.
void PlayerAudioTap::filterChannel(float* samples, std::size_t frames, int channels, int channel) {
    const std::size_t stride = static_cast<std::size_t>(channels);
    auto& memory = m_memory[static_cast<std::size_t>(channel)];
    for (int b = 0; b < bandCount; ++b) {
        const Coefficients& c = m_coefficients[static_cast<std::size_t>(b)];
        if (isIdentity(c))
            continue; // y = x and the state stays 0
        const float b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];
        float s1 = memory[static_cast<std::size_t>(b)][0];
        float s2 = memory[static_cast<std::size_t>(b)][1];
        float* p = samples + channel;
        for (std::size_t i = 0; i < frames; ++i, p += stride) {
            const float x = *p;
            const float y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            *p = y;
        }
        // A NaN or infinite sample from a broken decoder would otherwise silence this channel
        // until the next item; start the filter afresh instead.
        if (!std::isfinite(s1) || !std::isfinite(s2))
            s1 = s2 = 0;
        memory[static_cast<std::size_t>(b)] = {s1, s2};
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
    if (m_eqOn) {
        for (int channel = 0; channel < processed; ++channel)
            filterChannel(samples, frames, channels, channel);
    }
    const float gain = m_gain;
    const std::size_t stride = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = samples + i * stride;
        for (int channel = 0; channel < processed; ++channel)
            frame[channel] = softLimit(frame[channel] * gain);
    }
}
