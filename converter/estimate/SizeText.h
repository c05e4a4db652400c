#pragma once

#include "converter/queue/ConverterModel.h"

#include <QString>

#include <optional>

// The converter's size texts, shared by the window and the command line so both word sizes the
// same way. Pure functions; any thread.
namespace SizeText {

// A byte count in decimal units like a file manager shows it: "0 bytes", "1 byte",
// "999 bytes", "1 kB", "999 kB", "1.4 MB", "1.23 GB", "4.5 TB". kB are whole, MB have one
// decimal and GB/TB two, trailing zeros dropped; a value that rounds to 1000 moves up a unit.
QString bytes(qint64 count);

// The size line of the chosen format's button in a kind's format grid.
struct SizeLine {
    // "estimating…", "can't tell", "no sound to save", "at least 3 MB", "about 3 MB".
    QString amount;
    // "same size", "12% bigger", "40% smaller", or empty.
    QString comparison;
    // The two parts joined with " · ".
    QString text() const;
};

// From a kind's estimated total for a target and its original total. `videoToSound` is true
// when the kind is video and the target writes sound (the "no sound to save" case).
SizeLine sizeLine(const ConverterModel::Total& total, qint64 originalTotal, bool videoToSound);
// The chosen format's size line for a kind of the model; empty when the kind has no choice.
SizeLine sizeLine(const ConverterModel& model, ConvertKind kind);

// The caption under a kind's heading: "now 12 MB · click a format to see its size".
QString caption(qint64 originalTotal);

// A waiting item's line: "12 MB → MP4 (H.264)", then for video and audio ", about 3 MB" or
// " · estimating size…". `target` none gives "?".
QString itemLine(const ConverterModel::Item& item, const std::optional<ConvertTarget>& target,
                 std::optional<qint64> estimate, bool estimating);
QString itemLine(const ConverterModel& model, const ConverterModel::Item& item);

} // namespace SizeText
