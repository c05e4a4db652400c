#pragma once

#include "network/servers/NetworkServer.h"

#include <QString>
#include <QUrl>

#include <optional>

// Turning a pasted address into a server record and a record into the address it is mounted
// from. Pure functions over Qt Core values; any thread.
namespace ServerAddress {

// Reads a pasted address: smb://, cifs://, afp://, nfs://, http(s)://, (web)dav(s)://, ftp://,
// sftp:// and ssh:// addresses, and Windows UNC paths (\\PC\Share\Folder). Gives none for any
// other scheme, text without "://", an empty host, a port outside 1...65535, or a host or user
// name that fails SFTPText::isSafeTarget. A password in the address is ignored.
std::optional<NetworkServer> parse(const QString& text);

// The mount address: the kind's scheme, the host, the port when it is not the kind's default,
// and the path with a leading "/". No user, password or query. None when the host is empty,
// the port is outside 1...65535 or no valid URL can be formed.
std::optional<QUrl> url(const NetworkServer& server);

// The host as written in an SFTP target: an IPv6 address in brackets.
QString bracketed(const QString& host);

// Valid TCP port numbers; anything else is refused wherever a port is used.
bool isValidPort(int port);

} // namespace ServerAddress
