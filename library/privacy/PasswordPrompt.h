#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Asks the user for their account password, giving the reason ("open your private folders").
// Implemented by a dialog in the ui library; PamAuthentication owns it. Main thread: `ask` returns
// at once and calls `answer` exactly once, later: the UTF-8 password, or none when cancelled. The
// receiver owns the password and wipes it after use.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    virtual void ask(const QString& reason, std::function<void(std::optional<QByteArray>)> answer) = 0;
};
