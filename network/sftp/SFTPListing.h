#pragma once

#include "network/sftp/SFTPEntry.h"

#include <QList>
#include <QString>

// Reads the output of the batch command `ls -la "<path>"` into entries. Pure functions; any
// thread.
namespace SFTPListing {

// The visible entries of `output` (hidden items, "." and "..", headers and messages are left
// out), sorted by order().
QList<SFTPEntry> parse(const QString& output, const QString& path);
// Folders before files; within each group by name, case-insensitive, digits by numeric value.
void sort(QList<SFTPEntry>& entries);

} // namespace SFTPListing
