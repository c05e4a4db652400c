#include "converter/ui/ConverterRow.h"

#include "converter/estimate/SizeText.h"
#include "converter/ui/ConverterStyle.h"
#include "converter/ui/ElidedLabel.h"
#include "converter/ui/FileReveal.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

using State = ConverterModel::Status::State;

// The type's icon names were found when the file was added, off the main thread.
QPixmap fileIcon(const ConverterModel::Item& item, const QPalette& palette, qreal ratio) {
    const ConvertKind kind = item.kind;
    QIcon icon;
    if (!item.iconName.isEmpty())
        icon = QIcon::fromTheme(item.iconName);
    if (icon.isNull() && !item.genericIconName.isEmpty())
        icon = QIcon::fromTheme(item.genericIconName);
    if (!icon.isNull())
        return icon.pixmap(QSize(28, 28), ratio);
    // No theme icon for this type: the kind's own symbol.
    return ConverterStyle::symbol(kind.symbol(), ConverterStyle::accent(palette), 24, ratio);
}

QToolButton* iconButton(const QString& name, const QString& help, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setIconSize(QSize(20, 20));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

ConverterRow::ConverterRow(ConverterModel& model, const QUuid& id, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_id(id) {
    setObjectName(QStringLiteral("converterRow"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(10);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("rowIcon"));
    m_icon->setFixedSize(28, 28);
    row->addWidget(m_icon);

    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    m_name = new ElidedLabel(this);
    m_name->setObjectName(QStringLiteral("rowName"));
    column->addWidget(m_name);

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    m_busy = new QWidget(this);
    m_busy->setObjectName(QStringLiteral("rowBusy"));
    {
        auto* busyRow = new QHBoxLayout(m_busy);
        busyRow->setContentsMargins(0, 0, 0, 0);
        busyRow->setSpacing(6);
        auto* spinner = new QProgressBar(m_busy);
        spinner->setRange(0, 0);
        spinner->setTextVisible(false);
        spinner->setFixedSize(48, 6);
        busyRow->addWidget(spinner);
        auto* label = new QLabel(QStringLiteral("Converting…"), m_busy);
        label->setObjectName(QStringLiteral("rowConverting"));
        ConverterStyle::makeCaption(label);
        busyRow->addWidget(label);
    }
    statusRow->addWidget(m_busy);

    m_progress = new QWidget(this);
    m_progress->setObjectName(QStringLiteral("rowProgress"));
    {
        auto* progressRow = new QHBoxLayout(m_progress);
        progressRow->setContentsMargins(0, 0, 0, 0);
        progressRow->setSpacing(8);
        m_bar = new QProgressBar(m_progress);
        m_bar->setObjectName(QStringLiteral("rowBar"));
        m_bar->setRange(0, 1000);
        m_bar->setTextVisible(false);
        m_bar->setMaximumWidth(280);
        m_bar->setFixedHeight(6);
        progressRow->addWidget(m_bar, 1);
        m_percent = new QLabel(m_progress);
        m_percent->setObjectName(QStringLiteral("rowPercent"));
        ConverterStyle::makeCaption(m_percent);
        progressRow->addWidget(m_percent);
    }
    statusRow->addWidget(m_progress, 1);

    m_statusIcon = new QLabel(this);
    m_statusIcon->setObjectName(QStringLiteral("rowStatusIcon"));
    statusRow->addWidget(m_statusIcon);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("rowStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusRow->addWidget(m_status, 1);
    column->addLayout(statusRow);
    row->addLayout(column, 1);

    m_stop = iconButton(QStringLiteral("rowStop"), QStringLiteral("Stop"), this);
    m_open = new QPushButton(QStringLiteral("Open"), this);
    m_open->setObjectName(QStringLiteral("rowOpen"));
    m_open->setToolTip(QStringLiteral("Open"));
    m_reveal = iconButton(QStringLiteral("rowReveal"), QStringLiteral("Show in Folder"), this);
    m_remove = iconButton(QStringLiteral("rowRemove"), QStringLiteral("Remove from the list"), this);
    row->addWidget(m_stop);
    row->addWidget(m_open);
    row->addWidget(m_reveal);
    row->addWidget(m_remove);

    connect(m_stop, &QToolButton::clicked, this, [this] { m_model.cancel(m_id); });
    connect(m_remove, &QToolButton::clicked, this, [this] { m_model.remove(m_id); });
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (const auto item = m_model.item(m_id); item && item->status.state == State::done)
            FileReveal::open(item->status.output);
    });
    connect(m_reveal, &QToolButton::clicked, this, [this] {
        if (const auto item = m_model.item(m_id); item && item->status.state == State::done)
            FileReveal::showInFolder(item->status.output);
    });

    restyle();
    if (const auto item = m_model.item(m_id))
        m_icon->setPixmap(fileIcon(*item, palette(), devicePixelRatioF()));
    m_icon->setAlignment(Qt::AlignCenter);
    refresh();
}

QString ConverterRow::percentText(double fraction) {
    const int percent = int(std::floor(qBound(0.0, fraction, 1.0) * 100.0 + 1e-9));
    return QString::number(percent) + QStringLiteral(" %");
}

void ConverterRow::refresh() {
    const auto item = m_model.item(m_id);
    if (!item)
        return;
    m_name->setFullText(QFileInfo(item->url).fileName());
    const ConverterModel::Status& status = item->status;
    m_shownState = status.state;
    const bool running = status.state == State::running;
    m_busy->setVisible(running && status.fraction <= 0);
    m_progress->setVisible(running && status.fraction > 0);
    m_stop->setVisible(running);
    m_open->setVisible(status.state == State::done);
    m_reveal->setVisible(status.state == State::done);
    m_remove->setVisible(status.state == State::waiting || status.state == State::failed ||
                         status.state == State::cancelled);
    m_statusIcon->setVisible(status.state == State::done);

    const QPalette& pal = palette();
    switch (status.state) {
    case State::running:
        setStatusText({}, {}, 1);
        m_status->setVisible(false);
        if (status.fraction > 0) {
            m_bar->setValue(int(qBound(0.0, status.fraction, 1.0) * 1000));
            m_percent->setText(percentText(status.fraction));
        }
        break;
    case State::done:
        setStatusText(QStringLiteral("Saved as ") + QFileInfo(status.output).fileName(),
                      ConverterStyle::success(pal), 1);
        break;
    case State::failed:
        setStatusText(status.message, ConverterStyle::warning(pal), 3);
        break;
    case State::cancelled:
        setStatusText(QStringLiteral("Stopped"), ConverterStyle::secondaryText(pal), 1);
        break;
    case State::waiting:
        setStatusText(SizeText::itemLine(m_model, *item), ConverterStyle::secondaryText(pal), 1);
        break;
    }
}

void ConverterRow::setStatusText(const QString& text, const QColor& color, int maxLines) {
    m_status->setVisible(!text.isEmpty());
    if (text.isEmpty())
        return;
    const bool wrap = maxLines > 1;
    m_status->setWordWrap(wrap);
    if (wrap) {
        const QFontMetrics metrics(m_status->font());
        m_status->setMaximumHeight(metrics.lineSpacing() * maxLines + 2);
    } else {
        m_status->setMaximumHeight(QWIDGETSIZE_MAX);
    }
    if (m_status->text() != text) {
        m_status->setText(text);
        m_status->setToolTip(wrap ? text : QString());
    }
    QPalette pal = m_status->palette();
    if (pal.color(QPalette::WindowText) != color) {
        pal.setColor(QPalette::WindowText, color);
        m_status->setPalette(pal);
    }
}

void ConverterRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ConverterStyle::paintPanel(painter, rect(), 12, palette());
}

void ConverterRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        restyle();
        refresh();
    }
}

void ConverterRow::restyle() {
    const QColor secondary = ConverterStyle::secondaryText(palette());
    m_stop->setIcon(ConverterStyle::symbolIcon(QStringLiteral("stop.circle"), secondary));
    m_reveal->setIcon(ConverterStyle::symbolIcon(QStringLiteral("magnifyingglass.circle"), secondary));
    m_remove->setIcon(ConverterStyle::symbolIcon(QStringLiteral("xmark.circle.fill"), secondary));
    m_statusIcon->setPixmap(ConverterStyle::symbol(QStringLiteral("checkmark.circle.fill"),
                                                   ConverterStyle::success(palette()), 14,
                                                   devicePixelRatioF()));
    QColor bar = ConverterStyle::accent(palette());
    m_bar->setStyleSheet(
        QStringLiteral("QProgressBar { border: none; border-radius: 3px; background: %1; }"
                       "QProgressBar::chunk { border-radius: 3px; background: %2; }")
            .arg(QColor(bar.red(), bar.green(), bar.blue(), 45).name(QColor::HexArgb), bar.name()));
}
