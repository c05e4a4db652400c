#pragma once

#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <functional>

class ConverterView;

// The converter window: 800 × 720 at first (then its saved frame), at least 600 × 420, titled
// "Converter", over a ConverterView of ConverterModel::shared(). There is one, `current`,
// created on first use and kept for the process: closing hides it (and clears finished
// items), showing it again reuses it. `show(adding)` is the one way any part of the
// application hands files to the converter. Main thread.
class ConverterWindow : public QMainWindow {
    Q_OBJECT

public:
    // The live window, or null before the first `show`.
    static ConverterWindow* current();

    // Adds the files (an empty list adds nothing), creates the window if needed, shows it and
    // brings it to the front.
    static void show(const QList<QUrl>& adding);
    using QMainWindow::show;
    // The open panel "Choose files or folders to convert…"; the chosen ones go to `show`.
    static void chooseAndShow();

    // The application puts its menus into the window when it is made.
    static void setMenuInstaller(std::function<void(QMainWindow*)> install);

    ConverterView* view() const { return m_view; }

    static inline const QString choosePanelMessage =
        QStringLiteral("Choose files or folders to convert. Videos, music, pictures, PDFs and documents.");

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ConverterWindow();
    void saveFrame();
    void restoreFrame();

    ConverterView* m_view = nullptr;
};
