#include "mediaserver/MediaServerPairing.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

TEST(MediaServerPairingTest, OnlyTheDigitsOfTheTypedCodeAreSent) {
    const struct {
        const char* typed;
        const char* sent;
    } cases[] = {
        {"123 456", "123456"}, {"123-456", "123456"}, {" 12a3b4 56\n", "123456"}, {"abc", ""}, {"", ""},
        {"١٢٣ ٤٥٦", "123456"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediaServerPairing::digits(QString::fromUtf8(c.typed)), QString::fromLatin1(c.sent))
            << c.typed;
}

TEST(MediaServerPairingTest, BodyHoldsTheCodeAndTheDeviceOnly) {
    const QJsonObject body =
        QJsonDocument::fromJson(MediaServerPairing::body(QStringLiteral("123 456"), QStringLiteral("Study")))
            .object();
    EXPECT_EQ(body, (QJsonObject{{QStringLiteral("code"), QStringLiteral("123456")},
                                 {QStringLiteral("device"), QStringLiteral("Study")}}));
}

TEST(MediaServerPairingTest, DeviceNameFallsBackToComputer) {
    EXPECT_EQ(MediaServerPairing::deviceName(QString()), QStringLiteral("Computer"));
    EXPECT_EQ(MediaServerPairing::deviceName(QStringLiteral("  ")), QStringLiteral("Computer"));
    EXPECT_EQ(MediaServerPairing::deviceName(QStringLiteral("Study PC")), QStringLiteral("Study PC"));
    EXPECT_FALSE(MediaServerPairing::deviceName().isEmpty());
}

TEST(MediaServerPairingTest, AnswersBecomeATokenOrARefusal) {
    const QString refused = QStringLiteral("The server didn't accept the code.");
    const struct {
        int status;
        QByteArray body;
        const char* token;
        QString error;
    } cases[] = {
        {200, R"({"token":"abc"})", "abc", {}},
        {200, R"({"token":"abc","error":"ignored"})", "abc", {}},
        {200, R"({"token":""})", nullptr, refused},
        {200, R"({"token":42})", nullptr, refused},
        {200, "not json", nullptr, refused},
        {201, R"({"token":"abc"})", nullptr, refused},
        {403, R"({"error":"That code has expired."})", nullptr, QStringLiteral("That code has expired.")},
        {403, R"({"error":7})", nullptr, refused},
        {403, R"(["error"])", nullptr, refused},
        {500, "", nullptr, refused},
    };
    for (const auto& c : cases) {
        const auto answer = MediaServerPairing::answer(c.status, c.body);
        if (c.token) {
            ASSERT_TRUE(std::holds_alternative<QString>(answer)) << c.body.toStdString();
            EXPECT_EQ(std::get<QString>(answer), QString::fromLatin1(c.token));
        } else {
            ASSERT_TRUE(std::holds_alternative<MediaServerError>(answer)) << c.body.toStdString();
            EXPECT_EQ(std::get<MediaServerError>(answer), MediaServerError::rejected(c.error))
                << c.body.toStdString();
        }
    }
}
