#include "media/entries/MediaOrigin.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

const QString kInvalidKeys = QStringLiteral("Invalid number of keys found, expected one.");

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

TEST(MediaOriginTest, storedFormOfEachCase) {
    const struct {
        MediaOrigin origin;
        const char* json;
    } rows[] = {
        {MediaOrigin::none(), R"({"none":{}})"},
        {MediaOrigin::file(QStringLiteral("/home/me/Films/a b.mkv")),
         R"({"file":{"_0":"/home/me/Films/a b.mkv"}})"},
        {MediaOrigin::server(QStringLiteral("S1"), QStringLiteral("movies"), QStringLiteral("Films/a.mkv"),
                             true),
         R"({"server":{"_0":"S1","_1":"movies","_2":"Films/a.mkv","_3":true}})"},
        {MediaOrigin::server(QStringLiteral("S1"), QString(), QString(), false),
         R"({"server":{"_0":"S1","_1":"","_2":"","_3":false}})"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.origin.toJson(), parse(row.json)) << row.json;
        const MediaOrigin::Decoded decoded = MediaOrigin::decode(row.origin.encode());
        ASSERT_TRUE(std::holds_alternative<MediaOrigin>(decoded)) << row.json;
        EXPECT_EQ(std::get<MediaOrigin>(decoded), row.origin);
        EXPECT_EQ(std::get<MediaOrigin>(MediaOrigin::decode(row.json)), row.origin);
    }
}

TEST(MediaOriginTest, decodingIgnoresUnknownKeysBesideOneCase) {
    const auto decoded = MediaOrigin::decode(R"({"extra":1,"file":{"_0":"/a.mp4","_9":"x"}})");
    ASSERT_TRUE(std::holds_alternative<MediaOrigin>(decoded));
    EXPECT_EQ(std::get<MediaOrigin>(decoded), MediaOrigin::file(QStringLiteral("/a.mp4")));
    // The nested container of `none` may carry anything.
    EXPECT_EQ(std::get<MediaOrigin>(MediaOrigin::decode(R"({"none":{"_0":1}})")), MediaOrigin::none());
}

TEST(MediaOriginTest, decodingFailures) {
    using Kind = MediaOrigin::DecodeError::Kind;
    const struct {
        const char* json;
        Kind kind;
        bool invalidKeys;
    } rows[] = {
        {R"({"file":{"_0":"/a"},"none":{}})", Kind::typeMismatch, true},
        {R"({"none":{},"file":{"_0":"/a"},"server":{}})", Kind::typeMismatch, true},
        {R"({"other":{"_0":"/a"}})", Kind::typeMismatch, true},
        {R"({"File":{"_0":"/a"}})", Kind::typeMismatch, true},
        {R"({})", Kind::typeMismatch, true},
        {R"({"file":{}})", Kind::keyNotFound, false},
        {R"({"file":{"_0":7}})", Kind::typeMismatch, false},
        {R"({"file":{"_0":null}})", Kind::typeMismatch, false},
        {R"({"file":"/a"})", Kind::typeMismatch, false},
        {R"({"server":{"_0":"S","_1":"L","_2":"p"}})", Kind::keyNotFound, false},
        {R"({"server":{"_0":"S","_1":"L","_2":"p","_3":"true"}})", Kind::typeMismatch, false},
        {R"({"server":{"_0":"S","_2":"p","_3":true}})", Kind::keyNotFound, false},
        {R"(["file"])", Kind::typeMismatch, false},
        {R"({"file":)", Kind::typeMismatch, false},
    };
    for (const auto& row : rows) {
        const auto decoded = MediaOrigin::decode(row.json);
        ASSERT_TRUE(std::holds_alternative<MediaOrigin::DecodeError>(decoded)) << row.json;
        const auto& error = std::get<MediaOrigin::DecodeError>(decoded);
        EXPECT_EQ(error.kind, row.kind) << row.json;
        EXPECT_FALSE(error.description.isEmpty());
        if (row.invalidKeys)
            EXPECT_EQ(error.description, kInvalidKeys) << row.json;
        else
            EXPECT_NE(error.description, kInvalidKeys) << row.json;
    }
}

TEST(MediaOriginTest, equalityOverCaseAndValues) {
    const MediaOrigin a =
        MediaOrigin::server(QStringLiteral("S"), QStringLiteral("L"), QStringLiteral("p"), false);
    EXPECT_EQ(a, MediaOrigin::server(QStringLiteral("S"), QStringLiteral("L"), QStringLiteral("p"), false));
    EXPECT_NE(a, MediaOrigin::server(QStringLiteral("S"), QStringLiteral("L"), QStringLiteral("p"), true));
    EXPECT_NE(MediaOrigin::file(QStringLiteral("p")), MediaOrigin::none());
    EXPECT_NE(MediaOrigin::file(QString()), MediaOrigin::none());
    EXPECT_EQ(MediaOrigin(), MediaOrigin::none());
}
