#include "library/ui/PasswordDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

PasswordDialog::PasswordDialog(QWidget* parent)
    : m_parent(parent) {}

PasswordDialog::~PasswordDialog() {
    if (m_open)
        m_open->reject();
}

void PasswordDialog::ask(const QString& reason, std::function<void(std::optional<QByteArray>)> answer) {
    auto* dialog = new QDialog(m_parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Authentication"));
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("Enter your password to %1.").arg(reason), dialog));
    auto* field = new QLineEdit(dialog);
    field->setEchoMode(QLineEdit::Password);
    layout->addWidget(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto once = std::make_shared<std::function<void(std::optional<QByteArray>)>>(std::move(answer));
    QObject::connect(dialog, &QDialog::finished, dialog, [field, once](int result) {
        if (!*once)
            return;
        auto reply = std::move(*once);
        *once = nullptr;
        if (result == QDialog::Accepted) {
            QByteArray password = field->text().toUtf8();
            field->clear();
            reply(std::move(password));
        } else {
            field->clear();
            reply(std::nullopt);
        }
    });
    m_open = dialog;
    dialog->open();
}
