#include "converter/ui/ConverterView.h"

#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterFileList.h"
#include "converter/ui/ConverterOptionsPanel.h"
#include "converter/ui/ConverterStyle.h"
#include "converter/ui/DropArea.h"
#include "converter/ui/FileChooser.h"
#include "converter/ui/LegalLinks.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

ConverterView::ConverterView(ConverterModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    setObjectName(QStringLiteral("converterView"));
    setAcceptDrops(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 12);
    column->setSpacing(12);

    m_stack = new QStackedWidget(this);
    m_dropArea = new DropArea(m_stack);
    m_list = new ConverterFileList(m_model, m_stack);
    m_stack->addWidget(m_dropArea);
    m_stack->addWidget(m_list);
    m_stack->setMinimumHeight(180);
    column->addWidget(m_stack, 1);

    m_options = new ConverterOptionsPanel(m_model, this);
    column->addWidget(m_options, 0);
    m_links = new LegalLinks(true, this);
    column->addWidget(m_links);

    connect(m_dropArea, &DropArea::chooseRequested, this, &ConverterView::choose);
    connect(m_list, &ConverterFileList::chooseRequested, this, &ConverterView::choose);
    connect(m_options, &ConverterOptionsPanel::chooseFolderRequested, this, &ConverterView::chooseFolder);
    connect(&m_model, &ConverterModel::itemInserted, this, &ConverterView::showListOrDropArea);
    connect(&m_model, &ConverterModel::itemRemoved, this, &ConverterView::showListOrDropArea);
    showListOrDropArea();
}

void ConverterView::choose() {
    auto* chooser = new FileChooser(FileChooser::Mode::filesAndFolders, QString(), window());
    QPointer<ConverterModel> model(&m_model);
    connect(chooser, &FileChooser::chosen, this, [model](const QStringList& paths) {
        if (model)
            model->add(paths);
    });
    chooser->open();
}

void ConverterView::chooseFolder() {
    auto* chooser = new FileChooser(FileChooser::Mode::folder, QString(), window());
    if (!m_model.folder().isEmpty())
        chooser->setDirectory(m_model.folder());
    QPointer<ConverterModel> model(&m_model);
    connect(chooser, &FileChooser::chosen, this, [model](const QStringList& paths) {
        if (model && !paths.isEmpty())
            model->setFolder(paths.first());
    });
    chooser->open();
}

void ConverterView::refresh() {
    m_dropArea->refresh();
}

QStringList ConverterView::localPaths(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    }
    return paths;
}

void ConverterView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ConverterView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ConverterView::dropEvent(QDropEvent* event) {
    const QStringList paths = localPaths(event->mimeData()->urls());
    event->acceptProposedAction();
    if (!paths.isEmpty())
        m_model.add(paths);
}

void ConverterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ConverterStyle::paintBackdrop(painter, rect(), palette());
}

void ConverterView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void ConverterView::showListOrDropArea() {
    m_stack->setCurrentWidget(m_model.items().isEmpty() ? static_cast<QWidget*>(m_dropArea) : m_list);
}
