#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

// One running instance per user. The first instance listens on a local socket in
// $XDG_RUNTIME_DIR; a later launch connects, hands over its arguments (as absolute file or web
// addresses) and exits, and the first instance reports them through `received` (an empty list
// when the later launch had no files: the window should come back all the same). Main thread.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's path for this user.
    static QString socketPath();

    // Becomes the instance that receives launches. False when another instance already answers
    // (then hand over with `handOver`), or when the socket cannot be made.
    bool listen();
    bool isListening() const { return m_server.isListening(); }

    // Sends the addresses to the running instance and waits for its receipt. False when no
    // instance answered in time.
    static bool handOver(const QStringList& addresses, int timeoutMs = 5000);

    // Command-line arguments as addresses: web and file addresses as given, paths made
    // absolute against `workingFolder`.
    static QStringList addressesFromArguments(const QStringList& arguments, const QString& workingFolder);

Q_SIGNALS:
    void received(const QStringList& addresses);

private:
    void accept();

    QLocalServer m_server;
};
