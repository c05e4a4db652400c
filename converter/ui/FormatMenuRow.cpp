#include "converter/ui/FormatMenuRow.h"

#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

FormatMenuRow::FormatMenuRow(ConverterModel& model, ConvertKind kind, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_kind(kind) {
    setObjectName(QStringLiteral("formatMenu-") + kind.id());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);

    auto* label = new QWidget(this);
    label->setFixedWidth(150);
    auto* labelRow = new QHBoxLayout(label);
    labelRow->setContentsMargins(0, 0, 0, 0);
    labelRow->setSpacing(6);
    auto* icon = new QLabel(label);
    icon->setPixmap(
        ConverterStyle::symbol(kind.symbol(), ConverterStyle::accent(palette()), 18, devicePixelRatioF()));
    labelRow->addWidget(icon);
    auto* title = new QLabel(kind.title(), label);
    QFont bold = title->font();
    bold.setWeight(QFont::DemiBold);
    title->setFont(bold);
    labelRow->addWidget(title, 1);
    row->addWidget(label);

    m_picker = new QComboBox(this);
    m_picker->setObjectName(QStringLiteral("formatPicker-") + kind.id());
    m_picker->setAccessibleName(kind.title() + QStringLiteral(" format"));
    m_picker->setFixedWidth(250);
    for (const ConvertTarget& target : ConvertTarget::targets(kind))
        m_picker->addItem(target.title, target.id);
    title->setBuddy(m_picker);
    row->addWidget(m_picker);
    row->addStretch(1);
    column->addLayout(row);
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        m_model.setChoice(m_picker->itemData(index).toString(), m_kind);
        refresh();
    });

    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("formatDetail-") + kind.id());
    m_detail->setWordWrap(true);
    m_detail->setContentsMargins(156, 0, 0, 0);
    ConverterStyle::makeCaption(m_detail);
    column->addWidget(m_detail);
    refresh();
}

void FormatMenuRow::refresh() {
    const QSignalBlocker blocker(m_picker);
    m_picker->setCurrentIndex(m_picker->findData(m_model.choice(m_kind)));
    const auto target = m_model.target(m_kind);
    m_detail->setVisible(target.has_value());
    m_detail->setText(target ? target->detail : QString());
}
