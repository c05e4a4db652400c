#pragma once

#include <QString>

// One output file written under a temporary name in its final folder and moved to its real name
// only when complete, so a failed conversion leaves nothing behind and a file that is already
// there (which we did not make) is never replaced. The temporary file is created exclusively;
// writers open and overwrite it. Not copyable; owned by the one conversion call that writes it.
class OutputFile {
public:
    explicit OutputFile(const QString& finalPath);
    // Removes the temporary file unless `commit` succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the temporary file could not be created (missing folder, no permission).
    bool isValid() const { return !m_temporaryPath.isEmpty(); }
    QString temporaryPath() const { return m_temporaryPath; }
    QString finalPath() const { return m_finalPath; }

    // Moves the temporary file to the final name without replacing anything there. False (and
    // `errorString` says why) when something already exists there or the move fails.
    bool commit();
    QString errorString() const { return m_error; }

private:
    QString m_finalPath;
    QString m_temporaryPath;
    QString m_error;
    bool m_committed = false;
};
