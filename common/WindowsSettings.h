#pragma once

#include <QObject>
#include <QVariant>
#include <QVariantMap>

class UserDefaults;

// The settings shared with the suite's other tools: keys are given without their "wx." prefix,
// absent keys fall back to `defaultValues()`, and every `set` grows `revision` by one so views
// that show these settings can redraw. Main thread only.
class WindowsSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    static WindowsSettings& shared();

    // A layer over another store (tests).
    explicit WindowsSettings(UserDefaults& store, QObject* parent = nullptr);

    static const QVariantMap& defaultValues();

    int revision() const { return m_revision; }

    // The stored value for "wx." + key, else its default, else an invalid QVariant.
    QVariant value(const QString& key) const;
    // Typed reads: a stored value of another type reads as the neutral value, not the default.
    bool boolValue(const QString& key) const;
    double doubleValue(const QString& key) const;
    QString string(const QString& key) const;
    // Stores the value under "wx." + key, or removes it for an invalid QVariant; then revision += 1.
    void set(const QString& key, const QVariant& value);

Q_SIGNALS:
    void revisionChanged(int revision);

private:
    UserDefaults& m_store;
    int m_revision = 0;
};
