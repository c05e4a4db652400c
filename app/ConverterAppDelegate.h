#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class QMainWindow;
class SingleInstance;

// The application's shell: start-up (the launch line, the update service, the converter window
// on the next turn of the event loop), the one-instance channel and the D-Bus convert method
// (both end in ConverterWindow::show), the menus, the settings window, and quitting (asking
// first while conversions run). One instance, made by main(); main thread.
class ConverterAppDelegate : public QObject {
    Q_OBJECT

public:
    static ConverterAppDelegate& shared();
    explicit ConverterAppDelegate(QObject* parent = nullptr);
    ~ConverterAppDelegate() override;

    // Before anything else: when another instance runs, hands it the arguments (files, or none
    // to bring its window back) and answers true; this process should then exit.
    static bool handOverToRunningInstance(const QStringList& arguments, const QString& workingFolder);

    // Start-up with the command line's files (the desktop entry's %F): the log line, the update
    // service, the single-instance channel, the D-Bus method, and on the next turn the window.
    void didFinishLaunching(const QStringList& arguments, const QString& workingFolder);

    // Files opened with the application: the local files among `urls`, in order, go to the
    // converter; the window is shown even when none was a file.
    void open(const QList<QUrl>& urls);

    // True when the application may quit now. While conversions run it asks "Stop converting
    // and quit?"; "Quit" cancels them and answers true, "Cancel" answers false.
    bool shouldTerminate();
    // The Quit command: asks as above, then lets running tools stop and their partial outputs go
    // (a few seconds at most) and quits.
    void requestQuit();

    void showSettings();
    void showAbout();
    // Builds the menu bar of a window (File and Help).
    void installMenus(QMainWindow* window);

    // Tests replace the final QApplication::quit.
    void setQuitForTesting(std::function<void()> quit);
    QDialog* settingsWindow() const { return m_settings; }

    static QString launchLine();

private:
    void quitNow();

    SingleInstance* m_instance = nullptr;
    QPointer<QDialog> m_settings;
    std::function<void()> m_quit;
    bool m_quitting = false;
};
