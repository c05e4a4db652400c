#pragma once

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

// A small journal of the temporary files and folders this process has created and not yet
// finished with, so that what a crash or a killed process left half-written is removed at the next
// start. Each entry records the path with its device and inode: recovery removes an entry only
// while the thing at that path is still the one recorded, so a file that has since replaced it
// (the user's, or another run's) is never touched.
//
// Each process writes its own file in the folder (by default Paths::applicationCache()) and holds
// an advisory lock on it while it lives; `recover` reads only journals whose lock is free (their
// process has ended) and removes those journals. It also removes the office worker's private
// profiles whose worker has ended.
//
// Thread-safe: `shared()` is the process's journal, written by every output file on any thread.
class ConversionJournal {
public:
    explicit ConversionJournal(const QString& folder = {});
    ~ConversionJournal();
    ConversionJournal(const ConversionJournal&) = delete;
    ConversionJournal& operator=(const ConversionJournal&) = delete;

    // The process's journal in the application cache.
    static ConversionJournal& shared();

    // Records that a temporary file or folder is about to be created under `path`, so that a crash
    // between its creation and `created` still has it removed (while it is empty).
    void creating(const QString& path);
    // Records a file or folder this process has just created exclusively (nothing is recorded
    // when it cannot be found). Call before anything is written into it.
    void created(const QString& path);
    // Records that the path was moved to its final name or removed.
    void finished(const QString& path);
    // The paths created and not finished.
    QSet<QString> unfinished() const;

    // Removes what the unfinished entries of ended processes' journals still hold, removes those
    // journals and returns the removed paths. Slow on a large folder of journals: not for the main
    // thread.
    static QStringList recover(const QString& folder = {});

private:
    struct Identity {
        quint64 device = 0;
        quint64 inode = 0;
    };
    bool open();
    void append(const QString& action, const QString& path, const Identity& identity);
    void close();

    mutable QMutex m_lock;
    QString m_folder;
    std::unique_ptr<QFile> m_file;
    QHash<QString, Identity> m_unfinished;
};
