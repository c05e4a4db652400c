#pragma once

#include <QAbstractButton>

// One format of a FormatSizeGrid: the target's title, its detail and, on the chosen button
// only, the size line. Drawn as a rounded tile, accent-framed when chosen. Main thread.
class FormatButton : public QAbstractButton {
    Q_OBJECT

public:
    FormatButton(const QString& targetId, const QString& title, const QString& detail,
                 QWidget* parent = nullptr);

    QString targetId() const { return m_targetId; }
    QString title() const { return m_title; }
    QString detail() const { return m_detail; }
    // Empty hides the line.
    void setSizeLine(const QString& line);
    QString sizeLine() const { return m_sizeLine; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_targetId;
    QString m_title;
    QString m_detail;
    QString m_sizeLine;
    bool m_hovered = false;
};
