#pragma once

#include "converter/queue/ConverterModel.h"

#include <QUuid>
#include <QWidget>

class ElidedLabel;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// One file of the list: its icon, its name shortened in the middle, the status line (spinner,
// progress bar with "N %", "Saved as …", the failure, "Stopped" or the waiting size line) and
// the buttons for its status. It remembers only which item it shows; `refresh` redraws it from
// the model. Buttons call the model (stop, remove) or the desktop (open, show in folder).
// Main thread.
class ConverterRow : public QWidget {
    Q_OBJECT

public:
    ConverterRow(ConverterModel& model, const QUuid& id, QWidget* parent = nullptr);

    QUuid id() const { return m_id; }
    // Redraws from the model's item; nothing when the item has left the list.
    void refresh();

    // The "N %" text of a running fraction: the truncated percentage.
    static QString percentText(double fraction);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void restyle();
    void setStatusText(const QString& text, const QColor& color, int maxLines);

    ConverterModel& m_model;
    QUuid m_id;
    ConverterModel::Status::State m_shownState = ConverterModel::Status::State::waiting;
    QLabel* m_icon = nullptr;
    ElidedLabel* m_name = nullptr;
    QWidget* m_busy = nullptr;
    QWidget* m_progress = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_statusIcon = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_stop = nullptr;
    QPushButton* m_open = nullptr;
    QToolButton* m_reveal = nullptr;
    QToolButton* m_remove = nullptr;
};
