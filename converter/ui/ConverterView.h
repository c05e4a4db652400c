#pragma once

#include <QWidget>

class ConverterFileList;
class ConverterModel;
class ConverterOptionsPanel;
class DropArea;
class LegalLinks;
class QStackedWidget;

// The converter window's content: the drop area while the list is empty, otherwise the file
// list; the options panel; the legal links. The whole view takes dropped files and folders.
// It shows `model` and keeps nothing of its own; the open panels it runs hand their choice to
// the model. Main thread.
class ConverterView : public QWidget {
    Q_OBJECT

public:
    explicit ConverterView(ConverterModel& model, QWidget* parent = nullptr);

    ConverterModel& model() const { return m_model; }

    // The open panel for files and folders; the chosen ones go to `model.add`.
    void choose();
    // The folder panel ("Save Here"); the chosen folder goes to `model.setFolder`.
    void chooseFolder();
    // Re-reads what the model cannot announce (whether FFmpeg is there).
    void refresh();

    // The local files among dropped addresses, in order.
    static QStringList localPaths(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showListOrDropArea();

    ConverterModel& m_model;
    QStackedWidget* m_stack = nullptr;
    DropArea* m_dropArea = nullptr;
    ConverterFileList* m_list = nullptr;
    ConverterOptionsPanel* m_options = nullptr;
    LegalLinks* m_links = nullptr;
};
