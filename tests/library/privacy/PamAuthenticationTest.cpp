#include "library/privacy/PamAuthentication.h"
#include "common/Log.h"
#include "library/marks/MediaMarks.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

// The unlock runs against real PAM through Debian's pam_wrapper: the password checker program
// starts with libpam_wrapper preloaded and a service folder of ours, where the "halcyrin" service
// checks passwords with pam_matrix against a password file the test writes.
namespace {

class ScriptedPrompt : public PasswordPrompt {
public:
    ScriptedPrompt(QByteArray answer, int* asked)
        : m_answer(std::move(answer))
        , m_asked(asked) {}
    void ask(const QString& reason, std::function<void(std::optional<QByteArray>)> answer) override {
        EXPECT_EQ(reason, QStringLiteral("open your private folders"));
        ++*m_asked;
        answer(m_answer);
    }

private:
    QByteArray m_answer;
    int* m_asked;
};

QString findLibrary(const QString& name) {
    for (const QString& folder :
         {QStringLiteral("/usr/lib/x86_64-linux-gnu"), QStringLiteral("/usr/lib/aarch64-linux-gnu"),
          QStringLiteral("/usr/lib64"), QStringLiteral("/usr/lib")}) {
        if (QFile::exists(folder + QLatin1Char('/') + name))
            return folder + QLatin1Char('/') + name;
    }
    return {};
}

QString currentUser() {
    const passwd* entry = getpwuid(getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

// Points PAM of the checker processes started meanwhile at pam_wrapper and a service folder;
// `withService` false leaves the folder empty, so PAM cannot start a conversation at all.
class PamWrapperScope {
public:
    explicit PamWrapperScope(bool withService) {
        const QString wrapper = findLibrary(QStringLiteral("libpam_wrapper.so"));
        const QString matrix = findLibrary(QStringLiteral("pam_wrapper/pam_matrix.so"));
        EXPECT_FALSE(wrapper.isEmpty() || matrix.isEmpty())
            << "libpam-wrapper is missing (scripts/deps/test.txt)";
        const QString services = m_folder.filePath(QStringLiteral("services"));
        QDir().mkpath(services);
        const QString passwords =
            TestSupport::writeFile(m_folder.filePath(QStringLiteral("passdb")),
                                   (currentUser() + QStringLiteral(":right horse battery:") +
                                    PamAuthentication::defaultService + QLatin1Char('\n'))
                                       .toUtf8());
        if (withService) {
            const QString line = QStringLiteral(" required %1 passdb=%2\n").arg(matrix, passwords);
            TestSupport::writeFile(
                services + QLatin1Char('/') + PamAuthentication::defaultService,
                (QStringLiteral("auth") + line + QStringLiteral("account") + line).toUtf8());
        }
        qputenv("LD_PRELOAD", wrapper.toUtf8());
        qputenv("PAM_WRAPPER", "1");
        qputenv("PAM_WRAPPER_SERVICE_DIR", services.toUtf8());
    }
    ~PamWrapperScope() {
        qunsetenv("LD_PRELOAD");
        qunsetenv("PAM_WRAPPER");
        qunsetenv("PAM_WRAPPER_SERVICE_DIR");
    }

private:
    QTemporaryDir m_folder;
};

struct Outcome {
    bool result = false;
    bool unlocked = false;
    int asked = 0;
    QByteArray log;
};

Outcome unlock(const QByteArray& password, bool withService) {
    PamWrapperScope pam(withService);
    Outcome outcome;
    QFile::remove(Log::file());
    MediaMarks marks(
        std::make_unique<PamAuthentication>(std::make_unique<ScriptedPrompt>(password, &outcome.asked)));
    std::optional<bool> answer;
    marks.unlock([&](bool ok) { answer = ok; });
    EXPECT_TRUE(TestSupport::waitFor([&] { return answer.has_value(); }, 60000));
    outcome.result = answer.value_or(false);
    outcome.unlocked = marks.unlocked();
    Log::flush();
    QFile log(Log::file());
    if (log.open(QIODevice::ReadOnly))
        outcome.log = log.readAll();
    return outcome;
}

} // namespace

TEST(PamAuthenticationTest, CheckerIsBuilt) {
    EXPECT_TRUE(QFile::exists(PamAuthentication::checkerProgram()))
        << PamAuthentication::checkerProgram().toStdString();
}

TEST(PamAuthenticationTest, RightPasswordUnlocks) {
    const Outcome outcome = unlock("right horse battery", true);
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.unlocked);
    EXPECT_EQ(outcome.asked, 1);
    EXPECT_TRUE(outcome.log.contains("Media library: private folders unlocked"));
    EXPECT_FALSE(outcome.log.contains("horse")); // the password never reaches the log
}

TEST(PamAuthenticationTest, WrongPasswordStaysLocked) {
    const Outcome outcome = unlock("wrong horse", true);
    EXPECT_FALSE(outcome.result);
    EXPECT_FALSE(outcome.unlocked);
    EXPECT_EQ(outcome.asked, 1);
    EXPECT_TRUE(outcome.log.contains("Media library: private folders stayed locked"));
    EXPECT_FALSE(outcome.log.contains("horse"));
}

TEST(PamAuthenticationTest, SystemWithoutPamAuthenticationUnlocksWithoutAsking) {
    const Outcome outcome = unlock("unused horse", false);
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.unlocked);
    EXPECT_EQ(outcome.asked, 0);
    EXPECT_FALSE(outcome.log.contains("Media library: private folders"));
}

TEST(PamAuthenticationTest, AlreadyUnlockedAnswersAtOnce) {
    int asked = 0;
    MediaMarks marks(std::make_unique<PamAuthentication>(std::make_unique<ScriptedPrompt>("x", &asked)));
    marks.setUnlocked(true);
    bool answered = false;
    marks.unlock([&](bool ok) { answered = ok; });
    EXPECT_TRUE(answered);
    EXPECT_EQ(asked, 0);
}
