#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The one logging facility. Every line goes to syslog and to the shared log file
// ($XDG_STATE_HOME/Halcyrin/logs/<name>.log), with personal data masked before it leaves the
// process. Callable from any thread: the message is scrubbed on the caller's thread and the file
// is appended on one background thread ("halcyrin.log"), in the order the lines were logged.
namespace Log {

// One area per tool of the suite; this application logs under `app`.
enum class Area {
    app,
    windows,
    clipboard,
    capture,
    launcher,
    notes,
    files,
    display,
    audio,
    network,
    battery,
    keyboard,
    calendar,
    system
};
enum class Level { debug, info, warning, error };

QList<Area> allAreas();
QString areaName(Area area);
// "DEBUG", "INFO", "WARN", "ERROR".
QString levelName(Level level);

void debug(Area area, const QString& message);
void info(Area area, const QString& message);
void warning(Area area, const QString& message);
void error(Area area, const QString& message);
void write(Level level, Area area, const QString& message);

// Logs only when the message differs from the one last logged under the same key.
void changed(Area area, const QString& key, const QString& message, Level level = Level::info);

// A short fingerprint to log instead of a value: "‹empty›" or "‹N chars #hhhh›".
QString secret(const std::optional<QString>& value);

// The message with home folder, user and computer names, e-mail addresses, web paths and
// telephone numbers replaced by markers.
QString scrub(const QString& text);

// The last `count` lines of the previous and current log files, oldest first. Waits until the
// lines logged before the call are written; never call it from the log thread.
QStringList tail(int count);

// Waits until every line logged so far is in the file.
void flush();

QString folder();
QString file();
QString previousFile();

// The pieces `scrub` is made of, for tests and for the suite's other tools.
struct Replacement {
    QString search;
    QString replacement;
};
QList<Replacement> makeReplacements(const QString& home, const QString& account, const QString& fullName,
                                    const QString& computerName);
QString scrub(const QString& text, const QList<Replacement>& replacements);
QString formatLine(const QDateTime& when, Level level, Area area, const QString& message);

} // namespace Log
