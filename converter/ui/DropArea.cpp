#include "converter/ui/DropArea.h"

#include "common/MediaApp.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "converter/ui/ConverterStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

DropArea::DropArea(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("dropArea"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(10);
    column->addStretch(1);

    m_symbol = new QLabel(this);
    m_symbol->setObjectName(QStringLiteral("dropSymbol"));
    m_symbol->setAlignment(Qt::AlignCenter);
    column->addWidget(m_symbol);

    m_title = new QLabel(QStringLiteral("Drop files here to convert them"), this);
    m_title->setObjectName(QStringLiteral("dropTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.55);
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    column->addWidget(m_title);

    m_line = new QLabel(
        QStringLiteral("Videos, music, pictures, PDFs and documents. Your originals are never changed."),
        this);
    m_line->setObjectName(QStringLiteral("dropLine"));
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setWordWrap(true);
    column->addWidget(m_line);

    column->addSpacing(6);
    m_choose = new QPushButton(QStringLiteral("Choose Files…"), this);
    m_choose->setObjectName(QStringLiteral("chooseFiles"));
    m_choose->setCursor(Qt::PointingHandCursor);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_choose);
    buttonRow->addStretch(1);
    column->addLayout(buttonRow);
    connect(m_choose, &QPushButton::clicked, this, &DropArea::chooseRequested);

    m_warning = new QWidget(this);
    m_warning->setObjectName(QStringLiteral("ffmpegMissing"));
    auto* warningRow = new QHBoxLayout(m_warning);
    warningRow->setContentsMargins(0, 6, 0, 0);
    warningRow->setSpacing(6);
    m_warningIcon = new QLabel(m_warning);
    m_warningText = new QLabel(ffmpegMissingText(), m_warning);
    m_warningText->setObjectName(QStringLiteral("ffmpegMissingText"));
    m_warningText->setWordWrap(true);
    warningRow->addStretch(1);
    warningRow->addWidget(m_warningIcon);
    warningRow->addWidget(m_warningText);
    warningRow->addStretch(1);
    column->addWidget(m_warning);
    column->addStretch(1);

    restyle();
    refresh();
}

QString DropArea::ffmpegMissingText() {
    return QStringLiteral("Video and audio conversion is unavailable: FFmpeg is missing from this copy of ") +
           MediaApp::name() + QLatin1Char('.');
}

void DropArea::refresh() {
    m_warning->setVisible(!FFmpeg::available());
}

void DropArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    // A faint wash of the converter gradient under a dashed rounded border.
    QLinearGradient wash = ConverterStyle::gradient(area);
    const bool dark = ConverterStyle::isDark(palette());
    QGradientStops stops = wash.stops();
    for (auto& stop : stops)
        stop.second.setAlpha(dark ? 30 : 22);
    wash.setStops(stops);
    QPainterPath path;
    path.addRoundedRect(area, 16, 16);
    painter.fillPath(path, wash);
    QColor border = ConverterStyle::accent(palette());
    border.setAlpha(dark ? 110 : 90);
    QPen pen(border, 1.5, Qt::DashLine);
    pen.setDashPattern({6, 5});
    painter.setPen(pen);
    painter.drawPath(path);
}

void DropArea::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

void DropArea::restyle() {
    const qreal ratio = devicePixelRatioF();
    m_symbol->setPixmap(
        ConverterStyle::gradientSymbol(QStringLiteral("arrow.triangle.2.circlepath"), 56, ratio));
    QPalette linePalette = m_line->palette();
    linePalette.setColor(QPalette::WindowText, ConverterStyle::secondaryText(palette()));
    m_line->setPalette(linePalette);
    const QColor orange = ConverterStyle::warning(palette());
    m_warningIcon->setPixmap(
        ConverterStyle::symbol(QStringLiteral("exclamationmark.triangle.fill"), orange, 16, ratio));
    QPalette warningPalette = m_warningText->palette();
    warningPalette.setColor(QPalette::WindowText, orange);
    m_warningText->setPalette(warningPalette);
}
