#pragma once

#include "library/privacy/OwnerAuthentication.h"
#include "library/privacy/PasswordPrompt.h"

#include <QObject>
#include <QString>

#include <memory>

// Owner authentication on this system: PAM checks the current user's account password, which
// `PasswordPrompt` asks for. The PAM conversation runs in our helper program
// quorvane-password-check (Paths::helpers()), started without blocking the main thread; the
// password goes to it on standard input, never on a command line, and is wiped here as soon as
// it is written. When PAM cannot start a conversation at all the outcome is `unavailable` and
// nobody is asked; a missing or crashing helper counts as denied. Main thread only; answers that
// arrive after this object is gone are dropped.
class PamAuthentication : public OwnerAuthentication {
public:
    // Without /etc/pam.d/<service>, PAM uses the system's "other" stack (the usual password check).
    static inline const QString defaultService = QStringLiteral("halcyrin");

    explicit PamAuthentication(std::unique_ptr<PasswordPrompt> prompt, QString service = defaultService);
    ~PamAuthentication() override;

    void authenticate(const QString& reason, std::function<void(Outcome)> done) override;

    static QString checkerProgram();

private:
    // Runs the checker with `arguments`, writes `input` (wiped afterwards) and reports its exit code,
    // or -1 when it could not run or crashed.
    void runChecker(const QStringList& arguments, QByteArray input, std::function<void(int)> finished);

    std::unique_ptr<PasswordPrompt> m_prompt;
    QString m_service;
    // Owns the running checkers; queued answers die with it.
    std::unique_ptr<QObject> m_context;
};
