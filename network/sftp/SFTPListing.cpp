#include "network/sftp/SFTPListing.h"

#include "network/sftp/SFTPText.h"

#include <QCollator>
#include <QStringView>

#include <algorithm>

namespace {

// Splits at most 8 times on runs of spaces; the ninth field is the rest of the line after the
// eighth field's separator.
QList<QStringView> fields(QStringView line) {
    QList<QStringView> parts;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && line[i] == QLatin1Char(' '))
        ++i;
    while (i < n) {
        if (parts.size() == 8) {
            parts.append(line.mid(i));
            break;
        }
        const qsizetype start = i;
        while (i < n && line[i] != QLatin1Char(' '))
            ++i;
        parts.append(line.mid(start, i - start));
        // The separator before the name is one space; a name may itself begin with spaces.
        if (i < n)
            ++i;
        if (parts.size() < 8) {
            while (i < n && line[i] == QLatin1Char(' '))
                ++i;
        }
    }
    return parts;
}

QString nameOf(QStringView field, const QString& path) {
    const QString prefix = path + QLatin1Char('/');
    if (field.startsWith(prefix))
        return field.mid(prefix.size()).toString();
    const qsizetype slash = field.lastIndexOf(QLatin1Char('/'));
    return (slash >= 0 ? field.mid(slash + 1) : field).toString();
}

} // namespace

namespace SFTPListing {

QList<SFTPEntry> parse(const QString& output, const QString& path) {
    QList<SFTPEntry> entries;
    for (QStringView line : QStringView(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QList<QStringView> parts = fields(line);
        if (parts.size() != 9)
            continue;
        const QStringView type = parts.at(0);
        if (type.isEmpty() ||
            !(type[0] == QLatin1Char('-') || type[0] == QLatin1Char('d') || type[0] == QLatin1Char('l')))
            continue;
        const QString name = nameOf(parts.at(8), path);
        if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
            continue;
        SFTPEntry entry;
        entry.name = name;
        entry.path = SFTPText::join(path, name);
        entry.isFolder = type[0] == QLatin1Char('d');
        bool ok = false;
        const qint64 size = parts.at(4).toLongLong(&ok);
        entry.size = ok ? size : 0;
        entries.append(entry);
    }
    sort(entries);
    return entries;
}

void sort(QList<SFTPEntry>& entries) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(entries.begin(), entries.end(), [&collator](const SFTPEntry& a, const SFTPEntry& b) {
        if (a.isFolder != b.isFolder)
            return a.isFolder;
        return collator.compare(a.name, b.name) < 0;
    });
}

} // namespace SFTPListing
