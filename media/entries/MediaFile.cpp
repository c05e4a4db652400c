#include "media/entries/MediaFile.h"

#include "converter/catalogue/ConvertKind.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>

namespace {

bool conformsTo(const QMimeType& type, const QString& prefix) {
    if (!type.isValid())
        return false;
    if (type.name().startsWith(prefix))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(),
                       [&](const QString& parent) { return parent.startsWith(prefix); });
}

// A letter without case or accent: "É" and "e" compare alike, as the file manager shows them.
char32_t baseLetter(char32_t c) {
    QChar::Decomposition tag = QChar::decompositionTag(c);
    if (tag == QChar::Canonical || tag == QChar::Compat) {
        const QString parts = QChar::decomposition(c);
        if (!parts.isEmpty())
            c = parts.at(0).unicode();
    }
    return QChar::toCaseFolded(c);
}

// The length of the digit run at `i` and its value without leading zeros.
QStringView digitRun(QStringView text, qsizetype& i) {
    const qsizetype begin = i;
    while (i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))
        ++i;
    QStringView run = text.mid(begin, i - begin);
    while (run.size() > 1 && run.front() == QLatin1Char('0'))
        run = run.mid(1);
    return run;
}

// Case- and accent-insensitive, digit runs compared by value (runs of ASCII digits).
int compareNames(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = a[i] >= QLatin1Char('0') && a[i] <= QLatin1Char('9');
        const bool digitB = b[j] >= QLatin1Char('0') && b[j] <= QLatin1Char('9');
        if (digitA && digitB) {
            const QStringView runA = digitRun(a, i), runB = digitRun(b, j);
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int order = runA.compare(runB); order != 0)
                return order < 0 ? -1 : 1;
            continue;
        }
        const char32_t ca = baseLetter(a[i].unicode()), cb = baseLetter(b[j].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace

namespace MediaFile {

std::optional<PlayerMediaKind> kindByExtension(const QUrl& url) {
    const QFileInfo info(url.path());
    // A name such as ".mkv" is a hidden file without an extension.
    const QString ext = info.completeBaseName().isEmpty() ? QString() : info.suffix().toLower();
    if (ext.isEmpty())
        return std::nullopt;
    if (ConvertKind::videoExtensions().contains(ext))
        return PlayerMediaKind::video;
    if (ConvertKind::audioExtensions().contains(ext))
        return PlayerMediaKind::audio;
    return std::nullopt;
}

std::optional<PlayerMediaKind> kind(const QUrl& url) {
    if (const auto byExtension = kindByExtension(url))
        return byExtension;
    // The default match looks at the name and, where the name is not enough, at the content; a
    // file that cannot be read still gets the type its extension implies.
    const QMimeDatabase types;
    const QMimeType type = types.mimeTypeForFile(url.toLocalFile());
    if (!type.isValid() || type.isDefault())
        return std::nullopt;
    if (conformsTo(type, QStringLiteral("video/")))
        return PlayerMediaKind::video;
    if (conformsTo(type, QStringLiteral("audio/")))
        return PlayerMediaKind::audio;
    if (conformsTo(type, QStringLiteral("image/")))
        return PlayerMediaKind::image;
    return std::nullopt;
}

QList<QUrl> siblings(const QUrl& file) {
    const QDir folder = QFileInfo(file.toLocalFile()).dir();
    // Without QDir::Hidden the listing skips dot files; an unreadable folder lists nothing.
    const QFileInfoList items = folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    QList<QFileInfo> playable;
    for (const QFileInfo& item : items)
        if (kind(QUrl::fromLocalFile(item.absoluteFilePath())))
            playable.append(item);
    std::sort(playable.begin(), playable.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return namesInOrder(a.fileName(), b.fileName());
    });
    QList<QUrl> result;
    for (const QFileInfo& item : playable)
        result.append(QUrl::fromLocalFile(item.absoluteFilePath()));
    if (result.isEmpty())
        result.append(file);
    return result;
}

bool namesInOrder(const QString& a, const QString& b) {
    const int order = compareNames(a, b);
    if (order != 0)
        return order < 0;
    // Names the file manager deems equal ("a.mp4", "A.mp4") still need one fixed order.
    return a < b;
}

} // namespace MediaFile
