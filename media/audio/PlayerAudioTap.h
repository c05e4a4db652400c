#pragma once

#include "media/audio/PlayerAudioEffects.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// The per-stream audio processor: ten biquad filters (a low shelf, eight peaking bands, a high
// shelf), the boost factor and a soft limit, applied in place to interleaved 32-bit float samples.
// Channels 0 ... 7 are processed; further channels pass through unchanged. One streaming thread
// calls `prepare` and `process` (never concurrently); the parameters come from the shared
// `PlayerAudioEffects`, read once per buffer. All state is preallocated: `process` allocates
// nothing and recomputes coefficients only when the parameters changed.
class PlayerAudioTap {
public:
    static constexpr int maxChannels = 8;
    static constexpr int bandCount = PlayerAudioEffects::bandCount;
    // Normalised coefficients of one filter: b0, b1, b2, a1, a2.
    using Coefficients = std::array<float, 5>;

    explicit PlayerAudioTap(std::shared_ptr<const PlayerAudioEffects> effects);

    // The stream's format is known: `usable` is true for 32-bit float samples. Resets the filter
    // state and forces new coefficients at the next buffer.
    void prepare(double sampleRate, bool usable);

    // Processes `frames` interleaved frames of `channels` samples in place.
    void process(float* samples, std::size_t frames, int channels);

    double sampleRate() const { return m_sampleRate; }
    bool usable() const { return m_usable; }
    // True when the last buffer needed processing (boost above 1 or some band not 0).
    bool active() const { return m_gain != 1.0f || m_eqOn; }

    // The biquad of band `band` at `gainDb` for `sampleRate` (the audio EQ cookbook's formulas);
    // the identity (1, 0, 0, 0, 0) for 0 dB and for bands at or above 0.45 × the sample rate.
    static Coefficients design(int band, float gainDb, double sampleRate);
    // |x| above 0.8 approaches 1 along a tanh curve, keeping the sign; never reaches 1.
    static float softLimit(float x);

private:
    void refresh();
    void filterFrames(float* samples, std::size_t frames, int channels, int processed);

    std::shared_ptr<const PlayerAudioEffects> m_effects;
    double m_sampleRate = 44100;
    bool m_usable = false;
    int64_t m_version = -1;
    float m_gain = 1.0f;
    bool m_eqOn = false;
    std::array<Coefficients, bandCount> m_coefficients{};
    // Filter state (s1, s2) per channel and band: channel c, band b at [c][b].
    std::array<std::array<std::array<float, 2>, bandCount>, maxChannels> m_memory{};
};
