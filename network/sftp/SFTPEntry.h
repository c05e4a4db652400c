#pragma once

#include <QHashFunctions>
#include <QString>

// One item of a remote folder listing; a plain value identified by `path`.
struct SFTPEntry {
    QString name;
    // The item's path on the server: SFTPText::join(folder, name).
    QString path;
    bool isFolder = false;
    // Size in bytes as listed; 0 when the column does not read as a number.
    qint64 size = 0;

    bool operator==(const SFTPEntry&) const = default;
};

inline size_t qHash(const SFTPEntry& entry, size_t seed = 0) {
    return qHashMulti(seed, entry.name, entry.path, entry.isFolder, entry.size);
}
