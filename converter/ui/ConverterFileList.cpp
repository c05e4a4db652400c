#include "converter/ui/ConverterFileList.h"

#include <QTimer>

#include "common/MediaApp.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterRow.h"
#include "converter/ui/ConverterStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

ConverterFileList::ConverterFileList(ConverterModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    setObjectName(QStringLiteral("fileList"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("fileCount"));
    QFont headline = m_count->font();
    headline.setWeight(QFont::DemiBold);
    headline.setPointSizeF(headline.pointSizeF() * 1.1);
    m_count->setFont(headline);
    header->addWidget(m_count);
    m_skipped = new QLabel(this);
    m_skipped->setObjectName(QStringLiteral("skippedNote"));
    ConverterStyle::makeCaption(m_skipped);
    header->addWidget(m_skipped);
    header->addStretch(1);
    m_add = new QPushButton(QStringLiteral("Add Files…"), this);
    m_add->setObjectName(QStringLiteral("addFiles"));
    header->addWidget(m_add);
    m_clear = new QPushButton(QStringLiteral("Clear Finished"), this);
    m_clear->setObjectName(QStringLiteral("clearFinished"));
    header->addWidget(m_clear);
    column->addLayout(header);
    connect(m_add, &QPushButton::clicked, this, &ConverterFileList::chooseRequested);
    connect(m_clear, &QPushButton::clicked, this, [this] { m_model.clearFinished(); });

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("fileScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(m_scroll);
    content->setObjectName(QStringLiteral("fileRows"));
    content->setAutoFillBackground(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(0, 0, 4, 0);
    m_column->setSpacing(6);
    m_column->addStretch(1);
    m_scroll->setWidget(content);
    // setWidget turns the fill on; the panel behind should show through.
    content->setAutoFillBackground(false);
    column->addWidget(m_scroll, 1);

    for (int row = 0; row < m_model.items().size(); ++row)
        insertRow(row);
    refreshHeader();

    connect(&m_model, &ConverterModel::itemInserted, this, [this](int row) {
        insertRow(row);
        refreshHeader();
    });
    connect(&m_model, &ConverterModel::itemRemoved, this, [this](int row) {
        removeRow(row);
        refreshHeader();
    });
    connect(&m_model, &ConverterModel::itemChanged, this, &ConverterFileList::changeRow);
    connect(&m_model, &ConverterModel::itemFinished, this, [this] { refreshHeader(); });
    connect(&m_model, &ConverterModel::skippedChanged, this, &ConverterFileList::refreshHeader);
    connect(&m_model, &ConverterModel::choiceChanged, this, &ConverterFileList::refreshWaitingRows);
    connect(&m_model, &ConverterModel::estimatesChanged, this, &ConverterFileList::refreshWaitingRows);
    connect(&m_model, &ConverterModel::qualityChanged, this, &ConverterFileList::refreshWaitingRows);
    connect(&m_model, &ConverterModel::maxSizeChanged, this, &ConverterFileList::refreshWaitingRows);
}

QString ConverterFileList::countText(int count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

QString ConverterFileList::skippedText(int skipped) {
    return QStringLiteral("· ") + QString::number(skipped) + QStringLiteral(" skipped (not a format ") +
           MediaApp::name() + QStringLiteral(" converts)");
}

void ConverterFileList::insertRow(int row) {
    if (row < 0 || row >= m_model.items().size())
        return;
    // A dropped folder inserts rows by the hundred: the column lays itself out once afterwards
    // instead of once per row.
    if (m_column->isEnabled()) {
        m_column->setEnabled(false);
        QTimer::singleShot(0, this, [this] {
            m_column->setEnabled(true);
            m_column->activate();
        });
    }
    auto* widget = new ConverterRow(m_model, m_model.items().at(row).id, m_scroll->widget());
    m_rows.insert(row, widget);
    m_column->insertWidget(row, widget);
    // Shown now, while the column waits, rather than by a later event that lays it out again.
    widget->show();
}

void ConverterFileList::removeRow(int row) {
    if (row < 0 || row >= m_rows.size())
        return;
    ConverterRow* widget = m_rows.takeAt(row);
    m_column->removeWidget(widget);
    // Later: the removal may come from one of this row's own buttons.
    widget->hide();
    widget->deleteLater();
}

void ConverterFileList::changeRow(int row) {
    if (row >= 0 && row < m_rows.size())
        m_rows.at(row)->refresh();
}

void ConverterFileList::refreshHeader() {
    m_count->setText(countText(int(m_model.items().size())));
    const int skipped = m_model.skipped();
    m_skipped->setVisible(skipped >= 1);
    m_skipped->setText(skipped >= 1 ? skippedText(skipped) : QString());
    m_clear->setVisible(m_model.hasFinished());
}

void ConverterFileList::refreshWaitingRows() {
    const auto& items = m_model.items();
    for (int row = 0; row < m_rows.size() && row < items.size(); ++row) {
        if (items.at(row).status.isWaiting())
            m_rows.at(row)->refresh();
    }
}
