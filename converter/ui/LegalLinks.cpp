#include "converter/ui/LegalLinks.h"

#include "converter/ui/ConverterStyle.h"
#include "converter/ui/Legal.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

LegalLinks::LegalLinks(bool isShort, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("legalLinks"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    const auto link = [this](const QString& title, const QString& name) {
        auto* button = new QPushButton(title, this);
        button->setObjectName(name);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        return button;
    };
    m_privacy = link(isShort ? QStringLiteral("Privacy") : QStringLiteral("Privacy Notice"),
                     QStringLiteral("legalPrivacy"));
    m_terms = link(isShort ? QStringLiteral("Terms") : QStringLiteral("Terms of Service"),
                   QStringLiteral("legalTerms"));
    auto* dot = new QLabel(QStringLiteral("·"), this);
    ConverterStyle::makeCaption(dot);
    row->addStretch(1);
    row->addWidget(m_privacy);
    row->addWidget(dot);
    row->addWidget(m_terms);
    row->addStretch(1);
    connect(m_privacy, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(Legal::privacy()); });
    connect(m_terms, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(Legal::terms()); });
    restyle();
}

void LegalLinks::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !signalsBlocked()) {
        const QSignalBlocker blocker(this);
        restyle();
    }
}

void LegalLinks::restyle() {
    const QColor color = ConverterStyle::secondaryText(palette());
    const QColor focus = ConverterStyle::accent(palette());
    const QString sheet =
        QStringLiteral("QPushButton { border: none; padding: 2px 4px; color: %1; font-size: 11px; }"
                       "QPushButton:hover { color: %2; text-decoration: underline; }"
                       "QPushButton:focus { color: %2; text-decoration: underline; }")
            .arg(color.name(QColor::HexArgb), focus.name());
    m_privacy->setStyleSheet(sheet);
    m_terms->setStyleSheet(sheet);
}
