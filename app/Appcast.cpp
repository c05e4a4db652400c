#include "app/Appcast.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

const QString sparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// Version texts split into numbers; a part with letters counts by its leading digits.
QList<qint64> parts(const QString& version) {
    QList<qint64> result;
    static const QRegularExpression separators(QStringLiteral("[.\\-+ ]"));
    for (const QString& part : version.split(separators, Qt::SkipEmptyParts)) {
        qint64 value = 0;
        for (QChar c : part) {
            if (!c.isDigit())
                break;
            value = qMin<qint64>(value * 10 + c.digitValue(), 1'000'000'000'000LL);
        }
        result.append(value);
    }
    return result;
}

} // namespace

namespace Appcast {

std::optional<QList<Item>> parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    QList<Item> items;
    bool sawRss = false;
    std::optional<Item> current;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            const bool isSparkle = reader.namespaceUri() == sparkle;
            if (!sawRss) {
                if (name != QLatin1String("rss"))
                    return std::nullopt;
                sawRss = true;
                continue;
            }
            if (name == QLatin1String("item") && !isSparkle) {
                current = Item{};
            } else if (!current) {
                continue;
            } else if (name == QLatin1String("title") && !isSparkle) {
                current->title = reader.readElementText().trimmed();
            } else if (name == QLatin1String("description")) {
                current->notes = reader.readElementText().trimmed();
            } else if (isSparkle && name == QLatin1String("version")) {
                current->version = reader.readElementText().trimmed();
            } else if (isSparkle && name == QLatin1String("shortVersionString")) {
                current->shortVersion = reader.readElementText().trimmed();
            } else if (isSparkle && name == QLatin1String("releaseNotesLink")) {
                current->notesLink = QUrl(reader.readElementText().trimmed());
            } else if (name == QLatin1String("enclosure")) {
                const auto attributes = reader.attributes();
                current->download = QUrl(attributes.value(QLatin1String("url")).toString());
                current->length = attributes.value(QLatin1String("length")).toLongLong();
                current->signature =
                    attributes.value(sparkle, QLatin1String("edSignature")).toString().toLatin1();
                if (attributes.hasAttribute(sparkle, QLatin1String("version")))
                    current->version = attributes.value(sparkle, QLatin1String("version")).toString();
                if (attributes.hasAttribute(sparkle, QLatin1String("shortVersionString")))
                    current->shortVersion =
                        attributes.value(sparkle, QLatin1String("shortVersionString")).toString();
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && current) {
            if (current->shortVersion.isEmpty())
                current->shortVersion = current->version;
            if (!current->version.isEmpty() && current->download.isValid())
                items.append(*current);
            current.reset();
        }
    }
    if (reader.hasError() || !sawRss)
        return std::nullopt;
    return items;
}

int compareVersions(const QString& a, const QString& b) {
    const QList<qint64> left = parts(a);
    const QList<qint64> right = parts(b);
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const qint64 l = i < left.size() ? left[i] : 0;
        const qint64 r = i < right.size() ? right[i] : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

std::optional<Item> newer(const QList<Item>& items, const QString& currentBuild) {
    std::optional<Item> best;
    for (const Item& item : items) {
        if (compareVersions(item.version, currentBuild) <= 0)
            continue;
        if (!best || compareVersions(item.version, best->version) > 0)
            best = item;
    }
    return best;
}

} // namespace Appcast
