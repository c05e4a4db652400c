#include "mediaserver/MediaServerRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <optional>

namespace MediaServerRecords {

namespace {

// Walks a JSON value, remembering the first member that failed. Every read after a failure is
// harmless, so the per-record functions read straight through and check once at the end.
class Reader {
public:
    bool failed() const { return m_error.has_value(); }
    QString error() const { return m_error.value_or(QString()); }

    const QJsonValue* member(const QJsonObject& object, const QString& name, const QString& where) {
        if (failed())
            return nullptr;
        const auto found = object.constFind(name);
        if (found == object.constEnd()) {
            fail(QStringLiteral("the member “%1” is missing").arg(where + name));
            return nullptr;
        }
        m_value = found.value();
        return &m_value;
    }

    QString text(const QJsonObject& object, const QString& name, const QString& where) {
        const QJsonValue* value = member(object, name, where);
        if (value && !value->isString())
            fail(QStringLiteral("the member “%1” isn't a text").arg(where + name));
        return value && value->isString() ? value->toString() : QString();
    }

    qint64 integer(const QJsonObject& object, const QString& name, const QString& where) {
        const QJsonValue* value = member(object, name, where);
        if (!value)
            return 0;
        const double number = value->toDouble();
        // A fraction or a number beyond 64 bits is not the whole number the record holds.
        if (!value->isDouble() || number != std::trunc(number) || std::abs(number) > 9.2e18) {
            fail(QStringLiteral("the member “%1” isn't a whole number").arg(where + name));
            return 0;
        }
        return value->toInteger(qint64(number));
    }

    bool boolean(const QJsonObject& object, const QString& name, const QString& where) {
        const QJsonValue* value = member(object, name, where);
        if (value && !value->isBool())
            fail(QStringLiteral("the member “%1” isn't true or false").arg(where + name));
        return value && value->toBool();
    }

    QJsonArray array(const QJsonObject& object, const QString& name, const QString& where) {
        const QJsonValue* value = member(object, name, where);
        if (value && !value->isArray())
            fail(QStringLiteral("the member “%1” isn't a list").arg(where + name));
        return value ? value->toArray() : QJsonArray();
    }

    void fail(const QString& reason) {
        if (!m_error)
            m_error = reason;
    }

private:
    std::optional<QString> m_error;
    QJsonValue m_value;
};

QJsonObject objectAt(Reader& reader, const QJsonValue& value, const QString& where) {
    if (!value.isObject())
        reader.fail(where.isEmpty() ? QStringLiteral("it isn't a JSON object")
                                    : QStringLiteral("“%1” isn't an object").arg(where.chopped(1)));
    return value.toObject();
}

void read(Reader& r, const QJsonValue& value, const QString& at, Server& out) {
    const QJsonObject o = objectAt(r, value, at);
    out = {r.text(o, QStringLiteral("id"), at), r.text(o, QStringLiteral("name"), at),
           r.text(o, QStringLiteral("host"), at), r.integer(o, QStringLiteral("port"), at)};
}

void read(Reader& r, const QJsonValue& value, const QString& at, Library& out) {
    const QJsonObject o = objectAt(r, value, at);
    out = {r.text(o, QStringLiteral("id"), at), r.text(o, QStringLiteral("name"), at),
           r.text(o, QStringLiteral("kind"), at)};
}

void read(Reader& r, const QJsonValue& value, const QString& at, Folder& out) {
    const QJsonObject o = objectAt(r, value, at);
    out = {r.text(o, QStringLiteral("name"), at), r.text(o, QStringLiteral("path"), at)};
}

void read(Reader& r, const QJsonValue& value, const QString& at, File& out) {
    const QJsonObject o = objectAt(r, value, at);
    out = {r.text(o, QStringLiteral("name"), at), r.text(o, QStringLiteral("path"), at),
           r.text(o, QStringLiteral("kind"), at), r.integer(o, QStringLiteral("size"), at),
           r.boolean(o, QStringLiteral("convert"), at)};
}

template <typename T> void read(Reader& r, const QJsonValue& value, const QString& at, QList<T>& out) {
    if (!value.isArray()) {
        r.fail(at.isEmpty() ? QStringLiteral("it isn't a JSON list")
                            : QStringLiteral("“%1” isn't a list").arg(at.chopped(1)));
        return;
    }
    const QJsonArray array = value.toArray();
    const QString prefix = at.isEmpty() ? QString() : at.chopped(1);
    for (qsizetype i = 0; i < array.size() && !r.failed(); ++i) {
        T element;
        read(r, array.at(i), prefix + QStringLiteral("[%1].").arg(i), element);
        out.append(element);
    }
}

void read(Reader& r, const QJsonValue& value, const QString& at, Listing& out) {
    const QJsonObject o = objectAt(r, value, at);
    out.library = r.text(o, QStringLiteral("library"), at);
    out.path = r.text(o, QStringLiteral("path"), at);
    read(r, r.array(o, QStringLiteral("folders"), at), at + QStringLiteral("folders."), out.folders);
    read(r, r.array(o, QStringLiteral("files"), at), at + QStringLiteral("files."), out.files);
}

template <typename T> Decoded<T> decodeAny(const QByteArray& json) {
    QJsonParseError parseError;
    // Wrapped in an array so that a bare value parses too and reaches the type check.
    const QJsonDocument document = QJsonDocument::fromJson("[" + json + "\n]", &parseError);
    if (parseError.error != QJsonParseError::NoError || document.array().size() != 1)
        return MediaServerError{
            MediaServerError::Kind::decoding,
            QStringLiteral("The server's answer couldn't be read because it isn't JSON.")};
    Reader reader;
    T value;
    read(reader, document.array().at(0), QString(), value);
    if (reader.failed())
        return MediaServerError{MediaServerError::Kind::decoding,
                                QStringLiteral("The server's answer couldn't be read because ") +
                                    reader.error() + QLatin1Char('.')};
    return value;
}

// A JSON string literal, quotes included.
QByteArray quoted(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

template <> Decoded<Server> decode(const QByteArray& json) {
    return decodeAny<Server>(json);
}
template <> Decoded<Library> decode(const QByteArray& json) {
    return decodeAny<Library>(json);
}
template <> Decoded<Folder> decode(const QByteArray& json) {
    return decodeAny<Folder>(json);
}
template <> Decoded<File> decode(const QByteArray& json) {
    return decodeAny<File>(json);
}
template <> Decoded<Listing> decode(const QByteArray& json) {
    return decodeAny<Listing>(json);
}
template <> Decoded<QList<Server>> decode(const QByteArray& json) {
    return decodeAny<QList<Server>>(json);
}
template <> Decoded<QList<Library>> decode(const QByteArray& json) {
    return decodeAny<QList<Library>>(json);
}
template <> Decoded<QList<Folder>> decode(const QByteArray& json) {
    return decodeAny<QList<Folder>>(json);
}
template <> Decoded<QList<File>> decode(const QByteArray& json) {
    return decodeAny<QList<File>>(json);
}
template <> Decoded<QList<Listing>> decode(const QByteArray& json) {
    return decodeAny<QList<Listing>>(json);
}

QByteArray encodeServers(const QList<Server>& servers) {
    // Written by hand: QJsonObject sorts its members, and the stored order is id, name, host, port.
    QByteArray out = "[";
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const Server& s = servers.at(i);
        out += (i ? "," : "") + QByteArray("{\"id\":") + quoted(s.id) + ",\"name\":" + quoted(s.name) +
               ",\"host\":" + quoted(s.host) + ",\"port\":" + QByteArray::number(s.port) + "}";
    }
    return out + "]";
}

} // namespace MediaServerRecords

size_t qHash(const MediaServerRecords::Library& library, size_t seed) noexcept {
    return qHashMulti(seed, library.id, library.name, library.kind);
}

size_t qHash(const MediaServerRecords::Folder& folder, size_t seed) noexcept {
    return qHashMulti(seed, folder.name, folder.path);
}

size_t qHash(const MediaServerRecords::File& file, size_t seed) noexcept {
    return qHashMulti(seed, file.name, file.path, file.kind, file.size, file.convert);
}
