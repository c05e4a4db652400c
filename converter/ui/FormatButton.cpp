#include "converter/ui/FormatButton.h"

#include "converter/ui/ConverterStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <QTextLayout>

namespace {

constexpr int kPadding = 10;

QFont titleFont(const QFont& base) {
    QFont font = base;
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont smallFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

// Up to `lines` lines of `text` wrapped into `width`, the last one elided.
QStringList wrapped(const QString& text, const QFont& font, int width, int lines) {
    QStringList result;
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (result.size() < lines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const QString part = text.mid(line.textStart(), line.textLength());
        if (result.size() == lines - 1 && line.textStart() + line.textLength() < text.size())
            result.append(QFontMetrics(font).elidedText(text.mid(line.textStart()), Qt::ElideRight, width));
        else
            result.append(part.trimmed());
    }
    layout.endLayout();
    return result;
}

} // namespace

FormatButton::FormatButton(const QString& targetId, const QString& title, const QString& detail,
                           QWidget* parent)
    : QAbstractButton(parent)
    , m_targetId(targetId)
    , m_title(title)
    , m_detail(detail) {
    setObjectName(QStringLiteral("format-") + targetId);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(title);
    setAccessibleDescription(detail);
    setToolTip(detail);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FormatButton::setSizeLine(const QString& line) {
    if (line == m_sizeLine)
        return;
    m_sizeLine = line;
    setAccessibleName(line.isEmpty() ? m_title : m_title + QStringLiteral(", ") + line);
    update();
}

QSize FormatButton::sizeHint() const {
    const QFontMetrics title(titleFont(font()));
    const QFontMetrics small(smallFont(font()));
    const int height = kPadding * 2 + title.height() + 4 + small.lineSpacing() * 2 + 4 + small.height();
    return QSize(190, height);
}

QSize FormatButton::minimumSizeHint() const {
    return QSize(170, sizeHint().height());
}

void FormatButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FormatButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FormatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool dark = ConverterStyle::isDark(pal);
    const QColor accent = ConverterStyle::accent(pal);
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);

    QColor fill =
        dark ? QColor(255, 255, 255, m_hovered ? 22 : 12) : QColor(255, 255, 255, m_hovered ? 235 : 200);
    QColor border = dark ? QColor(255, 255, 255, 30) : QColor(0, 0, 0, 28);
    qreal borderWidth = 1;
    if (isChecked()) {
        fill = accent;
        fill.setAlpha(dark ? 60 : 30);
        border = accent;
        borderWidth = 2;
    }
    if (hasFocus()) {
        border = accent.lighter(dark ? 120 : 100);
        borderWidth = 2;
    }
    QPainterPath path;
    path.addRoundedRect(box.adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2),
                        10, 10);
    painter.fillPath(path, fill);
    painter.setPen(QPen(border, borderWidth));
    painter.drawPath(path);

    const int width = rect().width() - kPadding * 2;
    int y = kPadding;
    const QFont title = titleFont(font());
    const QFont small = smallFont(font());
    painter.setFont(title);
    painter.setPen(isChecked() ? (dark ? accent.lighter(115) : accent.darker(115))
                               : pal.color(QPalette::WindowText));
    const QFontMetrics titleMetrics(title);
    painter.drawText(QRect(kPadding, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(m_title, Qt::ElideRight, width));
    y += titleMetrics.height() + 4;

    painter.setFont(small);
    painter.setPen(ConverterStyle::secondaryText(pal));
    const QFontMetrics smallMetrics(small);
    for (const QString& line : wrapped(m_detail, small, width, 2)) {
        painter.drawText(QRect(kPadding, y, width, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         line);
        y += smallMetrics.lineSpacing();
    }
    if (!m_sizeLine.isEmpty()) {
        QFont strong = small;
        strong.setWeight(QFont::DemiBold);
        painter.setFont(strong);
        painter.setPen(dark ? accent.lighter(110) : accent);
        const int bottom = rect().height() - kPadding - smallMetrics.height();
        painter.drawText(QRect(kPadding, bottom, width, smallMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(strong).elidedText(m_sizeLine, Qt::ElideRight, width));
    }
}
