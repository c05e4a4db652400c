#include "network/sftp/SFTPClient.h"

#include "common/MediaApp.h"
#include "common/Paths.h"
#include "network/sftp/SFTPCommand.h"
#include "network/sftp/SFTPListing.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace {

QMutex programLock;
QString programOverride;

} // namespace

SFTPClient::SFTPClient(NetworkServer server, std::optional<QString> password)
    : m_server(std::move(server))
    , m_password(std::move(password)) {}

QString SFTPClient::askpass() {
    const QString resources = Paths::resources();
    return resources.isEmpty() ? QString() : resources + QStringLiteral("/askpass");
}

QString SFTPClient::program() {
    {
        QMutexLocker locker(&programLock);
        if (!programOverride.isEmpty())
            return programOverride;
    }
    const QString system = QStringLiteral("/usr/bin/sftp");
    if (QFileInfo(system).isExecutable())
        return system;
    const QString found = QStandardPaths::findExecutable(QStringLiteral("sftp"));
    return found.isEmpty() ? system : found;
}

void SFTPClient::setProgramForTesting(const QString& program) {
    QMutexLocker locker(&programLock);
    programOverride = program;
}

SFTPOperation* SFTPClient::run(const QStringList& commands, QObject* context,
                               SFTPOperation::Handler done) const {
    if (const auto refusal = SFTPCommand::checkTarget(m_server))
        return new SFTPOperation(SFTPError{*refusal}, std::move(done), context);
    if (const auto refusal = SFTPCommand::checkCommands(commands))
        return new SFTPOperation(SFTPError{*refusal}, std::move(done), context);

    const QString password = m_password.value_or(QString());
    const QString helper = askpass();
    if (!password.isEmpty() && (helper.isEmpty() || !QFileInfo(helper).isExecutable())) {
        const QString name = MediaApp::name();
        return new SFTPOperation(SFTPError{QStringLiteral("The password helper is missing from ") + name +
                                           QStringLiteral(". Reinstall ") + name + QStringLiteral(".")},
                                 std::move(done), context);
    }

    SFTPOperation::Launch launch;
    launch.program = program();
    launch.arguments = SFTPCommand::arguments(m_server, !password.isEmpty());
    launch.environment = SFTPCommand::environment(QProcessEnvironment::systemEnvironment(), password, helper);
    launch.standardInput = SFTPCommand::batch(commands);
    return new SFTPOperation(launch, std::move(done), context);
}

SFTPOperation* SFTPClient::list(const QString& path, QObject* context,
                                std::function<void(const SFTPResult<QList<Entry>>&)> done) const {
    return run({QStringLiteral("ls -la ") + quote(path)}, context,
               [path, done = std::move(done)](const SFTPResult<QString>& result) {
                   if (!result.ok())
                       done(result.error());
                   else
                       done(SFTPListing::parse(result.value(), path));
               });
}

SFTPOperation* SFTPClient::download(const QString& remotePath, const QString& localFile, QObject* context,
                                    std::function<void(const SFTPResult<QString>&)> done) const {
    // A failure here shows as the tool's own failure to write the file. Nothing is made for a
    // name that will be refused anyway.
    if (SFTPText::isSafe(localFile))
        QDir().mkpath(QFileInfo(localFile).absolutePath());
    return run({QStringLiteral("get ") + quote(remotePath) + QLatin1Char(' ') + quote(localFile)}, context,
               [localFile, done = std::move(done)](const SFTPResult<QString>& result) {
                   if (!result.ok())
                       done(result.error());
                   else
                       done(localFile);
               });
}

SFTPOperation* SFTPClient::upload(const QString& localFile, const QString& remoteFolder, QObject* context,
                                  std::function<void(const SFTPResult<std::monostate>&)> done) const {
    const QString remote = join(remoteFolder, QFileInfo(localFile).fileName());
    return run({QStringLiteral("put ") + quote(localFile) + QLatin1Char(' ') + quote(remote)}, context,
               [done = std::move(done)](const SFTPResult<QString>& result) {
                   if (!result.ok())
                       done(result.error());
                   else
                       done(std::monostate{});
               });
}
