#pragma once

#include <QList>
#include <QString>

#include <optional>

// The three quality levels offered for every conversion.
class ConvertQuality {
public:
    enum Value { best, balanced, small };

    constexpr ConvertQuality(Value value)
        : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static QList<ConvertQuality> all();
    // "best", "balanced" or "small"; any other text gives none.
    static std::optional<ConvertQuality> fromId(const QString& id);

    QString id() const;
    QString title() const;

private:
    Value m_value;
};
