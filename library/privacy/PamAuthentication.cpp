#include "library/privacy/PamAuthentication.h"

#include "common/Paths.h"

#include <QPointer>
#include <QProcess>

namespace {

// Exit codes of the checker.
constexpr int kGranted = 0;
constexpr int kUnavailable = 2;

void wipe(QByteArray& secret) {
    // The array is never shared (moved, never copied), so data() does not detach a copy.
    volatile char* p = secret.data();
    for (qsizetype i = 0; i < secret.size(); ++i)
        p[i] = 0;
    secret.clear();
}

} // namespace

PamAuthentication::PamAuthentication(std::unique_ptr<PasswordPrompt> prompt, QString service)
    : m_prompt(std::move(prompt))
    , m_service(std::move(service))
    , m_context(std::make_unique<QObject>()) {}

PamAuthentication::~PamAuthentication() = default;

QString PamAuthentication::checkerProgram() {
    return Paths::helpers() + QStringLiteral("/quorvane-password-check");
}

void PamAuthentication::runChecker(const QStringList& arguments, QByteArray input,
                                   std::function<void(int)> finished) {
    auto* process = new QProcess(m_context.get());
    auto report = std::make_shared<std::function<void(int)>>(std::move(finished));
    QObject::connect(process, &QProcess::finished, m_context.get(),
                     [process, report](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         (*report)(status == QProcess::NormalExit ? code : -1);
                     });
    QObject::connect(process, &QProcess::errorOccurred, m_context.get(),
                     [process, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash also ends in finished()
                         process->deleteLater();
                         (*report)(-1);
                     });
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(checkerProgram(), arguments);
    if (!input.isEmpty())
        process->write(input);
    wipe(input);
    process->closeWriteChannel();
}

void PamAuthentication::authenticate(const QString& reason, std::function<void(Outcome)> done) {
    QPointer<QObject> context(m_context.get());
    auto finish = std::make_shared<std::function<void(Outcome)>>(std::move(done));
    runChecker({m_service, QStringLiteral("--probe")}, {}, [this, context, reason, finish](int probe) {
        if (probe == kUnavailable) {
            (*finish)(Outcome::unavailable);
            return;
        }
        if (probe != kGranted || !m_prompt) {
            (*finish)(Outcome::denied);
            return;
        }
        m_prompt->ask(reason, [this, context, finish](std::optional<QByteArray> password) {
            if (!context)
                return; // the authentication went away while the dialog was open
            if (!password) {
                (*finish)(Outcome::denied);
                return;
            }
            QByteArray secret = std::move(*password);
            wipe(*password);
            runChecker({m_service}, std::move(secret), [finish](int code) {
                (*finish)(code == kGranted ? Outcome::granted : Outcome::denied);
            });
        });
    });
}
