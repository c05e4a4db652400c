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

qsizetype runEnd(QStringView text, qsizetype from, bool digits) {
    while (from < text.size() && text[from].isDigit() == digits)
        ++from;
    return from;
}

// Natural order: runs of digits compare by value, everything between them through the collator.
// Done here because collators fall back to plain comparison in the "C" locale.
int naturalCompare(const QCollator& collator, QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digits = a[i].isDigit();
        if (digits != b[j].isDigit())
            break;
        const qsizetype endA = runEnd(a, i, digits);
        const qsizetype endB = runEnd(b, j, digits);
        QStringView runA = a.mid(i, endA - i);
        QStringView runB = b.mid(j, endB - j);
        int order = 0;
        if (digits) {
            while (runA.size() > 1 && runA.front() == QLatin1Char('0'))
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == QLatin1Char('0'))
                runB = runB.mid(1);
            order = runA.size() != runB.size() ? (runA.size() < runB.size() ? -1 : 1) : runA.compare(runB);
        } else {
            order = collator.compare(runA, runB);
        }
        if (order != 0)
            return order;
        i = endA;
        j = endB;
    }
    const int order = collator.compare(a.mid(i), b.mid(j));
    return order != 0 ? order : a.compare(b);
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
    std::stable_sort(entries.begin(), entries.end(), [&collator](const SFTPEntry& a, const SFTPEntry& b) {
        if (a.isFolder != b.isFolder)
            return a.isFolder;
        return naturalCompare(collator, a.name, b.name) < 0;
    });
}

} // namespace SFTPListing
