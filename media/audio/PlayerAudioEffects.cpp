#include "media/audio/PlayerAudioEffects.h"

#include <algorithm>
#include <cmath>

const std::array<PlayerAudioEffects::Preset, 12>& PlayerAudioEffects::presets() {
    static const std::array<Preset, 12> table{{
        {"Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"Bass Boost", {6, 5, 4, 2, 0, 0, 0, 0, 0, 0}},
        {"Treble Boost", {0, 0, 0, 0, 0, 1, 2, 4, 5, 6}},
        {"Voice / Dialogue", {-4, -3, -1, 1, 3, 4, 4, 2, 0, -1}},
        {"Loudness", {5, 4, 2, 0, -1, 0, 1, 3, 4, 4}},
        {"Laptop Speakers", {-2, 0, 3, 3, 1, 0, 0, 1, 2, 2}},
        {"Night (Soft Bass)", {-6, -5, -3, -1, 1, 2, 2, 1, 0, -1}},
        {"Movie", {4, 3, 1, 0, 0, 2, 3, 2, 1, 1}},
        {"Music", {3, 2, 1, 0, -1, 0, 1, 2, 3, 3}},
        {"Rock", {4, 3, 2, 0, -1, -1, 1, 2, 3, 4}},
        {"Pop", {-1, 1, 3, 4, 3, 0, -1, -1, 0, 1}},
        {"Classical", {3, 2, 1, 0, 0, 0, -1, -1, 1, 2}},
    }};
    return table;
}

void PlayerAudioEffects::setGain(float gain) {
    // A NaN or out-of-range factor would reach every sample; keep the boost within what the
    // player offers.
    const float safe = std::isfinite(gain) ? std::clamp(gain, 1.0f, maxBoost) : 1.0f;
    std::lock_guard guard(m_lock);
    m_params.gain = safe;
    m_version.store(++m_params.version, std::memory_order_release);
}

void PlayerAudioEffects::setBands(const std::optional<Bands>& bands) {
    Bands safe = bands.value_or(Bands{});
    for (float& band : safe) {
        if (!std::isfinite(band))
            band = 0; // a NaN gain would poison the filter state for the rest of the item
    }
    std::lock_guard guard(m_lock);
    m_params.bands = safe;
    m_version.store(++m_params.version, std::memory_order_release);
}

PlayerAudioEffects::Params PlayerAudioEffects::params() const {
    std::lock_guard guard(m_lock);
    return m_params;
}

bool PlayerAudioEffects::changedSince(int64_t known, Params& out) const {
    if (m_version.load(std::memory_order_acquire) == known)
        return false;
    std::lock_guard guard(m_lock);
    out = m_params;
    return true;
}
