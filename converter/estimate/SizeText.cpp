#include "converter/estimate/SizeText.h"

#include <cmath>

namespace SizeText {

namespace {

// The number with at most `decimals` decimals, trailing zeros dropped.
QString trimmed(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

} // namespace

QString bytes(qint64 count) {
    // Sizes are never negative; a bad reading shows as nothing rather than a minus sign.
    if (count < 0)
        count = 0;
    if (count == 1)
        return QStringLiteral("1 byte");
    if (count < 1000)
        return QString::number(count) + QStringLiteral(" bytes");

    struct Unit {
        const char* name;
        double scale;
        int decimals;
    };
    static const Unit units[] = {
        {"kB", 1e3, 0}, {"MB", 1e6, 1}, {"GB", 1e9, 2}, {"TB", 1e12, 2}, {"PB", 1e15, 2}};
    const int last = int(std::size(units)) - 1;
    for (int i = 0; i <= last; ++i) {
        const Unit& unit = units[i];
        const double factor = std::pow(10.0, unit.decimals);
        const double rounded = std::round(double(count) / unit.scale * factor) / factor;
        // 999,600 bytes would read "1000 kB": it is shown as the next unit instead.
        if (rounded < 1000 || i == last)
            return trimmed(rounded, unit.decimals) + QLatin1Char(' ') + QLatin1String(unit.name);
    }
    return {};
}

QString SizeLine::text() const {
    if (comparison.isEmpty())
        return amount;
    return amount + QStringLiteral(" · ") + comparison;
}

SizeLine sizeLine(const ConverterModel::Total& total, qint64 originalTotal, bool videoToSound) {
    SizeLine line;
    if (!total.any) {
        if (total.pending)
            line.amount = QStringLiteral("estimating…");
        else
            line.amount = videoToSound ? QStringLiteral("no sound to save") : QStringLiteral("can't tell");
        return line;
    }
    line.amount =
        (total.pending ? QStringLiteral("at least ") : QStringLiteral("about ")) + bytes(total.bytes);
    if (total.pending || originalTotal <= 0)
        return line;
    const double ratio = double(total.bytes) / double(originalTotal);
    if (ratio >= 0.995 && ratio <= 1.005)
        line.comparison = QStringLiteral("same size");
    else if (ratio > 1.005)
        line.comparison = QString::number(qint64((ratio - 1) * 100)) + QStringLiteral("% bigger");
    else
        line.comparison = QString::number(qint64((1 - ratio) * 100)) + QStringLiteral("% smaller");
    return line;
}

SizeLine sizeLine(const ConverterModel& model, ConvertKind kind) {
    const std::optional<ConvertTarget> target = model.target(kind);
    if (!target)
        return {};
    return sizeLine(model.estimatedTotal(kind, *target), model.originalTotal(kind),
                    kind == ConvertKind::video && target->output == ConvertKind::audio);
}

QString caption(qint64 originalTotal) {
    return QStringLiteral("now ") + bytes(originalTotal) +
           QStringLiteral(" · click a format to see its size");
}

QString itemLine(const ConverterModel::Item& item, const std::optional<ConvertTarget>& target,
                 std::optional<qint64> estimate, bool estimating) {
    QString line = bytes(item.size) + QStringLiteral(" → ") + (target ? target->title : QStringLiteral("?"));
    if (item.kind != ConvertKind::video && item.kind != ConvertKind::audio)
        return line;
    if (estimate)
        line += QStringLiteral(", about ") + bytes(*estimate);
    else if (estimating)
        line += QStringLiteral(" · estimating size…");
    return line;
}

QString itemLine(const ConverterModel& model, const ConverterModel::Item& item) {
    const std::optional<ConvertTarget> target = model.target(item.kind);
    std::optional<qint64> estimate;
    bool estimating = false;
    if (target) {
        estimate = model.estimate(item, *target);
        estimating = model.isEstimating(item, *target);
    }
    return itemLine(item, target, estimate, estimating);
}

} // namespace SizeText
