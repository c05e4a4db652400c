#pragma once

#include "converter/catalogue/ConvertKind.h"

#include <QList>
#include <QString>
#include <QStringList>

// What adding files and folders finds: the files under them (folders walked to depth 2) with their
// kind, size and icon. Blocking (it reads folders and sniffs contents): background threads only.
// Thread-safe; no framework beyond Qt Core.
namespace FolderScan {

struct File {
    QString path;
    ConvertKind kind = ConvertKind::video;
    qint64 size = 0;
    // The icon theme's names for the file's type (specific, then generic); may be empty.
    QString iconName;
    QString genericIconName;
};

struct Result {
    QList<File> files;
    // Files that are not a kind the converter handles.
    int skipped = 0;
};

// The regular files `paths` name or hold, in order: folders walked to depth 2 in name order,
// hidden entries and packages left out, links to folders not followed, pipes and devices skipped.
QStringList expand(const QStringList& paths);
// `expand`, with each file's kind, size and icon; files of no convertible kind are counted.
Result scan(const QStringList& paths);

} // namespace FolderScan
