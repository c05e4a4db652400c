#include "converter/ui/FileChooser.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTreeView>

FileChooser::FileChooser(Mode mode, const QString& message, QWidget* parent)
    : QFileDialog(parent)
    , m_mode(mode) {
    setObjectName(mode == Mode::folder ? QStringLiteral("folderChooser") : QStringLiteral("fileChooser"));
    setAttribute(Qt::WA_DeleteOnClose);
    setOption(QFileDialog::DontUseNativeDialog);
    setDirectory(QDir::homePath());
    if (mode == Mode::folder) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        setLabelText(QFileDialog::Accept, QStringLiteral("Save Here"));
        setWindowTitle(QStringLiteral("Choose a Folder"));
    } else {
        // Directory mode that also lists files, with several rows selectable: files and folders
        // can be chosen together.
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, false);
        setLabelText(QFileDialog::Accept, QStringLiteral("Convert"));
        setWindowTitle(QStringLiteral("Choose Files"));
        for (auto* view : findChildren<QAbstractItemView*>()) {
            if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    }
    if (!message.isEmpty()) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            auto* label = new QLabel(message, this);
            label->setObjectName(QStringLiteral("chooserMessage"));
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
}

void FileChooser::accept() {
    QStringList paths;
    for (const QString& path : selectedFiles()) {
        if (QFileInfo::exists(path))
            paths.append(path);
    }
    if (paths.isEmpty())
        return;
    if (m_mode == Mode::folder && !QFileInfo(paths.first()).isDir())
        return;
    Q_EMIT chosen(m_mode == Mode::folder ? paths.mid(0, 1) : paths);
    QDialog::accept();
}
