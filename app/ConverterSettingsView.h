#pragma once

#include <QWidget>

class ConverterUpdates;
class QCheckBox;
class QLabel;
class QPushButton;

// The settings window's content: the Updates section with the version, the automatic-check
// toggle, a note on where updates come from and "Check for Updates…" (enabled while the
// updater allows a check). Shows the updater's state and writes only through it. Main thread.
class ConverterSettingsView : public QWidget {
    Q_OBJECT

public:
    explicit ConverterSettingsView(ConverterUpdates& updates, QWidget* parent = nullptr);

    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ConverterUpdates& m_updates;
    QLabel* m_version = nullptr;
    QCheckBox* m_automatic = nullptr;
    QPushButton* m_check = nullptr;
};
