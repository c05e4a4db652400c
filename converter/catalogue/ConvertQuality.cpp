#include "converter/catalogue/ConvertQuality.h"

QList<ConvertQuality> ConvertQuality::all() {
    return {best, balanced, small};
}

std::optional<ConvertQuality> ConvertQuality::fromId(const QString& id) {
    for (ConvertQuality quality : all())
        if (quality.id() == id)
            return quality;
    return std::nullopt;
}

QString ConvertQuality::id() const {
    switch (m_value) {
    case best:
        return QStringLiteral("best");
    case balanced:
        return QStringLiteral("balanced");
    case small:
        return QStringLiteral("small");
    }
    return {};
}

QString ConvertQuality::title() const {
    switch (m_value) {
    case best:
        return QStringLiteral("Best quality");
    case balanced:
        return QStringLiteral("Balanced");
    case small:
        return QStringLiteral("Smallest file");
    }
    return {};
}
