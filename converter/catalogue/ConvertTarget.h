#pragma once

#include "converter/catalogue/ConvertKind.h"

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

// One output format of the catalogue. The id, not the title or extension, identifies a target
// (two targets are titled "PDF", two write .gif).
struct ConvertTarget {
    QString id;
    QString title;
    QString detail;
    // Output extension without the dot.
    QString ext;
    // The kind of file the conversion produces.
    ConvertKind output = ConvertKind::video;

    bool operator==(const ConvertTarget& other) const {
        return id == other.id && title == other.title && detail == other.detail && ext == other.ext &&
               output == other.output;
    }

    // The whole catalogue, 35 rows, in table order.
    static const QList<ConvertTarget>& all();
    // The targets offered for an input kind, in display order.
    static QList<ConvertTarget> targets(ConvertKind kind);
    // The first row with that id, or none.
    static std::optional<ConvertTarget> byID(const QString& id);
};

// Hashing over all fields, like equality, so targets can key sets and maps.
inline size_t qHash(const ConvertTarget& target, size_t seed = 0) {
    return qHashMulti(seed, target.id, target.title, target.detail, target.ext,
                      int(ConvertKind::Value(target.output)));
}
