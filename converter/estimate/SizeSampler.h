#pragma once

#include "converter/catalogue/ConvertOptions.h"
#include "converter/catalogue/ConvertTarget.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

namespace FFmpeg {
struct Probe;
}

// Measures the output size of a real video encode (or the animated GIF) by converting short
// pieces of the actual file with the actual settings and extending the result to the whole
// duration. `measure` blocks for up to three ffmpeg runs: call it from a background thread. The
// temporary outputs are always deleted; the ffmpeg runs are low priority and die with the
// application.
namespace SizeSampler {

// Length of each measured piece, seconds.
inline constexpr double sliceSeconds = 5.0;
// Every short piece starts with a full key frame, so extrapolated sizes are reduced by 12 %.
inline constexpr double keyframeCorrection = 0.88;
// Files up to this duration (seconds) are converted whole.
inline constexpr double wholeFileUpTo = 22.0;

struct Piece {
    // Seconds from the start; meaningless for the whole file.
    double start = 0;
    bool whole = false;
    bool operator==(const Piece& other) const = default;
};

// The pieces measured for a duration: the whole file up to 22 s, else three 5-second pieces
// centred on 20 %, 50 % and 80 %. Empty for a duration ≤ 0.
QList<Piece> pieces(double duration);
// The arguments of one piece's ffmpeg run (the executable not included).
QStringList arguments(const QString& input, const QString& output, const Piece& piece,
                      const ConvertTarget& target, const FFmpeg::Probe* probe, const ConvertOptions& options);
// The estimate from the measured sizes of `pieceCount` pieces totalling `total` bytes.
qint64 extrapolate(double duration, qint64 total, int pieceCount);

// The measured size in bytes, or none when ffmpeg is missing, fails or writes nothing readable.
// Setting `*stop` (from any thread) ends a run early; the result is then none.
std::optional<qint64> measure(const QString& input, double duration, const ConvertTarget& target,
                              const FFmpeg::Probe* probe, const ConvertOptions& options,
                              std::shared_ptr<std::atomic_bool> stop = {});

} // namespace SizeSampler
