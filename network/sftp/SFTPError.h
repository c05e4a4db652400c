#pragma once

#include <QString>

// The failure of one SFTP operation: a finished sentence for the user. `cancelled` marks the
// caller's own cancel, which is not a failure to report.
struct SFTPError {
    QString message;
    bool cancelled = false;

    QString description() const { return message; }
};
