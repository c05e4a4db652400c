#include "converter/ui/ElidedLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == m_full)
        return;
    m_full = text;
    setToolTip(text);
    setAccessibleName(text);
    elide();
}

QSize ElidedLabel::minimumSizeHint() const {
    return QSize(40, QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(m_full, Qt::ElideMiddle, qMax(0, width())));
}
