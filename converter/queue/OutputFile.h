#pragma once

#include "converter/catalogue/ConvertControl.h"
#include "converter/catalogue/ConvertError.h"

#include <QString>
#include <QStringList>

class ConversionJournal;

// One output of a conversion, written under a hidden temporary name that this object created
// exclusively in the destination folder, and made visible only by `commit`, a rename that can
// never replace anything. When the wanted name was taken meanwhile, the output takes the next free
// name of the converter's naming rule (" (converted)", " (converted 2)", …) and `finalPath` says
// which. Until then the temporary file or folder is in the process's conversion journal, so a
// crash's leftovers are removed at the next start.
//
// On destruction without a commit it removes exactly what it made: its temporary file, or the
// files it created in its temporary folder and then the folder; never a path it did not create.
//
// Not copyable; owned by the one conversion that writes it, on one thread at a time.
class OutputFile {
public:
    enum class Kind { file, folder };

    // `control` (optional) lets the conversion be stopped: `commit` then refuses and `failure`
    // gives the cancelled text; the name finally taken is reported to it.
    explicit OutputFile(const QString& finalPath, Kind kind = Kind::file, ConvertControlPtr control = {},
                        ConversionJournal* journal = nullptr);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the temporary file could not be created (missing folder, no permission, full disk).
    bool isValid() const { return !m_temporaryPath.isEmpty(); }
    QString temporaryPath() const { return m_temporaryPath; }
    // The wanted name, or after a commit the name the output took.
    QString finalPath() const { return m_finalPath; }
    bool isCommitted() const { return m_committed; }

    // Folders: creates the file `name` inside the temporary folder exclusively and returns its
    // path (empty on failure). A failure later removes it.
    QString createFile(const QString& name);
    // Files: puts the finished file `made` (on the same file system, ours) in place of the
    // temporary file.
    bool adopt(const QString& made);

    // Moves the temporary file or folder to the final name without replacing anything, taking the
    // next free name when it is taken. False when stopped, or when the move fails.
    bool commit();

    // The error to report after something failed: the cancelled text when the conversion was
    // stopped, the full-disk or no-permission sentence when that is why, otherwise `fallback`.
    // `errnum` is the error number of the failed step when known (0 otherwise).
    ConvertError failure(const QString& fallback, int errnum = 0) const;

    // The sentences for a full disk and a folder we may not write.
    static QString diskFullMessage();
    static QString notAllowedMessage();

private:
    bool moveFolderWithoutReplacing(const QString& to);
    void discard();

    Kind m_kind;
    QString m_finalPath;
    QString m_temporaryPath;
    QStringList m_created; // folders: the files made inside, in order
    ConvertControlPtr m_control;
    ConversionJournal* m_journal;
    int m_errno = 0;
    bool m_committed = false;
};
