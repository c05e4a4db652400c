#pragma once

#include <QFileDialog>
#include <QStringList>

// The open panel of the converter: several files and folders at once (Qt's own dialog, since
// the desktop portals choose either files or folders), with an optional message, or a folder
// chooser whose confirm button reads "Save Here". Opened window-modal with `open`; the chosen
// paths arrive through `chosen`. Deletes itself when closed. Main thread.
class FileChooser : public QFileDialog {
    Q_OBJECT

public:
    enum class Mode { filesAndFolders, folder };

    FileChooser(Mode mode, const QString& message, QWidget* parent = nullptr);

    void accept() override;

Q_SIGNALS:
    void chosen(const QStringList& paths);

private:
    Mode m_mode;
};
