#pragma once

#include "network/servers/NetworkServer.h"
#include "network/servers/NetworkServerKind.h"
#include "network/servers/ServerAddress.h"

// The network-shares vocabulary under one name: the kinds, the saved record and the address
// operations. The list's store (connecting, mounting, discovery) builds on these.
class NetworkServers {
public:
    using Kind = NetworkServerKind;
    using Server = NetworkServer;

    static std::optional<Server> parse(const QString& text) { return ServerAddress::parse(text); }
    static std::optional<QUrl> url(const Server& server) { return ServerAddress::url(server); }
    static QString bracketed(const QString& host) { return ServerAddress::bracketed(host); }
};
