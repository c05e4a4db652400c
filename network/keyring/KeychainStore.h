#pragma once

#include <QObject>
#include <QString>

#include <libsecret/secret.h>

#include <functional>
#include <optional>

// Passwords of saved servers, one item per account under one service, in the desktop's keyring
// (the Secret Service, through libsecret): attributes "service" and "account", the password as
// UTF-8, stored in the default collection. At most one item per service and account: every
// write deletes first. Failures are silent: a locked, refused or missing keyring reads as no
// password and writes nothing.
//
// The blocking forms talk to the keyring over D-Bus and may wait for the user to unlock it:
// call them only off the main thread. The forms with a context run the same call on the store's
// one worker thread (so calls keep their order) and answer on the context's thread; nothing is
// called when the context is gone by then. A plain value; copies share nothing.
class KeychainStore {
public:
    explicit KeychainStore(QString service);

    const QString& service() const { return m_service; }

    // Blocking.
    std::optional<QString> get(const QString& account) const;
    void set(const QString& value, const QString& account) const;
    void remove(const QString& account) const;

    // Asynchronous, for the main thread.
    void get(const QString& account, QObject* context,
             std::function<void(std::optional<QString>)> done) const;
    // `context` and `done` may be null for a write nobody waits for.
    void set(const QString& value, const QString& account, QObject* context,
             std::function<void()> done) const;
    void remove(const QString& account, QObject* context, std::function<void()> done) const;

    // The keyring schema of our items: attributes "service" and "account".
    static const SecretSchema* schema();

private:
    QString m_service;
};
