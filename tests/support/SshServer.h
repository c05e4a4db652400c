#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real OpenSSH server for the SFTP tests, on 127.0.0.1 and a free port, with its own
// configuration, host key and client key in a temporary folder, and an `sftp` wrapper that
// points the client at that folder (known hosts, identity) with -F, so no test touches ~/.ssh.
// The user running the tests logs in with the client key. Where the tests run as root, a
// throw-away account with a password can be added; it is removed again by the destructor.
// Used from the test's main thread.
class SshServer {
public:
    SshServer();
    ~SshServer();

    // Starts sshd and waits until it accepts connections. False with `error` set when it can't.
    bool start(QString* error);

    quint16 port() const { return m_port; }
    // The temporary folder; files under it are served as they are.
    QString folder() const { return m_folder.path(); }
    // The program to run in place of /usr/bin/sftp.
    QString sftpWrapper() const { return folder() + QStringLiteral("/sftp"); }
    QString knownHosts() const { return folder() + QStringLiteral("/known_hosts"); }
    QString logFile() const { return folder() + QStringLiteral("/sshd.log"); }
    // The account running the tests.
    static QString currentUser();

    // Root only: makes an account with `password` whose home is a folder under folder().
    bool addPasswordUser(const QString& password, QString* error);
    QString passwordUser() const { return m_passwordUser; }
    QString passwordUserHome() const;

    // Writes a known-hosts line for this server with a key that is not the server's.
    bool forgeHostKey(QString* error);
    // A port on 127.0.0.1 that nothing listens on.
    static quint16 freePort();

private:
    bool run(const QString& program, const QStringList& arguments, QString* error,
             const QByteArray& input = {});

    QTemporaryDir m_folder;
    QProcess m_sshd;
    quint16 m_port = 0;
    QString m_passwordUser;
};
