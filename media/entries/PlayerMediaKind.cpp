#include "media/entries/PlayerMediaKind.h"

QString PlayerMediaKind::rawValue() const {
    switch (m_value) {
    case video:
        return QStringLiteral("video");
    case audio:
        return QStringLiteral("audio");
    case image:
        return QStringLiteral("image");
    }
    return {};
}

std::optional<PlayerMediaKind> PlayerMediaKind::fromRawValue(const QString& raw) {
    for (const Value value : {video, audio, image})
        if (PlayerMediaKind(value).rawValue() == raw)
            return PlayerMediaKind(value);
    return std::nullopt;
}
