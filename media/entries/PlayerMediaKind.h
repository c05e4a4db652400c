#pragma once

#include <QHashFunctions>
#include <QString>

#include <functional>
#include <optional>

// The three ways the player presents an entry: a moving picture, sound (with artwork) or a still
// picture. A plain value; any thread.
class PlayerMediaKind {
public:
    enum Value { video, audio, image };

    constexpr PlayerMediaKind(Value value)
        : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    // "video", "audio" or "image".
    QString rawValue() const;
    // Exactly the three raw values; any other text (also "Video") gives none.
    static std::optional<PlayerMediaKind> fromRawValue(const QString& raw);

private:
    Value m_value;
};

inline size_t qHash(PlayerMediaKind kind, size_t seed = 0) noexcept {
    return qHash(static_cast<int>(PlayerMediaKind::Value(kind)), seed);
}

template <> struct std::hash<PlayerMediaKind> {
    size_t operator()(PlayerMediaKind kind) const noexcept {
        return std::hash<int>()(static_cast<int>(PlayerMediaKind::Value(kind)));
    }
};
