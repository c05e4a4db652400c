#pragma once

#include "network/servers/NetworkServer.h"
#include "network/sftp/SFTPEntry.h"
#include "network/sftp/SFTPOperation.h"
#include "network/sftp/SFTPResult.h"
#include "network/sftp/SFTPText.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

// Talks to an SFTP server through the system's `sftp` tool, one batch process per operation:
// list a folder, download a file, upload one. A plain value built per use; call it from a thread
// with an event loop (normally the main thread). A password travels only in the environment of
// the child, to our askpass program; without one, the user's SSH keys and agent are used.
//
// Each operation returns its running SFTPOperation, owned by `context`: the caller may cancel()
// it, and destroying `context` kills the process and drops the answer. `done` runs exactly once
// on `context`'s thread otherwise.
class SFTPClient {
public:
    using Entry = SFTPEntry;
    using Error = SFTPError;

    explicit SFTPClient(NetworkServer server, std::optional<QString> password = std::nullopt);

    const NetworkServer& server() const { return m_server; }

    // The visible entries of a remote folder, folders first, by name.
    SFTPOperation* list(const QString& path, QObject* context,
                        std::function<void(const SFTPResult<QList<Entry>>&)> done) const;
    // Copies a remote file to `localFile` (missing folders are made) and gives that path.
    SFTPOperation* download(const QString& remotePath, const QString& localFile, QObject* context,
                            std::function<void(const SFTPResult<QString>&)> done) const;
    // Copies a local file into a remote folder under its own name.
    SFTPOperation* upload(const QString& localFile, const QString& remoteFolder, QObject* context,
                          std::function<void(const SFTPResult<std::monostate>&)> done) const;

    static bool isSafe(const QString& text) { return SFTPText::isSafe(text); }
    static bool isSafeTarget(const QString& text) { return SFTPText::isSafeTarget(text); }
    static QString quote(const QString& text) { return SFTPText::quote(text); }
    static QString join(const QString& folder, const QString& name) { return SFTPText::join(folder, name); }

    // The askpass program: "askpass" in the application's resources folder.
    static QString askpass();
    // /usr/bin/sftp, or the `sftp` found on PATH where that does not exist.
    static QString program();
    // Tests run a wrapper that keeps ssh's known hosts and keys in their own folder.
    static void setProgramForTesting(const QString& program);

private:
    SFTPOperation* run(const QStringList& commands, QObject* context, SFTPOperation::Handler done) const;

    NetworkServer m_server;
    std::optional<QString> m_password;
};
