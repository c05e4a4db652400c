#pragma once

#include "converter/catalogue/ConvertKind.h"

#include <QWidget>

class ConverterModel;
class QComboBox;
class QLabel;

// The format choice for pictures, PDFs or documents: the kind's title and symbol, a menu of its
// formats bound to the kind's choice, and the chosen format's detail below. Main thread.
class FormatMenuRow : public QWidget {
    Q_OBJECT

public:
    FormatMenuRow(ConverterModel& model, ConvertKind kind, QWidget* parent = nullptr);

    ConvertKind kind() const { return m_kind; }
    QComboBox* picker() const { return m_picker; }
    void refresh();

private:
    ConverterModel& m_model;
    ConvertKind m_kind;
    QComboBox* m_picker = nullptr;
    QLabel* m_detail = nullptr;
};
