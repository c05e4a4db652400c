#include "common/WindowsSettings.h"

#include "common/UserDefaults.h"

namespace {

const QString kPrefix = QStringLiteral("wx.");

} // namespace

WindowsSettings& WindowsSettings::shared() {
    static WindowsSettings* settings = new WindowsSettings(UserDefaults::media());
    return *settings;
}

WindowsSettings::WindowsSettings(UserDefaults& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {}

const QVariantMap& WindowsSettings::defaultValues() {
    static const QVariantMap defaults{
        {QStringLiteral("player.endAction"), QStringLiteral("next")},
        {QStringLiteral("player.longSkip"), 10.0},
        {QStringLiteral("player.resume"), true},
        {QStringLiteral("player.slideSeconds"), 4.0},
    };
    return defaults;
}

QVariant WindowsSettings::value(const QString& key) const {
    const QVariant stored = m_store.value(kPrefix + key);
    if (stored.isValid())
        return stored;
    return defaultValues().value(key);
}

bool WindowsSettings::boolValue(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::Bool && v.toBool();
}

double WindowsSettings::doubleValue(const QString& key) const {
    const QVariant v = value(key);
    return UserDefaults::isNumber(v) ? v.toDouble() : 0.0;
}

QString WindowsSettings::string(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

void WindowsSettings::set(const QString& key, const QVariant& value) {
    m_store.setValue(kPrefix + key, value);
    ++m_revision;
    Q_EMIT revisionChanged(m_revision);
}
