#include "converter/ui/FormatSizeGrid.h"

#include "converter/queue/ConverterModel.h"
#include "converter/estimate/SizeText.h"
#include "converter/ui/ConverterStyle.h"
#include "converter/ui/FormatButton.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

constexpr int kMinimumColumnWidth = 170;
constexpr int kSpacing = 8;

} // namespace

FormatSizeGrid::FormatSizeGrid(ConverterModel& model, ConvertKind kind, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_kind(kind) {
    setObjectName(QStringLiteral("formatGrid-") + kind.id());
    // The grid re-flows into fewer columns, so its own width must not hold it wide.
    setMinimumWidth(kMinimumColumnWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    m_icon = new QLabel(this);
    heading->addWidget(m_icon);
    auto* title = new QLabel(kind.title(), this);
    title->setObjectName(QStringLiteral("gridTitle"));
    QFont bold = title->font();
    bold.setWeight(QFont::DemiBold);
    title->setFont(bold);
    heading->addWidget(title);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("gridCaption"));
    ConverterStyle::makeCaption(m_caption);
    heading->addWidget(m_caption, 1);
    column->addLayout(heading);

    m_grid = new QGridLayout;
    m_grid->setSpacing(kSpacing);
    m_grid->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_grid);
    for (const ConvertTarget& target : ConvertTarget::targets(kind)) {
        auto* button = new FormatButton(target.id, target.title, target.detail, this);
        connect(button, &FormatButton::clicked, this, [this, id = target.id] {
            m_model.setChoice(id, m_kind);
            // The model may keep the old choice; the buttons show what it holds.
            refresh();
        });
        m_buttons.append(button);
    }
    placeButtons(3);

    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("gridDetail"));
    m_detail->setWordWrap(true);
    ConverterStyle::makeCaption(m_detail);
    column->addWidget(m_detail);

    m_icon->setPixmap(
        ConverterStyle::symbol(kind.symbol(), ConverterStyle::accent(palette()), 18, devicePixelRatioF()));
    refresh();
}

void FormatSizeGrid::refresh() {
    m_caption->setText(SizeText::caption(m_model.originalTotal(m_kind)));
    const QString chosen = m_model.choice(m_kind);
    const QString line = SizeText::sizeLine(m_model, m_kind).text();
    for (FormatButton* button : m_buttons) {
        const bool isChosen = button->targetId() == chosen;
        button->setChecked(isChosen);
        button->setSizeLine(isChosen ? line : QString());
    }
    const auto target = m_model.target(m_kind);
    m_detail->setVisible(target.has_value());
    m_detail->setText(target ? target->detail : QString());
}

int FormatSizeGrid::columnsFor(int width) {
    return qMax(1, (width + kSpacing) / (kMinimumColumnWidth + kSpacing));
}

void FormatSizeGrid::placeButtons(int columns) {
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (FormatButton* button : m_buttons)
        m_grid->removeWidget(button);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_grid->addWidget(m_buttons[i], i / columns, i % columns);
    for (int c = 0; c < 8; ++c)
        m_grid->setColumnStretch(c, c < columns ? 1 : 0);
}

int FormatSizeGrid::heightForWidth(int width) const {
    const int columns = columnsFor(width);
    const int rows = (int(m_buttons.size()) + columns - 1) / columns;
    const int buttonHeight = m_buttons.isEmpty() ? 0 : m_buttons.first()->sizeHint().height();
    const int headingHeight = m_caption->sizeHint().height();
    const int detailHeight = m_detail->isVisible() ? m_detail->heightForWidth(width) : 0;
    return headingHeight + 8 + rows * buttonHeight + (rows - 1) * kSpacing +
           (detailHeight > 0 ? 8 + detailHeight : 0);
}

void FormatSizeGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int before = m_columns;
    placeButtons(columnsFor(event->size().width()));
    if (before != m_columns)
        updateGeometry();
}

void FormatSizeGrid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_icon->setPixmap(ConverterStyle::symbol(m_kind.symbol(), ConverterStyle::accent(palette()), 18,
                                                 devicePixelRatioF()));
}
