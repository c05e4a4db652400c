#pragma once

#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <optional>

// Everything the player remembers between runs: the end-of-item rule, the long-skip step, the
// slideshow interval and whether long videos resume (shared with the suite through
// WindowsSettings), and the equaliser, pitch, per-entry rotation and resume positions (this
// application's "fx.player." keys in UserDefaults::media()). Static accessors over the store;
// nothing is cached, every call reads or writes the store. Main thread.
namespace MediaPlayerSettings {

// The store's keys, in one place.
namespace Keys {
// Through WindowsSettings, which adds the "wx." prefix and supplies the defaults.
inline const QString endAction = QStringLiteral("player.endAction");
inline const QString longSkip = QStringLiteral("player.longSkip");
inline const QString slideSeconds = QStringLiteral("player.slideSeconds");
inline const QString resume = QStringLiteral("player.resume");
// In UserDefaults::media().
inline const QString eqOn = QStringLiteral("fx.player.eqOn");
inline const QString eqBands = QStringLiteral("fx.player.eqBands");
inline const QString eqPreset = QStringLiteral("fx.player.eqPreset");
inline const QString keepPitch = QStringLiteral("fx.player.keepPitch");
inline const QString rotation = QStringLiteral("fx.player.rotation");
inline const QString resumePositions = QStringLiteral("fx.player.resume");
inline const QString barPosition = QStringLiteral("fx.player.barPosition");
} // namespace Keys

// The most entries the rotation and resume maps keep.
inline constexpr int mapLimit = 300;

// "next", "repeat" or "stop".
QString endAction();
// Seconds; at least 5.
double longSkip();
// Seconds; at least 1.
double slideSeconds();
bool resume();

bool eqOn();
void setEqOn(bool on);
// Ten gains in dB; anything but a stored list of ten numbers reads as ten zeros.
std::array<double, 10> eqBands();
void setEqBands(const std::array<double, 10>& bands);
// The name of the preset the bands match, or "Custom"; "Flat" when absent.
QString eqPreset();
void setEqPreset(const QString& name);
// Absent or not a boolean reads as true.
bool keepPitch();
void setKeepPitch(bool on);

// Degrees for the entry's key, 0 when none.
int rotation(const QString& key);
// Stores the degrees, or forgets the key for 0.
void saveRotation(const QString& key, int degrees);

// The stored position when it is above 5 s.
std::optional<double> resumePosition(const QString& key);
// Keeps `seconds` for a video of at least two minutes left after its first 5 s and more than
// 15 s before its end; forgets the key otherwise.
void saveResume(const QString& key, double seconds, double duration);
// Forgets the given keys, or every position with none.
void forgetResume(const std::optional<QSet<QString>>& keys = std::nullopt);

// The speed ladder.
inline constexpr std::array<float, 12> rates{0.1f, 0.25f, 0.5f, 0.75f, 1.0f, 1.25f,
                                             1.5f, 1.75f, 2.0f, 2.5f,  3.0f, 4.0f};
// "1.25×".
QString rateLabel(double rate);
// The icon naming the skip step ("goforward.10"), or the plain arrow for steps it has no icon for.
QString skipSymbol(bool forward);
// "10 seconds".
QString skipHelp();
inline const QString serverPlaybackFailed = QStringLiteral("This couldn't be played from the server.");

} // namespace MediaPlayerSettings
