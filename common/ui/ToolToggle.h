#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;

// The standard on/off settings row: a tinted icon, the title with an optional detail below it,
// and a switch. The row shows `isOn` and reports a flip through `set`; it keeps no setting itself.
class ToolToggle : public QWidget {
    Q_OBJECT

public:
    ToolToggle(const QString& title, const QString& detail, const QString& symbol, QWidget* parent = nullptr);

    bool isOn() const;
    void setOn(bool on);
    QString title() const;
    QString detail() const;

Q_SIGNALS:
    // The user flipped the switch.
    void set(bool on);

private:
    QLabel* m_title = nullptr;
    QLabel* m_detail = nullptr;
    QCheckBox* m_switch = nullptr;
};
