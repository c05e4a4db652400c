#include "common/ui/ToolToggle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

ToolToggle::ToolToggle(const QString& title, const QString& detail, const QString& symbol, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("toolToggleIcon"));
    icon->setFixedWidth(20);
    icon->setPixmap(QIcon::fromTheme(symbol).pixmap(20, 20));
    row->addWidget(icon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("toolToggleTitle"));
    texts->addWidget(m_title);
    m_detail = new QLabel(detail, this);
    m_detail->setObjectName(QStringLiteral("toolToggleDetail"));
    m_detail->setWordWrap(true);
    QFont small = m_detail->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_detail->setFont(small);
    m_detail->setForegroundRole(QPalette::PlaceholderText);
    m_detail->setVisible(!detail.isEmpty());
    texts->addWidget(m_detail);
    row->addLayout(texts, 1);

    m_switch = new QCheckBox(this);
    m_switch->setObjectName(QStringLiteral("toolToggleSwitch"));
    m_switch->setAccessibleName(title);
    row->addWidget(m_switch, 0, Qt::AlignVCenter);
    connect(m_switch, &QCheckBox::toggled, this, &ToolToggle::set);
}

bool ToolToggle::isOn() const {
    return m_switch->isChecked();
}

void ToolToggle::setOn(bool on) {
    const QSignalBlocker blocker(m_switch);
    m_switch->setChecked(on);
}

QString ToolToggle::title() const {
    return m_title->text();
}

QString ToolToggle::detail() const {
    return m_detail->text();
}
