#pragma once

#include <QWidget>

class QPushButton;

// A footer row of two links: "Privacy" · "Terms" (short) or "Privacy Notice" · "Terms of
// Service" (long). Each opens its page with the desktop's default handler. Main thread.
class LegalLinks : public QWidget {
    Q_OBJECT

public:
    explicit LegalLinks(bool isShort, QWidget* parent = nullptr);

    QPushButton* privacyLink() const { return m_privacy; }
    QPushButton* termsLink() const { return m_terms; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    QPushButton* m_privacy = nullptr;
    QPushButton* m_terms = nullptr;
};
