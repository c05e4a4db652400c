#include "mediaserver/MediaServerPairing.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace MediaServerPairing {

namespace {

// PRETTY_HOSTNAME from /etc/machine-info (what the desktop's "Device name" setting writes).
QString prettyHostName() {
    QFile file(QStringLiteral("/etc/machine-info"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("PRETTY_HOSTNAME="))
            continue;
        QByteArray value = line.mid(int(qstrlen("PRETTY_HOSTNAME=")));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value).trimmed();
    }
    return {};
}

} // namespace

QString digits(const QString& typed) {
    QString out;
    for (const QChar c : typed) {
        if (c.isDigit())
            out.append(QChar(u'0' + c.digitValue()));
    }
    return out;
}

QByteArray body(const QString& typedCode, const QString& deviceName) {
    QJsonObject object;
    object.insert(QStringLiteral("code"), digits(typedCode));
    object.insert(QStringLiteral("device"), deviceName);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString deviceName() {
    const QString pretty = prettyHostName();
    return deviceName(pretty.isEmpty() ? QSysInfo::machineHostName() : pretty);
}

QString deviceName(const QString& localName) {
    const QString name = localName.trimmed();
    return name.isEmpty() ? QStringLiteral("Computer") : name;
}

std::variant<QString, MediaServerError> answer(int status, const QByteArray& body) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject object = document.isObject() ? document.object() : QJsonObject();
    const QJsonValue token = object.value(QStringLiteral("token"));
    // An empty token would be indistinguishable from having none at all.
    if (status == 200 && token.isString() && !token.toString().isEmpty())
        return token.toString();
    const QJsonValue error = object.value(QStringLiteral("error"));
    if (error.isString() && !error.toString().trimmed().isEmpty())
        return MediaServerError::rejected(error.toString());
    return MediaServerError::rejected(QStringLiteral("The server didn't accept the code."));
}

} // namespace MediaServerPairing
