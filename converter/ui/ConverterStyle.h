#pragma once

#include <QColor>
#include <QIcon>
#include <QLinearGradient>
#include <QPalette>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;
class QPushButton;
class QWidget;

// The converter's look in one place: the violet accent, the gradient of the drop area's symbol,
// the rounded translucent panels, the window's backdrop, the symbols (bundled SVGs, tinted) and
// the prominent style of the Convert button. Light and dark palettes each get their own shades.
// Main thread (pixmaps).
namespace ConverterStyle {

bool isDark(const QPalette& palette);

QColor accent(const QPalette& palette);
// The orange of warnings and failures, the green of success.
QColor warning(const QPalette& palette);
QColor success(const QPalette& palette);
// Secondary text: readable on both palettes.
QColor secondaryText(const QPalette& palette);

// The converter gradient across `rect` (violet to indigo to pink).
QLinearGradient gradient(const QRectF& rect);

// Fills a rounded translucent panel of the given corner radius.
void paintPanel(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette);
// The soft backdrop behind the window's content.
void paintBackdrop(QPainter& painter, const QRectF& rect, const QPalette& palette);

// A symbol by its logical name ("folder", "stop.circle", "checkmark.circle.fill", ...) in one
// colour, from the bundled SVGs, or from the icon theme when none is bundled.
QPixmap symbol(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 1.0);
QPixmap gradientSymbol(const QString& name, int size, qreal devicePixelRatio = 1.0);
QIcon symbolIcon(const QString& name, const QColor& color, int size = 20);

// The Convert button's style: accent fill, white text, dimmed when disabled; `large` makes it
// taller. Follows palette changes.
void makeProminent(QPushButton* button, bool large);

// The small secondary caption font and colour.
void makeCaption(QWidget* label);

} // namespace ConverterStyle
