// The keyring store against a real gnome-keyring daemon, started here in a private D-Bus session
// with its keyrings in this test's own data folder and unlocked with a test password.
#include "network/keyring/KeychainStore.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <libsecret/secret.h>

#include <gtest/gtest.h>

namespace {

class KeychainStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        const QString bus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || bus.isEmpty()) {
            s_missing = "gnome-keyring and dbus are not installed";
            return;
        }
        s_folder = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/qc-keyring-XXXXXX"));
        const QString address = QStringLiteral("unix:path=") + s_folder->path() + QStringLiteral("/bus");
        // The system's session-bus configuration without its service folders (and so without
        // activation): nothing but the daemon started below may answer for the Secret Service.
        QFile standard(QStringLiteral("/usr/share/dbus-1/session.conf"));
        if (!standard.open(QIODevice::ReadOnly)) {
            s_skip = "no D-Bus session configuration";
            return;
        }
        QByteArray busConfig = standard.readAll();
        busConfig.replace("<standard_session_servicedirs />", "");
        busConfig = QString::fromUtf8(busConfig)
                        .replace(QRegularExpression(QStringLiteral("<(include|includedir)[^>]*>[^<]*</\\1>")),
                                 QString())
                        .replace(QRegularExpression(QStringLiteral("<listen>[^<]*</listen>")),
                                 QStringLiteral("<listen>") + address + QStringLiteral("</listen>"))
                        .toUtf8();
        const QString config =
            TestSupport::writeFile(s_folder->path() + QStringLiteral("/bus.conf"), busConfig);
        s_bus = new QProcess;
        s_bus->start(bus, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile")});
        if (!s_bus->waitForStarted(10000) ||
            !TestSupport::waitFor([&] { return QFile::exists(s_folder->path() + QStringLiteral("/bus")); })) {
            s_skip = "the private D-Bus session did not start";
            return;
        }
        // Before libsecret first connects: it keeps the session bus it found first.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        s_keyring = new QProcess;
        s_keyring->start(daemon, {QStringLiteral("--unlock"), QStringLiteral("--foreground"),
                                  QStringLiteral("--components=secrets")});
        if (!s_keyring->waitForStarted(10000)) {
            s_skip = "gnome-keyring-daemon did not start";
            return;
        }
        s_keyring->write("test-keyring-password");
        s_keyring->closeWriteChannel();
        const KeychainStore probe(QStringLiteral("Probe"));
        const bool ready = TestSupport::waitFor(
            [&] {
                probe.set(QStringLiteral("ready"), QStringLiteral("probe"));
                return probe.get(QStringLiteral("probe")) == QStringLiteral("ready");
            },
            20000);
        probe.remove(QStringLiteral("probe"));
        if (!ready) {
            s_skip = "the keyring did not answer";
            fprintf(stderr, "keyring: %s\n", s_keyring->readAllStandardError().constData());
        }
    }

    static void TearDownTestSuite() {
        for (QProcess* process : {s_keyring, s_bus}) {
            if (process) {
                process->kill();
                process->waitForFinished(5000);
                delete process;
            }
        }
        s_keyring = s_bus = nullptr;
        delete s_folder;
        s_folder = nullptr;
    }

    void SetUp() override {
        if (s_missing)
            GTEST_SKIP() << s_missing;
        if (s_skip)
            FAIL() << s_skip;
    }

    // Every item of `service` and `account`, however many there are.
    static int count(const QString& service, const QString& account) {
        GError* error = nullptr;
        GList* items = secret_password_search_sync(KeychainStore::schema(), SECRET_SEARCH_ALL, nullptr,
                                                   &error, "service", service.toUtf8().constData(), "account",
                                                   account.toUtf8().constData(), nullptr);
        if (error)
            g_error_free(error);
        const int n = int(g_list_length(items));
        g_list_free_full(items, g_object_unref);
        return n;
    }

    // Skips where the keyring is not installed; every other set-up failure fails the tests.
    static inline const char* s_missing = nullptr;
    static inline const char* s_skip = nullptr;
    static inline QTemporaryDir* s_folder = nullptr;
    static inline QProcess* s_bus = nullptr;
    static inline QProcess* s_keyring = nullptr;
};

TEST_F(KeychainStoreTest, SettingTwiceLeavesOneItemHoldingTheSecondValue) {
    const KeychainStore store(QStringLiteral("Halcyrin Network Servers"));
    const QString account = QStringLiteral("0E6D3B8A-3C1B-4F55-9B9C-2C1D9F0A7B11");
    store.set(QStringLiteral("first"), account);
    store.set(QStringLiteral("second"), account);
    EXPECT_EQ(store.get(account), QStringLiteral("second"));
    EXPECT_EQ(count(store.service(), account), 1);
    store.remove(account);
    EXPECT_EQ(store.get(account), std::nullopt);
    EXPECT_EQ(count(store.service(), account), 0);
}

TEST_F(KeychainStoreTest, PasswordsComeBackUnchanged) {
    const KeychainStore store(QStringLiteral("Halcyrin Network Servers"));
    const QString cases[] = {
        QStringLiteral("pässwörd 🔑 密码"),
        QStringLiteral(" spaces and \"quotes\" and \\ "),
        QStringLiteral("line\nbreak"),
        QString(QStringLiteral("nul")) + QChar(0) + QStringLiteral("inside"),
        QStringLiteral("x"),
    };
    for (const QString& password : cases) {
        store.set(password, QStringLiteral("account"));
        EXPECT_EQ(store.get(QStringLiteral("account")), password) << password.toStdString();
    }
    store.remove(QStringLiteral("account"));
}

TEST_F(KeychainStoreTest, ServicesAreKeptApart) {
    const KeychainStore servers(QStringLiteral("Halcyrin Network Servers"));
    const KeychainStore other(QStringLiteral("Some Other Store"));
    servers.set(QStringLiteral("for servers"), QStringLiteral("same"));
    other.set(QStringLiteral("for the other"), QStringLiteral("same"));
    EXPECT_EQ(servers.get(QStringLiteral("same")), QStringLiteral("for servers"));
    EXPECT_EQ(other.get(QStringLiteral("same")), QStringLiteral("for the other"));
    other.remove(QStringLiteral("same"));
    EXPECT_EQ(servers.get(QStringLiteral("same")), QStringLiteral("for servers"));
    EXPECT_EQ(other.get(QStringLiteral("same")), std::nullopt);
    servers.remove(QStringLiteral("same"));
}

TEST_F(KeychainStoreTest, AMissingItemGivesNoneAndRemovingItIsHarmless) {
    const KeychainStore store(QStringLiteral("Halcyrin Network Servers"));
    EXPECT_EQ(store.get(QStringLiteral("never-stored")), std::nullopt);
    store.remove(QStringLiteral("never-stored"));
    EXPECT_EQ(store.get(QStringLiteral("never-stored")), std::nullopt);
}

TEST_F(KeychainStoreTest, AsynchronousCallsKeepTheirOrderAndAnswerOnTheCallersThread) {
    const KeychainStore store(QStringLiteral("Halcyrin Network Servers"));
    QObject context;
    std::optional<std::optional<QString>> answer;
    QThread* answeredOn = nullptr;
    store.set(QStringLiteral("one"), QStringLiteral("async"), nullptr, {});
    store.set(QStringLiteral("two"), QStringLiteral("async"), nullptr, {});
    store.get(QStringLiteral("async"), &context, [&](std::optional<QString> password) {
        answer = password;
        answeredOn = QThread::currentThread();
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, QStringLiteral("two"));
    EXPECT_EQ(answeredOn, QThread::currentThread());

    bool removed = false;
    store.remove(QStringLiteral("async"), &context, [&] { removed = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return removed; }));
    EXPECT_EQ(count(store.service(), QStringLiteral("async")), 0);
}

TEST_F(KeychainStoreTest, ALockedKeyringReadsAsNoPassword) {
    const KeychainStore store(QStringLiteral("Halcyrin Network Servers"));
    store.set(QStringLiteral("hidden"), QStringLiteral("locked"));
    ASSERT_EQ(store.get(QStringLiteral("locked")), QStringLiteral("hidden"));
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    ASSERT_NE(service, nullptr);
    SecretCollection* collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, nullptr, &error);
    ASSERT_NE(collection, nullptr);
    GList* objects = g_list_append(nullptr, collection);
    ASSERT_GE(secret_service_lock_sync(service, objects, nullptr, nullptr, &error), 1);
    g_list_free(objects);
    // Unlocking needs the user, and there is no one to ask here: the answer is "none".
    EXPECT_EQ(store.get(QStringLiteral("locked")), std::nullopt);
    g_object_unref(collection);
    g_object_unref(service);
}

} // namespace
