#include "media/settings/MediaPlayerSettings.h"

#include "common/UserDefaults.h"
#include "common/WindowsSettings.h"

#include <QLocale>
#include <QVariantMap>

#include <cmath>

namespace MediaPlayerSettings {

namespace {

UserDefaults& store() {
    return UserDefaults::media();
}

// Keeps the last `mapLimit` entries in the map's own (key) order; no age is stored, so which
// surplus goes is arbitrary but stable.
void trim(QVariantMap& map) {
    while (map.size() > mapLimit)
        map.erase(map.begin());
}

void writeMap(const QString& key, const QVariantMap& map) {
    if (map.isEmpty())
        store().remove(key);
    else
        store().setMap(key, map);
}

double storedLongSkip() {
    return WindowsSettings::shared().doubleValue(Keys::longSkip);
}

} // namespace

QString endAction() {
    return WindowsSettings::shared().string(Keys::endAction);
}

// max(value, floor), where a NaN (another process may write anything) reads as the floor and
// the result stays small enough to be counted in whole seconds.
static double atLeast(double value, double floor) {
    return value >= floor ? std::min(value, 86400.0) : floor;
}

double longSkip() {
    return atLeast(storedLongSkip(), 5);
}

double slideSeconds() {
    return atLeast(WindowsSettings::shared().doubleValue(Keys::slideSeconds), 1);
}

bool resume() {
    return WindowsSettings::shared().boolValue(Keys::resume);
}

bool eqOn() {
    return store().boolean(Keys::eqOn);
}

void setEqOn(bool on) {
    store().setValue(Keys::eqOn, on);
}

std::array<double, 10> eqBands() {
    std::array<double, 10> bands{};
    const QList<double> stored = store().numbers(Keys::eqBands);
    if (stored.size() != 10)
        return bands;
    for (int i = 0; i < 10; ++i) {
        if (!std::isfinite(stored[i]))
            return {};
        bands[std::size_t(i)] = stored[i];
    }
    return bands;
}

void setEqBands(const std::array<double, 10>& bands) {
    store().setNumbers(Keys::eqBands, QList<double>(bands.begin(), bands.end()));
}

QString eqPreset() {
    const QVariant v = store().value(Keys::eqPreset);
    return v.typeId() == QMetaType::QString ? v.toString() : QStringLiteral("Flat");
}

void setEqPreset(const QString& name) {
    store().setValue(Keys::eqPreset, name);
}

bool keepPitch() {
    const QVariant v = store().value(Keys::keepPitch);
    return v.typeId() == QMetaType::Bool ? v.toBool() : true;
}

void setKeepPitch(bool on) {
    store().setValue(Keys::keepPitch, on);
}

int rotation(const QString& key) {
    const QVariant v = store().map(Keys::rotation).value(key);
    if (!UserDefaults::isNumber(v))
        return 0;
    const double degrees = v.toDouble();
    return std::isfinite(degrees) && std::abs(degrees) <= 3600 ? int(degrees) : 0;
}

void saveRotation(const QString& key, int degrees) {
    QVariantMap map = store().map(Keys::rotation);
    if (degrees == 0)
        map.remove(key);
    else
        map.insert(key, degrees);
    trim(map);
    writeMap(Keys::rotation, map);
}

std::optional<double> resumePosition(const QString& key) {
    const QVariant v = store().map(Keys::resumePositions).value(key);
    if (!UserDefaults::isNumber(v))
        return std::nullopt;
    const double seconds = v.toDouble();
    if (!(seconds > 5) || !std::isfinite(seconds))
        return std::nullopt;
    return seconds;
}

void saveResume(const QString& key, double seconds, double duration) {
    QVariantMap map = store().map(Keys::resumePositions);
    // Any comparison with NaN is false, so a NaN position or duration forgets the key.
    if (duration >= 120 && seconds > 5 && seconds < duration - 15)
        map.insert(key, seconds);
    else
        map.remove(key);
    trim(map);
    writeMap(Keys::resumePositions, map);
}

void forgetResume(const std::optional<QSet<QString>>& keys) {
    if (!keys) {
        store().remove(Keys::resumePositions);
        return;
    }
    QVariantMap map = store().map(Keys::resumePositions);
    for (const QString& key : *keys)
        map.remove(key);
    writeMap(Keys::resumePositions, map);
}

QString rateLabel(double rate) {
    const double rounded = std::round(rate * 100) / 100;
    return QLocale().toString(rounded, 'g', 6) + QStringLiteral("×");
}

QString skipSymbol(bool forward) {
    const QString base = forward ? QStringLiteral("goforward") : QStringLiteral("gobackward");
    const double stored = storedLongSkip();
    const int n = int(longSkip());
    const bool whole = stored < 5 || stored == std::floor(stored);
    static const QSet<int> pictured{5, 10, 15, 30, 45, 60, 75, 90};
    if (whole && pictured.contains(n))
        return base + QLatin1Char('.') + QString::number(n);
    return base;
}

QString skipHelp() {
    return QString::number(int(longSkip())) + QStringLiteral(" seconds");
}

} // namespace MediaPlayerSettings
