#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

// The boost and equaliser parameters of one player window, shared between the player (the writer,
// on the main thread) and the audio taps of its current item (readers, on GStreamer's streaming
// threads). Writers hold the lock for an assignment and a counter increment; a reader compares
// the version counter and copies the parameters only when they changed, so the audio thread never
// waits for more than a few stores. Owned through a shared pointer by the window and by every tap
// that reads it. Free of any framework so that tests and benchmarks reach it directly.
class PlayerAudioEffects {
public:
    static constexpr int bandCount = 10;
    using Bands = std::array<float, bandCount>;

    // The highest boost factor the player offers (200 %).
    static constexpr float maxBoost = 2.0f;
    // Centre (peaking bands) or corner (shelves) frequencies in Hz, lowest first.
    static constexpr Bands frequencies{31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    static constexpr std::array<std::string_view, bandCount> bandLabels{"31", "62", "125", "250", "500",
                                                                        "1K", "2K", "4K",  "8K",  "16K"};

    struct Preset {
        std::string_view name;
        Bands bands; // dB, in band order
    };
    // The equaliser presets, in menu order ("Flat" first).
    static const std::array<Preset, 12>& presets();

    struct Params {
        float gain = 1.0f;   // linear boost, >= 1
        Bands bands{};       // dB; all 0 means the equaliser is off
        int64_t version = 0; // grows with every change
    };

    // Main thread. The factor is kept within 1 ... maxBoost; a non-finite one counts as 1.
    void setGain(float gain);
    // Ten gains in dB, or none (the equaliser is off) for ten zeros; a non-finite gain counts as 0.
    void setBands(const std::optional<Bands>& bands);

    // Any thread: a copy of the current parameters.
    Params params() const;
    // Audio thread: when the version differs from `known`, copies the parameters into `out` and
    // returns true; otherwise returns false without taking the lock.
    bool changedSince(int64_t known, Params& out) const;

private:
    mutable std::mutex m_lock;
    Params m_params;
    // Mirrors m_params.version so the common case (nothing changed) needs no lock at all.
    std::atomic<int64_t> m_version{0};
};
