#pragma once

#include "app/ConverterUpdates.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

// The updater's window: "Checking…", then the answer, or a newer version's release notes with
// a download button. Shown and owned by ConverterUpdates (deleted when closed); main thread.
class UpdateDialog : public QDialog {
    Q_OBJECT

public:
    explicit UpdateDialog(ConverterUpdates& updates, QWidget* parent = nullptr);

    void showChecking();
    void showOutcome(const ConverterUpdates::Outcome& outcome);

private:
    void showDownloaded(const QString& path, const QString& error);

    ConverterUpdates& m_updates;
    std::optional<Appcast::Item> m_item;
    QLabel* m_heading = nullptr;
    QLabel* m_detail = nullptr;
    QTextBrowser* m_notes = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_close = nullptr;
};
