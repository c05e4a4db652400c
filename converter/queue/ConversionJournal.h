#pragma once

#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

// A small journal of the output locations this process is writing, so that an output left
// half-written by a crash or a killed process is deleted at the next start. Each process writes
// its own file in the folder (by default Paths::applicationCache()) and holds an advisory lock on
// it while it lives; `recover` reads only journals whose lock is free (their process has ended),
// deletes what their unfinished locations hold and removes the journals. Nothing the journal did
// not reserve is ever deleted.
//
// One owner (the queue), one thread (the owner's). `recover` may run on any thread.
class ConversionJournal {
public:
    explicit ConversionJournal(const QString& folder = {});
    ~ConversionJournal();
    ConversionJournal(const ConversionJournal&) = delete;
    ConversionJournal& operator=(const ConversionJournal&) = delete;

    // Records that `path` is about to be written. Call before anything is written there; a path
    // that already exists is not recorded (it is not ours to delete).
    void reserve(const QString& path);
    // Records that `path` is complete, or that its partial output has been deleted.
    void finished(const QString& path);
    // The locations reserved and not finished.
    QSet<QString> unfinished() const { return m_unfinished; }

    // Deletes what the unfinished locations of ended processes' journals hold, removes those
    // journals and returns the deleted paths.
    static QStringList recover(const QString& folder = {});

private:
    bool open();
    void append(char action, const QString& path);
    void close();

    QString m_folder;
    std::unique_ptr<QFile> m_file;
    QSet<QString> m_unfinished;
};
