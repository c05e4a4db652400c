#include "app/ConverterSettingsView.h"

#include "app/ConverterUpdates.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

ConverterSettingsView::ConverterSettingsView(ConverterUpdates& updates, QWidget* parent)
    : QWidget(parent)
    , m_updates(updates) {
    setObjectName(QStringLiteral("converterSettings"));
    setFixedSize(520, 200);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);

    auto* section = new QGroupBox(QStringLiteral("Updates"), this);
    section->setObjectName(QStringLiteral("updatesSection"));
    auto* form = new QFormLayout(section);
    m_version = new QLabel(ConverterUpdates::version(), section);
    m_version->setObjectName(QStringLiteral("settingsVersion"));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Version"), m_version);

    m_automatic = new QCheckBox(QStringLiteral("Check for updates automatically"), section);
    m_automatic->setObjectName(QStringLiteral("settingsAutomatic"));
    form->addRow(m_automatic);
    connect(m_automatic, &QCheckBox::toggled, this, [this](bool on) {
        m_updates.setAutomatic(on);
        refresh();
    });

    auto* row = new QHBoxLayout;
    auto* note =
        new QLabel(QStringLiteral("Updates are downloaded from the maker's web site and are only saved when "
                                  "they carry the maker's signature."),
                   section);
    note->setObjectName(QStringLiteral("settingsNote"));
    note->setWordWrap(true);
    row->addWidget(note, 1);
    m_check = new QPushButton(QStringLiteral("Check for Updates…"), section);
    m_check->setObjectName(QStringLiteral("settingsCheck"));
    row->addWidget(m_check, 0, Qt::AlignVCenter);
    form->addRow(row);
    column->addWidget(section);

    connect(m_check, &QPushButton::clicked, &m_updates, &ConverterUpdates::check);
    connect(&m_updates, &ConverterUpdates::canCheckChanged, this, &ConverterSettingsView::refresh);
    refresh();
}

void ConverterSettingsView::refresh() {
    m_check->setEnabled(m_updates.canCheck());
    const QSignalBlocker blocker(m_automatic);
    m_automatic->setChecked(m_updates.automatic());
    m_automatic->setEnabled(m_updates.isStarted());
}

void ConverterSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}
