#include "SshServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace {

bool write(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    return !permissions || file.setPermissions(permissions);
}

} // namespace

SshServer::SshServer()
    : m_folder(QDir::tempPath() + QStringLiteral("/qc-sshd-XXXXXX")) {
    // A password account's sessions must reach their home folder below this one.
    QFile::setPermissions(folder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                        QFileDevice::ReadOther | QFileDevice::ExeOther);
}

SshServer::~SshServer() {
    if (m_sshd.state() != QProcess::NotRunning) {
        m_sshd.kill();
        m_sshd.waitForFinished(5000);
    }
    if (!m_passwordUser.isEmpty()) {
        QString ignored;
        run(QStringLiteral("/usr/sbin/userdel"), {QStringLiteral("-f"), m_passwordUser}, &ignored);
    }
}

QString SshServer::currentUser() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

quint16 SshServer::freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString SshServer::passwordUserHome() const {
    return folder() + QStringLiteral("/home-") + m_passwordUser;
}

bool SshServer::run(const QString& program, const QStringList& arguments, QString* error,
                    const QByteArray& input) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *error = program + QStringLiteral(": ") + process.errorString();
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = program + QStringLiteral(" failed: ") + QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    return true;
}

bool SshServer::start(QString* error) {
    const QString sshd = QStringLiteral("/usr/sbin/sshd");
    if (!QFile::exists(sshd) || !QFile::exists(QStringLiteral("/usr/bin/sftp"))) {
        *error = QStringLiteral("OpenSSH (openssh-server, openssh-client) is not installed");
        return false;
    }
    const QString dir = folder();
    for (const char* key : {"host_key", "client_key"}) {
        if (!run(QStringLiteral("/usr/bin/ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                  QString(), QStringLiteral("-f"), dir + QLatin1Char('/') + QLatin1String(key)},
                 error))
            return false;
    }
    QFile publicKey(dir + QStringLiteral("/client_key.pub"));
    publicKey.open(QIODevice::ReadOnly);
    // Keys are per account, so a password account can never fall back to the client key.
    if (!write(dir + QStringLiteral("/authorized_keys.") + currentUser(), publicKey.readAll()))
        return false;
    // Root's sshd keeps its privilege-separation folder here.
    if (::geteuid() == 0)
        QDir().mkpath(QStringLiteral("/run/sshd"));

    m_port = freePort();
    const QByteArray config = "ListenAddress 127.0.0.1\n"
                              "Port " +
                              QByteArray::number(m_port) +
                              "\n"
                              "HostKey " +
                              dir.toUtf8() +
                              "/host_key\n"
                              "PidFile none\n"
                              "AuthorizedKeysFile " +
                              dir.toUtf8() +
                              "/authorized_keys.%u\n"
                              "StrictModes no\n"
                              "UsePAM no\n"
                              "PasswordAuthentication yes\n"
                              "KbdInteractiveAuthentication no\n"
                              "PermitRootLogin yes\n"
                              "Subsystem sftp internal-sftp\n";
    const QByteArray client = "Host *\n"
                              "  UserKnownHostsFile " +
                              dir.toUtf8() +
                              "/known_hosts\n"
                              "  GlobalKnownHostsFile /dev/null\n"
                              "  IdentityFile " +
                              dir.toUtf8() +
                              "/client_key\n"
                              "  IdentitiesOnly yes\n"
                              "  IdentityAgent none\n";
    const QByteArray wrapper = "#!/bin/sh\nexec /usr/bin/sftp -F '" + dir.toUtf8() + "/ssh_config' \"$@\"\n";
    if (!write(dir + QStringLiteral("/sshd_config"), config) ||
        !write(dir + QStringLiteral("/ssh_config"), client) ||
        !write(sftpWrapper(), wrapper,
               QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        *error = QStringLiteral("cannot write the server's configuration");
        return false;
    }

    m_sshd.setStandardOutputFile(logFile());
    m_sshd.setStandardErrorFile(logFile(), QIODevice::Append);
    m_sshd.start(sshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                        dir + QStringLiteral("/sshd_config")});
    if (!m_sshd.waitForStarted(10000)) {
        *error = QStringLiteral("sshd: ") + m_sshd.errorString();
        return false;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (m_sshd.state() == QProcess::NotRunning)
            break;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    QFile log(logFile());
    log.open(QIODevice::ReadOnly);
    *error = QStringLiteral("sshd did not start: ") + QString::fromUtf8(log.readAll());
    return false;
}

bool SshServer::addPasswordUser(const QString& password, QString* error) {
    if (::geteuid() != 0) {
        *error = QStringLiteral("making a test account needs root");
        return false;
    }
    m_passwordUser = QStringLiteral("qcsftp%1").arg(QCoreApplication::applicationPid());
    QString ignored;
    run(QStringLiteral("/usr/sbin/userdel"), {QStringLiteral("-f"), m_passwordUser}, &ignored);
    const QString home = passwordUserHome();
    if (!run(QStringLiteral("/usr/sbin/useradd"),
             {QStringLiteral("-M"), QStringLiteral("-d"), home, QStringLiteral("-s"),
              QStringLiteral("/bin/sh"), m_passwordUser},
             error)) {
        m_passwordUser.clear();
        return false;
    }
    QDir().mkpath(home);
    return run(QStringLiteral("/usr/bin/chown"), {m_passwordUser, home}, error) &&
           run(QStringLiteral("/usr/sbin/chpasswd"), {}, error,
               (m_passwordUser + QLatin1Char(':') + password).toUtf8());
}

bool SshServer::forgeHostKey(QString* error) {
    const QString other = folder() + QStringLiteral("/other_key");
    if (!run(QStringLiteral("/usr/bin/ssh-keygen"),
             {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
              QString(), QStringLiteral("-f"), other},
             error))
        return false;
    QFile key(other + QStringLiteral(".pub"));
    key.open(QIODevice::ReadOnly);
    const QList<QByteArray> parts = key.readAll().split(' ');
    return write(knownHosts(), "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + parts.value(0) + ' ' +
                                   parts.value(1) + '\n');
}
