#include "media/entries/MediaOrigin.h"

#include <QJsonDocument>
#include <QStringList>

namespace {

const QString kNone = QStringLiteral("none");
const QString kFile = QStringLiteral("file");
const QString kServer = QStringLiteral("server");

MediaOrigin::DecodeError mismatch(const QString& description) {
    return {MediaOrigin::DecodeError::Kind::typeMismatch, description};
}

QString typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Reads `key` of `values` as the wanted JSON type, or says why it cannot.
std::optional<MediaOrigin::DecodeError> require(const QJsonObject& values, const QString& key,
                                                QJsonValue::Type type, QJsonValue& out) {
    const auto found = values.constFind(key);
    if (found == values.constEnd())
        return MediaOrigin::DecodeError{MediaOrigin::DecodeError::Kind::keyNotFound,
                                        QStringLiteral("No value associated with key \"%1\".").arg(key)};
    if (found->type() != type) {
        const QString wanted =
            type == QJsonValue::Bool ? QStringLiteral("a boolean") : QStringLiteral("a string");
        return mismatch(QStringLiteral("Expected %1 under key \"%2\" but found %3 instead.")
                            .arg(wanted, key, typeName(*found)));
    }
    out = *found;
    return std::nullopt;
}

} // namespace

MediaOrigin MediaOrigin::file(const QString& path) {
    MediaOrigin origin;
    origin.m_case = Case::file;
    origin.m_path = path;
    return origin;
}

MediaOrigin MediaOrigin::server(const QString& serverID, const QString& libraryID, const QString& path,
                                bool convert) {
    MediaOrigin origin;
    origin.m_case = Case::server;
    origin.m_serverID = serverID;
    origin.m_libraryID = libraryID;
    origin.m_path = path;
    origin.m_convert = convert;
    return origin;
}

QJsonObject MediaOrigin::toJson() const {
    switch (m_case) {
    case Case::none:
        return {{kNone, QJsonObject()}};
    case Case::file:
        return {{kFile, QJsonObject{{QStringLiteral("_0"), m_path}}}};
    case Case::server:
        return {{kServer, QJsonObject{{QStringLiteral("_0"), m_serverID},
                                      {QStringLiteral("_1"), m_libraryID},
                                      {QStringLiteral("_2"), m_path},
                                      {QStringLiteral("_3"), m_convert}}}};
    }
    return {};
}

QByteArray MediaOrigin::encode() const {
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

MediaOrigin::Decoded MediaOrigin::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return mismatch(QStringLiteral("Expected an object but found %1 instead.").arg(typeName(value)));
    const QJsonObject object = value.toObject();
    QStringList known;
    for (const QString& key : {kNone, kFile, kServer})
        if (object.contains(key))
            known.append(key);
    if (known.size() != 1)
        return mismatch(QStringLiteral("Invalid number of keys found, expected one."));

    const QString& name = known.first();
    const QJsonValue nested = object.value(name);
    if (!nested.isObject())
        return mismatch(QStringLiteral("Expected an object under key \"%1\" but found %2 instead.")
                            .arg(name, typeName(nested)));
    const QJsonObject values = nested.toObject();
    if (name == kNone)
        return MediaOrigin::none();

    QJsonValue v0, v1, v2, v3;
    if (auto error = require(values, QStringLiteral("_0"), QJsonValue::String, v0))
        return *error;
    if (name == kFile)
        return MediaOrigin::file(v0.toString());
    if (auto error = require(values, QStringLiteral("_1"), QJsonValue::String, v1))
        return *error;
    if (auto error = require(values, QStringLiteral("_2"), QJsonValue::String, v2))
        return *error;
    if (auto error = require(values, QStringLiteral("_3"), QJsonValue::Bool, v3))
        return *error;
    return MediaOrigin::server(v0.toString(), v1.toString(), v2.toString(), v3.toBool());
}

MediaOrigin::Decoded MediaOrigin::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return DecodeError{DecodeError::Kind::typeMismatch,
                           QStringLiteral("The data isn't valid JSON: %1.").arg(error.errorString())};
    if (!document.isObject())
        return mismatch(QStringLiteral("Expected an object but found an array instead."));
    return fromJson(document.object());
}
