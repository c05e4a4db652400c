#include "common/Log.h"

#include "common/MediaApp.h"
#include "common/Paths.h"
#include "common/UserDefaults.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <pwd.h>
#include <syslog.h>
#include <unistd.h>

namespace Log {

namespace {

constexpr qint64 kRotateAbove = 2'000'000;

// The serial background queue that owns the log files. It is never destroyed: lines logged by
// static destructors must still find it. An atexit hook drains it so no line is lost at exit.
class Queue {
public:
    static Queue& shared() {
        static Queue* queue = [] {
            auto* q = new Queue;
            std::atexit([] { Queue::shared().drain(); });
            return q;
        }();
        return *queue;
    }

    void enqueue(std::function<void()> task) {
        {
            std::lock_guard<std::mutex> locker(m_lock);
            m_tasks.push_back(std::move(task));
            ++m_enqueued;
        }
        m_wake.notify_one();
    }

    // Returns once every task enqueued before the call has run.
    void drain() {
        if (std::this_thread::get_id() == m_thread.get_id())
            return;
        std::unique_lock<std::mutex> locker(m_lock);
        const quint64 target = m_enqueued;
        m_done.wait(locker, [&] { return m_finished >= target; });
    }

private:
    Queue()
        : m_thread([this] { run(); }) {
        m_thread.detach();
    }

    void run() {
        pthread_setname_np(pthread_self(), "halcyrin.log");
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> locker(m_lock);
                m_wake.wait(locker, [&] { return !m_tasks.empty(); });
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
            {
                std::lock_guard<std::mutex> locker(m_lock);
                ++m_finished;
            }
            m_done.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::function<void()>> m_tasks;
    quint64 m_enqueued = 0;
    quint64 m_finished = 0;
    std::thread m_thread;
};

QString baseName() {
    return MediaApp::isHalcyrin() ? QStringLiteral("Halcyrin") : MediaApp::name();
}

const QList<Replacement>& replacements() {
    static const QList<Replacement> list = [] {
        QString account;
        QString fullName;
        if (const passwd* entry = getpwuid(getuid())) {
            account = QString::fromLocal8Bit(entry->pw_name);
            // The GECOS field is "Full Name,room,phone,...": only the name is wanted.
            fullName = QString::fromLocal8Bit(entry->pw_gecos).section(QLatin1Char(','), 0, 0);
        }
        return makeReplacements(QDir::homePath(), account, fullName, QSysInfo::machineHostName());
    }();
    return list;
}

struct Pattern {
    QRegularExpression expression;
    QString replacement;
};

const QList<Pattern>& patterns() {
    static const QList<Pattern> list = [] {
        const std::pair<const char*, const char*> sources[] = {
            {R"(/Users/[^/\s"']+)", "/Users/<user>"},
            {R"(/home/[^/\s"']+)", "/home/<user>"},
            {R"([A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,})", "<email>"},
            {R"((https?://)([^/\s"'?#]+)[^\s"']*)", "\\1\\2/\u2026"},
            {R"((?<![\w.:#/-])(?:\+\d{1,3}[\s-]?)?\(?\d{3}\)?[\s-]?\d{3}[\s-]?\d{4}(?![\w.:]))", "<number>"},
        };
        QList<Pattern> compiled;
        for (const auto& [expression, replacement] : sources) {
            QRegularExpression re(QString::fromUtf8(expression));
            if (re.isValid())
                compiled.append({re, QString::fromUtf8(replacement)});
        }
        return compiled;
    }();
    return list;
}

QString salt() {
    static const QString value = [] {
        UserDefaults& store = UserDefaults::media();
        QString stored = store.string(QStringLiteral("fx.logSalt"));
        if (stored.isEmpty()) {
            stored = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            store.setValue(QStringLiteral("fx.logSalt"), stored);
        }
        return stored;
    }();
    return value;
}

int syslogPriority(Level level) {
    switch (level) {
    case Level::debug:
    case Level::info:
        return LOG_INFO;
    case Level::warning:
        return LOG_NOTICE;
    case Level::error:
        return LOG_ERR;
    }
    return LOG_INFO;
}

void sendToSystemLog(Level level, Area area, const QString& message) {
    static const QByteArray ident = [] {
        const QString id = MediaApp::identifier();
        QByteArray bytes = (id.isEmpty() ? QStringLiteral("org.halcyrin.log") : id).toUtf8();
        openlog(bytes.constData(), LOG_PID, LOG_USER);
        return bytes;
    }();
    Q_UNUSED(ident);
    syslog(syslogPriority(level), "[%s] %s", areaName(area).toUtf8().constData(),
           message.toUtf8().constData());
}

void append(const QString& line) {
    const QString logFolder = folder();
    const QString current = file();
    QDir().mkpath(logFolder);
    const QFileInfo info(current);
    if (info.exists() && info.size() > kRotateAbove) {
        QFile::remove(previousFile());
        QFile::rename(current, previousFile());
    }
    const QByteArray bytes = line.toUtf8();
    QFile out(current);
    if (QFileInfo::exists(current) && out.open(QIODevice::WriteOnly | QIODevice::Append)) {
        out.write(bytes);
        return;
    }
    QSaveFile fresh(current);
    if (fresh.open(QIODevice::WriteOnly)) {
        fresh.write(bytes);
        fresh.commit();
    }
}

QMutex lastLock;
QHash<QString, QString>& lastMessages() {
    static QHash<QString, QString> last;
    return last;
}

} // namespace

QList<Area> allAreas() {
    return {Area::app,     Area::windows,  Area::clipboard, Area::capture, Area::launcher,
            Area::notes,   Area::files,    Area::display,   Area::audio,   Area::network,
            Area::battery, Area::keyboard, Area::calendar,  Area::system};
}

QString areaName(Area area) {
    switch (area) {
    case Area::app:
        return QStringLiteral("app");
    case Area::windows:
        return QStringLiteral("windows");
    case Area::clipboard:
        return QStringLiteral("clipboard");
    case Area::capture:
        return QStringLiteral("capture");
    case Area::launcher:
        return QStringLiteral("launcher");
    case Area::notes:
        return QStringLiteral("notes");
    case Area::files:
        return QStringLiteral("files");
    case Area::display:
        return QStringLiteral("display");
    case Area::audio:
        return QStringLiteral("audio");
    case Area::network:
        return QStringLiteral("network");
    case Area::battery:
        return QStringLiteral("battery");
    case Area::keyboard:
        return QStringLiteral("keyboard");
    case Area::calendar:
        return QStringLiteral("calendar");
    case Area::system:
        return QStringLiteral("system");
    }
    return QStringLiteral("app");
}

QString levelName(Level level) {
    switch (level) {
    case Level::debug:
        return QStringLiteral("DEBUG");
    case Level::info:
        return QStringLiteral("INFO");
    case Level::warning:
        return QStringLiteral("WARN");
    case Level::error:
        return QStringLiteral("ERROR");
    }
    return QStringLiteral("INFO");
}

QString formatLine(const QDateTime& when, Level level, Area area, const QString& message) {
    return QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ') +
           levelName(level).leftJustified(5, QLatin1Char(' ')) + QStringLiteral(" [") + areaName(area) +
           QStringLiteral("] ") + message + QLatin1Char('\n');
}

void write(Level level, Area area, const QString& message) {
    const QString clean = scrub(message);
    sendToSystemLog(level, area, clean);
    const QDateTime now = QDateTime::currentDateTime();
    Queue::shared().enqueue([level, area, clean, now] { append(formatLine(now, level, area, clean)); });
}

void debug(Area area, const QString& message) {
    write(Level::debug, area, message);
}
void info(Area area, const QString& message) {
    write(Level::info, area, message);
}
void warning(Area area, const QString& message) {
    write(Level::warning, area, message);
}
void error(Area area, const QString& message) {
    write(Level::error, area, message);
}

void changed(Area area, const QString& key, const QString& message, Level level) {
    {
        QMutexLocker locker(&lastLock);
        auto& last = lastMessages();
        const auto found = last.constFind(key);
        if (found != last.constEnd() && *found == message)
            return;
        last.insert(key, message);
    }
    write(level, area, message);
}

QString secret(const std::optional<QString>& value) {
    if (!value || value->isEmpty())
        return QStringLiteral("\u2039empty\u203A");
    const QByteArray digest =
        QCryptographicHash::hash((salt() + *value).toUtf8(), QCryptographicHash::Sha256).left(2);
    return QStringLiteral("\u2039%1 chars #%2\u203A")
        .arg(value->size())
        .arg(QString::fromLatin1(digest.toHex()));
}

QList<Replacement> makeReplacements(const QString& home, const QString& account, const QString& fullName,
                                    const QString& computerName) {
    QList<Replacement> list;
    if (!home.isEmpty())
        list.append({home, QStringLiteral("~")});
    QStringList names{account, fullName};
    names += fullName.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList seen;
    for (const QString& name : names) {
        if (name.size() < 3 || seen.contains(name))
            continue;
        seen.append(name);
        list.append({name, QStringLiteral("<user>")});
    }
    if (computerName.size() >= 3)
        list.append({computerName, QStringLiteral("<mac>")});
    std::stable_sort(list.begin(), list.end(), [](const Replacement& a, const Replacement& b) {
        return a.search.size() > b.search.size();
    });
    return list;
}

QString scrub(const QString& text, const QList<Replacement>& list) {
    QString result = text;
    for (const Replacement& r : list)
        result.replace(r.search, r.replacement, Qt::CaseInsensitive);
    for (const Pattern& p : patterns())
        result.replace(p.expression, p.replacement);
    return result;
}

QString scrub(const QString& text) {
    return scrub(text, replacements());
}

QStringList tail(int count) {
    flush();
    if (count <= 0)
        return {};
    QString text;
    for (const QString& path : {previousFile(), file()}) {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(in.readAll());
    }
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > count)
        lines = lines.mid(lines.size() - count);
    return lines;
}

void flush() {
    Queue::shared().drain();
}

QString folder() {
    return Paths::logFolder();
}
QString file() {
    return folder() + QLatin1Char('/') + baseName() + QStringLiteral(".log");
}
QString previousFile() {
    return folder() + QLatin1Char('/') + baseName() + QStringLiteral(".1.log");
}

} // namespace Log
