#include "mediaserver/MediaServerRecords.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace MediaServerRecords;

namespace {

template <typename T> QString failure(const QByteArray& json) {
    const Decoded<T> decoded = decode<T>(json);
    const auto* error = std::get_if<MediaServerError>(&decoded);
    return error ? error->message : QString();
}

const QByteArray kListing = R"({"library":"movies","path":"Films","unknown":[1,2],
    "folders":[{"name":"Extras","path":"Films/Extras"}],
    "files":[{"name":"a.mkv","path":"Films/a.mkv","kind":"video","size":5000000000,"convert":true,"codec":"x"}]})";

} // namespace

TEST(MediaServerRecordsTest, ListingDecodesAndIgnoresUnknownMembers) {
    const Decoded<Listing> decoded = decode<Listing>(kListing);
    ASSERT_TRUE(std::holds_alternative<Listing>(decoded)) << failure<Listing>(kListing).toStdString();
    const Listing expected{QStringLiteral("movies"),
                           QStringLiteral("Films"),
                           {{QStringLiteral("Extras"), QStringLiteral("Films/Extras")}},
                           {{QStringLiteral("a.mkv"), QStringLiteral("Films/a.mkv"), QStringLiteral("video"),
                             5000000000LL, true}}};
    EXPECT_EQ(std::get<Listing>(decoded), expected);
}

TEST(MediaServerRecordsTest, EveryMemberIsRequiredWithItsType) {
    const struct {
        QByteArray json;
        const char* names;
    } cases[] = {
        {R"({"path":"F","folders":[],"files":[]})", "“library” is missing"},
        {R"({"library":"m","path":"F","folders":[]})", "“files” is missing"},
        {R"({"library":"m","path":"F","folders":[],"files":{}})", "“files” isn't a list"},
        {R"({"library":"m","path":"F","folders":[{"name":"x"}],"files":[]})", "“folders[0].path” is missing"},
        {R"({"library":"m","path":"F","folders":[],"files":[{"name":"a","path":"a","kind":"video","size":1}]})",
         "“files[0].convert” is missing"},
        {R"({"library":"m","path":"F","folders":[],"files":[{"name":"a","path":"a","kind":"video","size":"1","convert":true}]})",
         "“files[0].size” isn't a whole number"},
        {R"({"library":"m","path":"F","folders":[],"files":[{"name":"a","path":"a","kind":"video","size":1.5,"convert":true}]})",
         "“files[0].size” isn't a whole number"},
        {R"({"library":"m","path":"F","folders":[],"files":[{"name":"a","path":"a","kind":"video","size":1,"convert":1}]})",
         "“files[0].convert” isn't true or false"},
        {R"({"library":null,"path":"F","folders":[],"files":[]})", "“library” isn't a text"},
        {R"([])", "isn't a JSON object"},
        {R"(<html>)", "isn't JSON"},
        {"", "isn't JSON"},
        {R"({"library":"m"}, {"x":1})", "isn't JSON"},
    };
    for (const auto& c : cases) {
        const QString message = failure<Listing>(c.json);
        EXPECT_TRUE(message.startsWith(QStringLiteral("The server's answer couldn't be read because")))
            << c.json.toStdString() << " → " << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.names)))
            << c.json.toStdString() << " → " << message.toStdString();
    }
    EXPECT_EQ(std::get<MediaServerError>(decode<Listing>("{}")).kind, MediaServerError::Kind::decoding);
}

TEST(MediaServerRecordsTest, LibrariesAreAListOfCompleteRecords) {
    const auto decoded = decode<QList<Library>>(R"([{"id":"movies","name":"Movies","kind":"video"}])");
    ASSERT_TRUE(std::holds_alternative<QList<Library>>(decoded));
    EXPECT_EQ(
        std::get<QList<Library>>(decoded),
        (QList<Library>{{QStringLiteral("movies"), QStringLiteral("Movies"), QStringLiteral("video")}}));
    EXPECT_TRUE(failure<QList<Library>>(R"([{"id":"a","name":"A","kind":"video"},{"id":"b","name":"B"}])")
                    .contains(QStringLiteral("“[1].kind” is missing")));
    EXPECT_TRUE(failure<QList<Library>>(R"({"id":"a"})").contains(QStringLiteral("isn't a JSON list")));
}

TEST(MediaServerRecordsTest, StoredServersKeepTheirMemberOrderAndRoundTrip) {
    const QList<Server> servers{
        {QStringLiteral("S1"), QStringLiteral("Den \"PC\""), QStringLiteral("fe80::1"), 8642},
        {QStringLiteral("S2"), QStringLiteral("Büro"), QStringLiteral("10.0.0.2"), 9000}};
    const QByteArray stored = encodeServers(servers);
    EXPECT_TRUE(stored.startsWith(R"([{"id":"S1","name":"Den \"PC\"","host":"fe80::1","port":8642},)"))
        << stored.toStdString();
    const auto decoded = decode<QList<Server>>(stored);
    ASSERT_TRUE(std::holds_alternative<QList<Server>>(decoded));
    EXPECT_EQ(std::get<QList<Server>>(decoded), servers);
    EXPECT_EQ(encodeServers({}), QByteArray("[]"));
    EXPECT_FALSE(std::holds_alternative<QList<Server>>(
        decode<QList<Server>>(R"([{"id":"S1","name":"x","host":"h"}])")));
}

TEST(MediaServerRecordsTest, EqualRecordsHashAlike) {
    const File a{QStringLiteral("a"), QStringLiteral("p/a"), QStringLiteral("video"), 1, false};
    File b = a;
    EXPECT_EQ(qHash(a), qHash(b));
    b.convert = true;
    EXPECT_NE(a, b);
    EXPECT_EQ((QSet<File>{a, b, a}).size(), 2);
    EXPECT_EQ((QSet<Library>{{QStringLiteral("m"), QStringLiteral("M"), QStringLiteral("video")},
                             {QStringLiteral("m"), QStringLiteral("M"), QStringLiteral("video")}})
                  .size(),
              1);
}
