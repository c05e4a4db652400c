#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>

// The one preferences store of the application (an INI file through QSettings). `media()` is the
// suite's shared domain, ~/.config/Halcyrin/org.halcyrin.Halcyrin.conf, or the application's own
// domain when the shared one cannot be opened or when this application is the suite.
//
// INI files keep no types, so booleans and numbers are written with a small type tag and read
// back as what they were: a text stays a text even when it reads "true" or "10". Safe to use from
// any thread; every read goes to the store (QSettings re-reads the file when another process of
// the suite changed it, at the latest on `sync()`).
class UserDefaults {
public:
    // The shared store, chosen once on first use.
    static UserDefaults& media();
    // Whether a stored value is a number of any width (as `value` returns numbers).
    static bool isNumber(const QVariant& value);

    // A store over one INI file, for tests and tools.
    explicit UserDefaults(const QString& iniFile);

    QString fileName() const;

    bool contains(const QString& key) const;
    // The stored value with its type, or an invalid QVariant when absent.
    QVariant value(const QString& key) const;
    // Stores the value; an invalid QVariant removes the key.
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Writes pending changes and picks up changes made by other processes.
    void sync();

    // Typed reads: the neutral value (empty, false, 0) when absent or of another type.
    QString string(const QString& key) const;
    bool boolean(const QString& key) const;
    double number(const QString& key) const;
    qint64 integer(const QString& key) const;
    QByteArray data(const QString& key) const;
    QStringList stringArray(const QString& key) const;
    QVariantMap map(const QString& key) const;
    QList<double> numbers(const QString& key) const;

    void setData(const QString& key, const QByteArray& data);
    void setStringArray(const QString& key, const QStringList& list);
    void setMap(const QString& key, const QVariantMap& map);
    void setNumbers(const QString& key, const QList<double>& numbers);

private:
    explicit UserDefaults(std::unique_ptr<QSettings> settings);

    mutable QMutex m_lock;
    std::unique_ptr<QSettings> m_settings;
};
