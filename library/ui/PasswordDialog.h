#pragma once

#include "library/privacy/PasswordPrompt.h"

#include <QPointer>

class QDialog;
class QWidget;

// The password dialog of the private folders' unlock: "Enter your password to open your private
// folders." with a hidden field. Window-modal, never blocks the main loop; the field is cleared as
// soon as the answer is taken. Main thread; the dialog is deleted when it closes.
class PasswordDialog : public PasswordPrompt {
public:
    explicit PasswordDialog(QWidget* parent = nullptr);
    ~PasswordDialog() override;

    void ask(const QString& reason, std::function<void(std::optional<QByteArray>)> answer) override;

private:
    QPointer<QWidget> m_parent;
    QPointer<QDialog> m_open;
};
