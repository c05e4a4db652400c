#include "network/servers/NetworkServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cmath>
#include <limits>

namespace {

// QJsonObject sorts its keys, and the stored member order is fixed, so objects are written by
// hand; strings go through QJsonDocument for correct escaping.
QByteArray jsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

std::optional<int> integer(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

std::optional<NetworkServer> decodeServer(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    for (const char* member : {"id", "name", "kind", "host", "path", "user"}) {
        if (!object.value(QLatin1String(member)).isString())
            return std::nullopt;
    }
    if (!object.value(QLatin1String("reconnect")).isBool())
        return std::nullopt;
    const auto kind = NetworkServerKind::fromId(object.value(QLatin1String("kind")).toString());
    if (!kind)
        return std::nullopt;
    NetworkServer server;
    if (object.contains(QLatin1String("port"))) {
        server.port = integer(object.value(QLatin1String("port")));
        if (!server.port)
            return std::nullopt;
    }
    server.id = object.value(QLatin1String("id")).toString();
    server.name = object.value(QLatin1String("name")).toString();
    server.kind = *kind;
    server.host = object.value(QLatin1String("host")).toString();
    server.path = object.value(QLatin1String("path")).toString();
    server.user = object.value(QLatin1String("user")).toString();
    server.reconnect = object.value(QLatin1String("reconnect")).toBool();
    return server;
}

} // namespace

QString NetworkServer::newId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QByteArray NetworkServer::encodeList(const QList<NetworkServer>& servers) {
    QByteArray json = "[";
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const NetworkServer& server = servers.at(i);
        if (i > 0)
            json += ',';
        json += "{\"id\":" + jsonString(server.id);
        json += ",\"name\":" + jsonString(server.name);
        json += ",\"kind\":" + jsonString(server.kind.id());
        json += ",\"host\":" + jsonString(server.host);
        if (server.port)
            json += ",\"port\":" + QByteArray::number(*server.port);
        json += ",\"path\":" + jsonString(server.path);
        json += ",\"user\":" + jsonString(server.user);
        json += ",\"reconnect\":" + QByteArray(server.reconnect ? "true" : "false");
        json += '}';
    }
    json += ']';
    return json;
}

std::optional<QList<NetworkServer>> NetworkServer::decodeList(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<NetworkServer> servers;
    for (const QJsonValue& value : document.array()) {
        const auto server = decodeServer(value);
        if (!server)
            return std::nullopt;
        servers.append(*server);
    }
    return servers;
}
