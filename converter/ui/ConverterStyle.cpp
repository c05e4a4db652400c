#include "converter/ui/ConverterStyle.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSvgRenderer>

// The bundled symbols live in this static library; their resource must be registered by hand.
static void registerSymbols() {
    static const bool once = [] {
        Q_INIT_RESOURCE(converter_icons);
        return true;
    }();
    Q_UNUSED(once);
}

namespace {

QString bundled(const QString& name) {
    registerSymbols();
    return QStringLiteral(":/converter/icons/") + name + QStringLiteral(".svg");
}

// Theme names for symbols that are not bundled.
QString themeName(const QString& name) {
    if (name == QLatin1String("folder"))
        return QStringLiteral("folder");
    return name;
}

QPixmap renderUncached(const QString& name, int size, qreal ratio) {
    const int pixels = qMax(1, qRound(size * ratio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    const QString file = bundled(name);
    if (QFile::exists(file)) {
        QSvgRenderer renderer(file);
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    } else {
        const QIcon icon = QIcon::fromTheme(themeName(name));
        if (icon.isNull())
            return pixmap;
        pixmap = icon.pixmap(QSize(pixels, pixels));
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// Every row draws the same few symbols: each is read and rendered once per size. Main thread.
QPixmap render(const QString& name, int size, qreal ratio) {
    static QHash<QString, QPixmap> cache;
    const QString key =
        name + QLatin1Char('|') + QString::number(size) + QLatin1Char('|') + QString::number(ratio);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QPixmap pixmap = renderUncached(name, size, ratio);
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace

namespace ConverterStyle {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor accent(const QPalette& palette) {
    return isDark(palette) ? QColor(0xA7, 0x8B, 0xFA) : QColor(0x6D, 0x4A, 0xE8);
}

QColor warning(const QPalette& palette) {
    return isDark(palette) ? QColor(0xFF, 0xA9, 0x4D) : QColor(0xC2, 0x5E, 0x00);
}

QColor success(const QPalette& palette) {
    return isDark(palette) ? QColor(0x5E, 0xD6, 0x8A) : QColor(0x1E, 0x8E, 0x4A);
}

QColor secondaryText(const QPalette& palette) {
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(isDark(palette) ? 0.68 : 0.62);
    return text;
}

QLinearGradient gradient(const QRectF& rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0.0, QColor(0x8B, 0x5C, 0xF6));
    g.setColorAt(0.55, QColor(0x63, 0x66, 0xF1));
    g.setColorAt(1.0, QColor(0xEC, 0x48, 0x99));
    return g;
}

void paintPanel(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDark(palette);
    QColor fill = dark ? QColor(255, 255, 255, 16) : QColor(255, 255, 255, 178);
    QColor border = dark ? QColor(255, 255, 255, 28) : QColor(0x6D, 0x4A, 0xE8, 34);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

void paintBackdrop(QPainter& painter, const QRectF& rect, const QPalette& palette) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    if (isDark(palette)) {
        g.setColorAt(0, QColor(0x22, 0x1D, 0x36));
        g.setColorAt(1, QColor(0x15, 0x14, 0x1D));
    } else {
        g.setColorAt(0, QColor(0xF4, 0xF0, 0xFF));
        g.setColorAt(1, QColor(0xFA, 0xFA, 0xFC));
    }
    painter.fillRect(rect, g);
}

QPixmap symbol(const QString& name, const QColor& color, int size, qreal devicePixelRatio) {
    // Rows by the hundred ask for the same tinted symbols. Main thread.
    static QHash<QString, QPixmap> tinted;
    const QString key = name + QLatin1Char('|') + color.name(QColor::HexArgb) + QLatin1Char('|') +
                        QString::number(size) + QLatin1Char('|') + QString::number(devicePixelRatio);
    if (const auto found = tinted.constFind(key); found != tinted.constEnd())
        return *found;
    QPixmap pixmap = render(name, size, devicePixelRatio);
    if (QFile::exists(bundled(name))) {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRectF(0, 0, pixmap.width(), pixmap.height()), color);
    }
    tinted.insert(key, pixmap);
    return pixmap;
}

QPixmap gradientSymbol(const QString& name, int size, qreal devicePixelRatio) {
    QPixmap pixmap = render(name, size, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(0, 0, pixmap.width(), pixmap.height()),
                     gradient(QRectF(0, 0, pixmap.width(), pixmap.height())));
    return pixmap;
}

QIcon symbolIcon(const QString& name, const QColor& color, int size) {
    QIcon icon;
    icon.addPixmap(symbol(name, color, size, 1.0));
    icon.addPixmap(symbol(name, color, size, 2.0));
    QColor dim = color;
    dim.setAlphaF(0.35);
    icon.addPixmap(symbol(name, dim, size, 1.0), QIcon::Disabled);
    return icon;
}

void makeProminent(QPushButton* button, bool large) {
    button->setProperty("prominent", true);
    const QPalette palette = button->palette();
    const QColor base = accent(palette);
    const QColor pressed = base.darker(120);
    const QColor hover = base.lighter(108);
    QColor dimmed = base;
    dimmed.setAlphaF(0.38);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: %2px;"
                       " padding: %3px 18px; font-weight: 600; }"
                       "QPushButton:hover { background-color: %4; }"
                       "QPushButton:pressed { background-color: %5; }"
                       "QPushButton:focus { border: 2px solid %6; }"
                       "QPushButton:disabled { background-color: %7; color: rgba(255,255,255,150); }")
            .arg(base.name(), QString::number(large ? 9 : 7), QString::number(large ? 8 : 5), hover.name(),
                 pressed.name(), base.lighter(140).name(), dimmed.name(QColor::HexArgb)));
}

void makeCaption(QWidget* label) {
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryText(palette));
    label->setPalette(palette);
}

} // namespace ConverterStyle
