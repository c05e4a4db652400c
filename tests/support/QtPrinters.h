#pragma once

// Readable Qt values in GoogleTest failure messages. Force-included into every test file.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* out) {
    *out << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QByteArray& value, std::ostream* out) {
    *out << "QByteArray(\"" << value.left(200).toStdString() << (value.size() > 200 ? "\"...)" : "\")");
}

inline void PrintTo(const QStringList& value, std::ostream* out) {
    *out << '[';
    for (qsizetype i = 0; i < value.size(); ++i)
        *out << (i ? ", " : "") << '"' << value[i].toStdString() << '"';
    *out << ']';
}
