#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// What the window shows while the list is empty: the converter symbol in the gradient, the
// title, the line about what it converts, "Choose Files…" and, when this copy has no FFmpeg,
// the orange warning. `refresh` re-reads whether FFmpeg is there. Main thread.
class DropArea : public QWidget {
    Q_OBJECT

public:
    explicit DropArea(QWidget* parent = nullptr);

    void refresh();
    // "Video and audio conversion is unavailable: FFmpeg is missing from this copy of <name>."
    static QString ffmpegMissingText();

Q_SIGNALS:
    void chooseRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    QLabel* m_symbol = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_line = nullptr;
    QPushButton* m_choose = nullptr;
    QWidget* m_warning = nullptr;
    QLabel* m_warningIcon = nullptr;
    QLabel* m_warningText = nullptr;
};
