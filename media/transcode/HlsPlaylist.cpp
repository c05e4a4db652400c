#include "media/transcode/HlsPlaylist.h"

#include <QStringList>

#include <limits>

namespace HlsPlaylist {

bool finished(const QString& text) {
    return text.contains(QLatin1String("#EXT-X-ENDLIST"));
}

int segmentCount(const QString& text) {
    return static_cast<int>(text.count(QLatin1String("#EXTINF")));
}

double available(const QString& text) {
    if (finished(text))
        return std::numeric_limits<double>::infinity();
    static const QLatin1String tag("#EXTINF:");
    double seconds = 0;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(tag))
            continue;
        const QString rest = line.mid(tag.size());
        const qsizetype comma = rest.indexOf(QLatin1Char(','));
        bool ok = false;
        const double value = (comma < 0 ? rest : rest.left(comma)).trimmed().toDouble(&ok);
        if (ok && value > 0 && value < std::numeric_limits<double>::infinity())
            seconds += value;
    }
    return seconds;
}

} // namespace HlsPlaylist
