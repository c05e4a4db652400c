#pragma once

#include "network/servers/NetworkServerKind.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One saved network server: a plain value compared over all fields and identified by `id`.
// Passwords never enter it (they live in the keyring store). The list's stored form is UTF-8
// JSON, an array of objects with the members in a fixed order. Any thread.
struct NetworkServer {
    // Upper-case hyphenated form of a fresh random UUID.
    QString id = newId();
    QString name;
    NetworkServerKind kind = NetworkServerKind::smb;
    // Host name or IP address, as entered.
    QString host;
    // None = the kind's default port.
    std::optional<int> port;
    // Share name, export path or folder; may be empty.
    QString path;
    // Empty = guest / anonymous / SSH key.
    QString user;
    // Connect when the application starts.
    bool reconnect = false;

    bool operator==(const NetworkServer&) const = default;

    static QString newId();

    // The stored list: members "id", "name", "kind", "host", "port" (absent when none), "path",
    // "user", "reconnect", written in that order.
    static QByteArray encodeList(const QList<NetworkServer>& servers);
    // The list, or none when the value is not such an array or any member of any object is
    // missing or mistyped (only "port" may be absent) or any kind is unknown.
    static std::optional<QList<NetworkServer>> decodeList(const QByteArray& json);
};
