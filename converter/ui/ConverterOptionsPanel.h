#pragma once

#include "converter/catalogue/ConvertKind.h"

#include <QMap>
#include <QScrollArea>
#include <QWidget>

class ConverterModel;
class ElidedLabel;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The options under the list: one format choice per kind with waiting or running items (a
// FormatSizeGrid for videos and music, a FormatMenuRow for the others), the combine toggle,
// the Quality and Size pickers, and the folder row with "Change…", "Next to Originals",
// "Stop All" and the Convert button. Drawn on a rounded panel; every control calls the model,
// everything shown comes from it. Main thread.
class QTimer;

class ConverterOptionsPanel : public QWidget {
    Q_OBJECT

public:
    explicit ConverterOptionsPanel(ConverterModel& model, QWidget* parent = nullptr);

    QPushButton* convertButton() const { return m_convert; }

    // "Save next to the originals" or "Save to ~/…".
    static QString folderText(const QString& folder);
    // "Convert 3", or "Convert" when nothing waits.
    static QString convertText(int pending);
    // The combine toggle's three conditions.
    static bool showsCombine(const ConverterModel& model);

Q_SIGNALS:
    void chooseFolderRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Asks for the whole height of the format choices, and gives way down to a few rows.
    class KindsScrollArea : public QScrollArea {
    public:
        using QScrollArea::QScrollArea;
        QSize sizeHint() const override;
        QSize minimumSizeHint() const override;
    };

    void refreshKinds();
    void refreshChoices();
    void refreshOptions();
    void refreshFolder();
    void refreshActions();

    ConverterModel& m_model;
    // Coalesces refreshes that many items ask for at once.
    QTimer* m_deferred = nullptr;
    bool m_kindsDue = false;
    bool m_choicesDue = false;
    KindsScrollArea* m_kindsScroll = nullptr;
    QVBoxLayout* m_kindsColumn = nullptr;
    QMap<ConvertKind::Value, QWidget*> m_kindViews;
    QCheckBox* m_combine = nullptr;
    QComboBox* m_quality = nullptr;
    QComboBox* m_size = nullptr;
    QLabel* m_folderIcon = nullptr;
    ElidedLabel* m_folder = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_nextToOriginals = nullptr;
    QPushButton* m_stopAll = nullptr;
    QPushButton* m_convert = nullptr;
};
