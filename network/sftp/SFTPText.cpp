#include "network/sftp/SFTPText.h"

#include <functional>

namespace {

// Calls `visit` with each code point; an unpaired surrogate ends the walk with false.
bool forEachScalar(const QString& text, const std::function<bool(char32_t)>& visit) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        char32_t scalar = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            scalar = QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            return false;
        }
        if (!visit(scalar))
            return false;
    }
    return true;
}

} // namespace

namespace SFTPText {

bool isSafe(const QString& text) {
    return forEachScalar(text, [](char32_t scalar) {
        switch (QChar::category(scalar)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
            return false;
        default:
            return true;
        }
    });
}

bool isSafeTarget(const QString& text) {
    if (text.startsWith(QLatin1Char('-')) || !isSafe(text))
        return false;
    return forEachScalar(text, [](char32_t scalar) {
        return scalar != U'\t' && QChar::category(scalar) != QChar::Separator_Space;
    });
}

QString quote(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder == QLatin1String("."))
        return name;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace SFTPText
