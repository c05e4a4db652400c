#pragma once

#include <QLabel>

// A one-line label that shortens its text in the middle ("holiday…final.mov") to fit its width;
// the full text stays available as `fullText` and in the tooltip. Main thread.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return m_full; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_full;
};
