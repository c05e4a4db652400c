#include "converter/ui/ConverterOptionsPanel.h"

#include <QTimer>

#include <utility>

#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterStyle.h"
#include "converter/ui/ElidedLabel.h"
#include "converter/ui/FormatMenuRow.h"
#include "converter/ui/FormatSizeGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

struct SizeChoice {
    const char* label;
    int value;
};

constexpr SizeChoice kSizes[] = {
    {"Original", 0},         {"4K (2160)", 2160},    {"1080p / 1920 px", 1080},
    {"720p / 1280 px", 720}, {"480p / 640 px", 480},
};

const QString kSizeHelp =
    QStringLiteral("Videos: the most lines tall. Pictures: the longest side. Never makes anything bigger.");

} // namespace

ConverterOptionsPanel::ConverterOptionsPanel(ConverterModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    setObjectName(QStringLiteral("optionsPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    // The format choices scroll when the window is too short for all of them; the list above
    // keeps its share of the height.
    m_kindsScroll = new KindsScrollArea(this);
    m_kindsScroll->setObjectName(QStringLiteral("formatScroll"));
    m_kindsScroll->setWidgetResizable(true);
    m_kindsScroll->setFrameShape(QFrame::NoFrame);
    m_kindsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_kindsScroll->viewport()->setAutoFillBackground(false);
    auto* kinds = new QWidget(m_kindsScroll);
    kinds->setAutoFillBackground(false);
    m_kindsColumn = new QVBoxLayout(kinds);
    m_kindsColumn->setContentsMargins(0, 0, 0, 0);
    m_kindsColumn->setSpacing(12);
    m_kindsColumn->addStretch(1);
    m_kindsScroll->setWidget(kinds);
    kinds->setAutoFillBackground(false);
    column->addWidget(m_kindsScroll, 1);

    m_combine = new QCheckBox(QStringLiteral("Combine the pictures into one PDF"), this);
    m_combine->setObjectName(QStringLiteral("combinePDF"));
    column->addWidget(m_combine);
    connect(m_combine, &QCheckBox::toggled, this, [this](bool on) { m_model.setCombinePDF(on); });

    auto* options = new QHBoxLayout;
    options->setSpacing(8);
    auto* qualityLabel = new QLabel(QStringLiteral("Quality"), this);
    options->addWidget(qualityLabel);
    m_quality = new QComboBox(this);
    m_quality->setObjectName(QStringLiteral("quality"));
    m_quality->setAccessibleName(QStringLiteral("Quality"));
    for (ConvertQuality quality : ConvertQuality::all())
        m_quality->addItem(quality.title(), quality.id());
    m_quality->setFixedWidth(150);
    qualityLabel->setBuddy(m_quality);
    options->addWidget(m_quality);
    options->addSpacing(12);
    auto* sizeLabel = new QLabel(QStringLiteral("Size"), this);
    sizeLabel->setToolTip(kSizeHelp);
    options->addWidget(sizeLabel);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("size"));
    m_size->setAccessibleName(QStringLiteral("Size"));
    m_size->setToolTip(kSizeHelp);
    for (const SizeChoice& choice : kSizes) {
        m_size->addItem(QString::fromUtf8(choice.label), choice.value);
        if (choice.value == 0)
            m_size->insertSeparator(1);
    }
    m_size->setFixedWidth(170);
    sizeLabel->setBuddy(m_size);
    options->addWidget(m_size);
    options->addStretch(1);
    column->addLayout(options);
    connect(m_quality, &QComboBox::activated, this, [this](int index) {
        if (const auto quality = ConvertQuality::fromId(m_quality->itemData(index).toString()))
            m_model.setQuality(*quality);
    });
    connect(m_size, &QComboBox::activated, this, [this](int index) {
        const QVariant value = m_size->itemData(index);
        if (value.isValid())
            m_model.setMaxSize(value.toInt());
    });

    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(8);
    m_folderIcon = new QLabel(this);
    folderRow->addWidget(m_folderIcon);
    m_folder = new ElidedLabel(this);
    m_folder->setObjectName(QStringLiteral("folderLabel"));
    folderRow->addWidget(m_folder, 1);
    m_change = new QPushButton(QStringLiteral("Change…"), this);
    m_change->setObjectName(QStringLiteral("changeFolder"));
    folderRow->addWidget(m_change);
    m_nextToOriginals = new QPushButton(QStringLiteral("Next to Originals"), this);
    m_nextToOriginals->setObjectName(QStringLiteral("nextToOriginals"));
    folderRow->addWidget(m_nextToOriginals);
    m_stopAll = new QPushButton(QStringLiteral("Stop All"), this);
    m_stopAll->setObjectName(QStringLiteral("stopAll"));
    folderRow->addWidget(m_stopAll);
    m_convert = new QPushButton(this);
    m_convert->setObjectName(QStringLiteral("convert"));
    m_convert->setCursor(Qt::PointingHandCursor);
    m_convert->setMinimumWidth(120);
    ConverterStyle::makeProminent(m_convert, true);
    folderRow->addWidget(m_convert);
    column->addLayout(folderRow);
    connect(m_change, &QPushButton::clicked, this, &ConverterOptionsPanel::chooseFolderRequested);
    connect(m_nextToOriginals, &QPushButton::clicked, this, [this] { m_model.setFolder(QString()); });
    connect(m_stopAll, &QPushButton::clicked, this, [this] { m_model.cancelAll(); });
    connect(m_convert, &QPushButton::clicked, this, [this] { m_model.convertAll(); });
    // Return converts from anywhere in the window, like a default button.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_convert->isEnabled() && m_convert->isVisible())
                m_convert->click();
        });
    }

    // Adding a folder inserts many items and each probe answer changes one: those refresh the
    // kinds and totals once per event-loop turn, not once per item.
    m_deferred = new QTimer(this);
    m_deferred->setSingleShot(true);
    m_deferred->setInterval(0);
    connect(m_deferred, &QTimer::timeout, this, [this] {
        if (std::exchange(m_kindsDue, false))
            refreshKinds();
        else if (std::exchange(m_choicesDue, false))
            refreshChoices();
        m_choicesDue = false;
    });
    connect(&m_model, &ConverterModel::itemInserted, this, [this] {
        m_kindsDue = true;
        m_deferred->start();
    });
    connect(&m_model, &ConverterModel::totalsChanged, this, [this] {
        m_choicesDue = true;
        m_deferred->start();
    });
    connect(&m_model, &ConverterModel::itemRemoved, this, &ConverterOptionsPanel::refreshKinds);
    connect(&m_model, &ConverterModel::itemFinished, this, &ConverterOptionsPanel::refreshKinds);
    connect(&m_model, &ConverterModel::choiceChanged, this, &ConverterOptionsPanel::refreshChoices);
    connect(&m_model, &ConverterModel::estimatesChanged, this, &ConverterOptionsPanel::refreshChoices);
    connect(&m_model, &ConverterModel::combinePDFChanged, this, &ConverterOptionsPanel::refreshChoices);
    connect(&m_model, &ConverterModel::qualityChanged, this, &ConverterOptionsPanel::refreshOptions);
    connect(&m_model, &ConverterModel::maxSizeChanged, this, &ConverterOptionsPanel::refreshOptions);
    connect(&m_model, &ConverterModel::folderChanged, this, &ConverterOptionsPanel::refreshFolder);
    connect(&m_model, &ConverterModel::busyChanged, this, &ConverterOptionsPanel::refreshActions);
    // Waiting ↔ running changes the pending count and the kinds; one row's progress does not,
    // so only status changes are worth a look here.
    connect(&m_model, &ConverterModel::itemChanged, this, [this](int row) {
        if (row < 0 || row >= m_model.items().size())
            return;
        refreshActions();
        if (m_model.items().at(row).status.isRunning() && !m_kindViews.isEmpty())
            return;
        m_kindsDue = true;
        m_deferred->start();
    });

    refreshKinds();
    refreshOptions();
    refreshFolder();
    changeEvent(nullptr);
}

QString ConverterOptionsPanel::folderText(const QString& folder) {
    if (folder.isEmpty())
        return QStringLiteral("Save next to the originals");
    QString shown = QDir::cleanPath(folder);
    const QString home = QDir::cleanPath(QDir::homePath());
    if (shown == home)
        shown = QStringLiteral("~");
    else if (shown.startsWith(home + QLatin1Char('/')))
        shown = QStringLiteral("~") + shown.mid(home.size());
    return QStringLiteral("Save to ") + shown;
}

QString ConverterOptionsPanel::convertText(int pending) {
    return pending > 0 ? QStringLiteral("Convert ") + QString::number(pending) : QStringLiteral("Convert");
}

bool ConverterOptionsPanel::showsCombine(const ConverterModel& model) {
    if (!model.kinds().contains(ConvertKind::image) ||
        model.choice(ConvertKind::image) != QLatin1String("pdf"))
        return false;
    int pictures = 0;
    for (const auto& item : model.items())
        pictures += item.kind == ConvertKind::image ? 1 : 0;
    return pictures >= 2;
}

QSize ConverterOptionsPanel::KindsScrollArea::sizeHint() const {
    QWidget* content = widget();
    if (!content)
        return QScrollArea::sizeHint();
    const int width = viewport()->width() > 0 ? viewport()->width() : 700;
    const int height =
        content->hasHeightForWidth() ? content->heightForWidth(width) : content->sizeHint().height();
    return QSize(QScrollArea::sizeHint().width(), height);
}

QSize ConverterOptionsPanel::KindsScrollArea::minimumSizeHint() const {
    QWidget* content = widget();
    const int height = content ? content->sizeHint().height() : 0;
    return QSize(0, qMin(height, 130));
}

void ConverterOptionsPanel::refreshKinds() {
    const QList<ConvertKind> kinds = m_model.kinds();
    // Drop the views of kinds that left, then put the present ones in ConvertKind order.
    for (auto it = m_kindViews.begin(); it != m_kindViews.end();) {
        if (!kinds.contains(ConvertKind(it.key()))) {
            it.value()->hide();
            it.value()->deleteLater();
            it = m_kindViews.erase(it);
        } else {
            ++it;
        }
    }
    for (int index = 0; index < kinds.size(); ++index) {
        const ConvertKind kind = kinds.at(index);
        QWidget* view = m_kindViews.value(kind);
        if (!view) {
            if (kind == ConvertKind::video || kind == ConvertKind::audio)
                view = new FormatSizeGrid(m_model, kind, this);
            else
                view = new FormatMenuRow(m_model, kind, this);
            m_kindViews.insert(kind, view);
        }
        if (m_kindsColumn->indexOf(view) != index) {
            m_kindsColumn->removeWidget(view);
            m_kindsColumn->insertWidget(index, view);
        }
    }
    m_kindsScroll->setVisible(!kinds.isEmpty());
    m_kindsScroll->updateGeometry();
    refreshChoices();
    refreshActions();
}

void ConverterOptionsPanel::refreshChoices() {
    for (QWidget* view : std::as_const(m_kindViews)) {
        if (auto* grid = qobject_cast<FormatSizeGrid*>(view))
            grid->refresh();
        else if (auto* menu = qobject_cast<FormatMenuRow*>(view))
            menu->refresh();
    }
    const QSignalBlocker blocker(m_combine);
    m_combine->setVisible(showsCombine(m_model));
    m_combine->setChecked(m_model.combinePDF());
}

void ConverterOptionsPanel::refreshOptions() {
    {
        const QSignalBlocker blocker(m_quality);
        m_quality->setCurrentIndex(m_quality->findData(m_model.quality().id()));
    }
    const QSignalBlocker blocker(m_size);
    int index = m_size->findData(m_model.maxSize());
    m_size->setCurrentIndex(index);
}

void ConverterOptionsPanel::refreshFolder() {
    const QString folder = m_model.folder();
    m_folder->setFullText(folderText(folder));
    m_nextToOriginals->setVisible(!folder.isEmpty());
}

void ConverterOptionsPanel::refreshActions() {
    const int pending = m_model.pending();
    m_convert->setText(convertText(pending));
    m_convert->setEnabled(pending > 0);
    m_stopAll->setVisible(m_model.running() >= 1);
}

void ConverterOptionsPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ConverterStyle::paintPanel(painter, rect(), 14, palette());
}

void ConverterOptionsPanel::changeEvent(QEvent* event) {
    if (event)
        QWidget::changeEvent(event);
    if (!event || event->type() == QEvent::PaletteChange) {
        m_folderIcon->setPixmap(ConverterStyle::symbol(
            QStringLiteral("folder"), ConverterStyle::accent(palette()), 16, devicePixelRatioF()));
        ConverterStyle::makeProminent(m_convert, true);
    }
}
