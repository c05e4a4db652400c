#pragma once

#include <QList>
#include <QWidget>

class ConverterModel;
class ConverterRow;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// The list of files: a header with the count, the skipped note, "Add Files…" and "Clear
// Finished", and a scrolling column of rows in list order. Rows follow the model one at a time
// (inserted, removed, changed), so progress on one item redraws one row. Main thread.
class ConverterFileList : public QWidget {
    Q_OBJECT

public:
    explicit ConverterFileList(ConverterModel& model, QWidget* parent = nullptr);

    const QList<ConverterRow*>& rows() const { return m_rows; }

    // "1 file", "2 files".
    static QString countText(int count);
    // "· 3 skipped (not a format <name> converts)".
    static QString skippedText(int skipped);

Q_SIGNALS:
    void chooseRequested();

private:
    void insertRow(int row);
    void removeRow(int row);
    void changeRow(int row);
    void refreshHeader();
    void refreshWaitingRows();

    ConverterModel& m_model;
    QLabel* m_count = nullptr;
    QLabel* m_skipped = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_clear = nullptr;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_column = nullptr;
    QList<ConverterRow*> m_rows;
};
