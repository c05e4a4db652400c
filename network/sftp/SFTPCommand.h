#pragma once

#include "network/servers/NetworkServer.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// How one `sftp` batch run is put together and how its failure is told to the user: the
// argument list, the askpass environment, the batch bytes and the message chosen from standard
// error. Pure functions; any thread.
namespace SFTPCommand {

// The refusals made before any process starts.
QString invalidTargetMessage();
QString unsafeCommandMessage();

// None when the server can be addressed: a non-empty host and a user (if any) that pass
// SFTPText::isSafeTarget, and a port (if any) in 1...65535. Otherwise the message to show.
std::optional<QString> checkTarget(const NetworkServer& server);
// None when every command passes SFTPText::isSafe, otherwise the message to show.
std::optional<QString> checkCommands(const QStringList& commands);

// The arguments after the program name. The password options only with `withPassword`.
QStringList arguments(const NetworkServer& server, bool withPassword);
// `base` plus, only for a non-empty password, SSH_ASKPASS, SSH_ASKPASS_REQUIRE=force and
// HALCYRIN_ASKPASS.
QProcessEnvironment environment(const QProcessEnvironment& base, const QString& password,
                                const QString& askpass);
// The commands joined by line breaks with a final line break, as UTF-8.
QByteArray batch(const QStringList& commands);

// The one sentence for a non-zero exit, chosen from standard error.
QString message(const QString& standardError);

} // namespace SFTPCommand
