#include "common/UserDefaults.h"

#include "common/MediaApp.h"

#include <QFileInfo>

namespace {

// Tags for values whose type an INI file would otherwise lose.
const QString kTag = QStringLiteral("typed:");
const QString kBool = QStringLiteral("typed:bool:");
const QString kInt = QStringLiteral("typed:int:");
const QString kDouble = QStringLiteral("typed:double:");
const QString kText = QStringLiteral("typed:text:");

QVariant encode(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return kBool + (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return kInt + QString::number(value.toLongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return kDouble + QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QString: {
        const QString text = value.toString();
        // A text that happens to look like a tag is escaped so it reads back as text.
        return text.startsWith(kTag) ? QVariant(kText + text) : value;
    }
    default:
        return value;
    }
}

QVariant decode(const QVariant& raw) {
    if (raw.typeId() != QMetaType::QString)
        return raw;
    const QString text = raw.toString();
    if (!text.startsWith(kTag))
        return raw;
    if (text.startsWith(kBool))
        return text.mid(kBool.size()) == QLatin1String("true");
    if (text.startsWith(kInt))
        return text.mid(kInt.size()).toLongLong();
    if (text.startsWith(kDouble))
        return text.mid(kDouble.size()).toDouble();
    if (text.startsWith(kText))
        return text.mid(kText.size());
    return raw;
}

// On Linux the native format is an INI file named <application>.conf.
std::unique_ptr<QSettings> openMediaSettings() {
    if (!MediaApp::isHalcyrin()) {
        auto suite = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 QStringLiteral("Halcyrin"), MediaApp::halcyrinID);
        if (suite->status() == QSettings::NoError && suite->isWritable())
            return suite;
    }
    const QString own = MediaApp::identifier().isEmpty() ? MediaApp::name() : MediaApp::identifier();
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Halcyrin"), own);
}

} // namespace

bool UserDefaults::isNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

UserDefaults& UserDefaults::media() {
    static UserDefaults* store = new UserDefaults(openMediaSettings());
    return *store;
}

UserDefaults::UserDefaults(const QString& iniFile)
    : UserDefaults(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

UserDefaults::UserDefaults(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings)) {}

QString UserDefaults::fileName() const {
    QMutexLocker locker(&m_lock);
    return m_settings->fileName();
}

bool UserDefaults::contains(const QString& key) const {
    QMutexLocker locker(&m_lock);
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString& key) const {
    QMutexLocker locker(&m_lock);
    if (!m_settings->contains(key))
        return {};
    return decode(m_settings->value(key));
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    QMutexLocker locker(&m_lock);
    if (!value.isValid())
        m_settings->remove(key);
    else
        m_settings->setValue(key, encode(value));
    m_settings->sync();
}

void UserDefaults::remove(const QString& key) {
    QMutexLocker locker(&m_lock);
    m_settings->remove(key);
    m_settings->sync();
}

void UserDefaults::sync() {
    QMutexLocker locker(&m_lock);
    m_settings->sync();
}

QString UserDefaults::string(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

bool UserDefaults::boolean(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::Bool && v.toBool();
}

double UserDefaults::number(const QString& key) const {
    const QVariant v = value(key);
    return isNumber(v) ? v.toDouble() : 0.0;
}

qint64 UserDefaults::integer(const QString& key) const {
    const QVariant v = value(key);
    return isNumber(v) ? qint64(v.toDouble()) : 0;
}

QByteArray UserDefaults::data(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

QStringList UserDefaults::stringArray(const QString& key) const {
    const QVariant v = value(key);
    // An INI file stores a one-element list as a plain text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    if (v.typeId() == QMetaType::QString)
        return {v.toString()};
    if (v.typeId() == QMetaType::QVariantList)
        return v.toStringList();
    return {};
}

QVariantMap UserDefaults::map(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

QList<double> UserDefaults::numbers(const QString& key) const {
    QList<double> result;
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QStringList && v.typeId() != QMetaType::QString &&
        v.typeId() != QMetaType::QVariantList)
        return result;
    for (const QString& item : stringArray(key)) {
        bool ok = false;
        const double n = item.toDouble(&ok);
        if (!ok)
            return {};
        result.append(n);
    }
    return result;
}

void UserDefaults::setData(const QString& key, const QByteArray& data) {
    setValue(key, data);
}

void UserDefaults::setStringArray(const QString& key, const QStringList& list) {
    setValue(key, list);
}

void UserDefaults::setMap(const QString& key, const QVariantMap& map) {
    setValue(key, map);
}

void UserDefaults::setNumbers(const QString& key, const QList<double>& numbers) {
    QStringList texts;
    for (double n : numbers)
        texts.append(QString::number(n, 'g', 17));
    setValue(key, texts);
}
