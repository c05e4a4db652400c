#include "network/keyring/KeychainStore.h"

#include <QFuture>
#include <QMutex>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <libsecret/secret.h>

#include <memory>

const SecretSchema* KeychainStore::schema() {
    static const SecretSchema kSchema = {
        "org.halcyrin.NetworkPassword",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &kSchema;
}

namespace {

struct ValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using Value = std::unique_ptr<SecretValue, ValueUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

// Delete-then-add is two calls; one lock keeps two writers from leaving two items.
QMutex writeLock;

// One worker, so asynchronous calls run in the order they were made.
QThreadPool* worker() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(1);
        created->setExpiryTimeout(5000);
        return created;
    }();
    return pool;
}

void clear(const QByteArray& service, const QByteArray& account) {
    GError* raw = nullptr;
    secret_password_clear_sync(KeychainStore::schema(), nullptr, &raw, "service", service.constData(),
                               "account", account.constData(), nullptr);
    Error error(raw);
}

} // namespace

KeychainStore::KeychainStore(QString service)
    : m_service(std::move(service)) {}

std::optional<QString> KeychainStore::get(const QString& account) const {
    const QByteArray service = m_service.toUtf8();
    const QByteArray name = account.toUtf8();
    GError* raw = nullptr;
    Value value(secret_password_lookup_binary_sync(KeychainStore::schema(), nullptr, &raw, "service",
                                                   service.constData(), "account", name.constData(),
                                                   nullptr));
    Error error(raw);
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString password = decoder(QByteArrayView(bytes, qsizetype(length)));
    if (decoder.hasError())
        return std::nullopt;
    return password;
}

void KeychainStore::set(const QString& value, const QString& account) const {
    const QByteArray service = m_service.toUtf8();
    const QByteArray name = account.toUtf8();
    const QByteArray secret = value.toUtf8();
    const QByteArray label = m_service.toUtf8() + ": " + name;
    QMutexLocker locker(&writeLock);
    clear(service, name);
    // Binary with an explicit length, so a password is stored whole whatever it holds.
    Value stored(secret_value_new(secret.constData(), secret.size(), "text/plain"));
    GError* raw = nullptr;
    secret_password_store_binary_sync(KeychainStore::schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                                      stored.get(), nullptr, &raw, "service", service.constData(), "account",
                                      name.constData(), nullptr);
    Error error(raw);
}

void KeychainStore::remove(const QString& account) const {
    QMutexLocker locker(&writeLock);
    clear(m_service.toUtf8(), account.toUtf8());
}

void KeychainStore::get(const QString& account, QObject* context,
                        std::function<void(std::optional<QString>)> done) const {
    const KeychainStore store = *this;
    QtConcurrent::run(worker(), [store, account] {
        return store.get(account);
    }).then(context, [done = std::move(done)](std::optional<QString> password) {
        if (done)
            done(std::move(password));
    });
}

void KeychainStore::set(const QString& value, const QString& account, QObject* context,
                        std::function<void()> done) const {
    const KeychainStore store = *this;
    QFuture<void> future =
        QtConcurrent::run(worker(), [store, value, account] { store.set(value, account); });
    if (context && done)
        future.then(context, std::move(done));
}

void KeychainStore::remove(const QString& account, QObject* context, std::function<void()> done) const {
    const KeychainStore store = *this;
    QFuture<void> future = QtConcurrent::run(worker(), [store, account] { store.remove(account); });
    if (context && done)
        future.then(context, std::move(done));
}
