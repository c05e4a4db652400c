#pragma once

#include "converter/catalogue/ConvertKind.h"

#include <QList>
#include <QWidget>

class ConverterModel;
class FormatButton;
class QGridLayout;
class QLabel;

// The format choice for videos or for music: a heading with the kind's title, symbol and the
// "now … · click a format to see its size" caption, a grid of format buttons in adaptive
// columns (at least 170 wide, 8 apart) with the size line on the chosen one, and the chosen
// format's detail below. Redraws from the model; a click calls `setChoice`. Main thread.
class FormatSizeGrid : public QWidget {
    Q_OBJECT

public:
    FormatSizeGrid(ConverterModel& model, ConvertKind kind, QWidget* parent = nullptr);

    ConvertKind kind() const { return m_kind; }
    const QList<FormatButton*>& buttons() const { return m_buttons; }
    int columns() const { return m_columns; }

    // Re-reads the choice, the sizes and the caption from the model.
    void refresh();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeButtons(int columns);
    static int columnsFor(int width);

    ConverterModel& m_model;
    ConvertKind m_kind;
    QLabel* m_icon = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_detail = nullptr;
    QGridLayout* m_grid = nullptr;
    QList<FormatButton*> m_buttons;
    int m_columns = 0;
};
