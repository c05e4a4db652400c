#include "app/Appcast.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>QuorvaneConverter</title>
    <item>
      <title>Version 1.1</title>
      <sparkle:version>12</sparkle:version>
      <sparkle:shortVersionString>1.1</sparkle:shortVersionString>
      <description><![CDATA[<ul><li>Faster</li></ul>]]></description>
      <enclosure url="https://quorvane.example/q-1.1.tar.gz" length="1234" type="application/octet-stream"
                 sparkle:edSignature="c2lnbmF0dXJl"/>
    </item>
    <item>
      <title>Version 1.2</title>
      <sparkle:releaseNotesLink>https://quorvane.example/notes/1.2.html</sparkle:releaseNotesLink>
      <enclosure url="https://quorvane.example/q-1.2.tar.gz" length="99" sparkle:version="34"
                 sparkle:shortVersionString="1.2" sparkle:edSignature="AAAA"/>
    </item>
    <item><title>No download</title><sparkle:version>99</sparkle:version></item>
  </channel>
</rss>)";

} // namespace

TEST(Appcast, ReadsItemsWithTheirVersionsAndDownloads) {
    const auto items = Appcast::parse(kFeed);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2) << "an item without a download is left out";
    EXPECT_EQ(items->at(0).version, QStringLiteral("12"));
    EXPECT_EQ(items->at(0).shortVersion, QStringLiteral("1.1"));
    EXPECT_EQ(items->at(0).notes, QStringLiteral("<ul><li>Faster</li></ul>"));
    EXPECT_EQ(items->at(0).download, QUrl(QStringLiteral("https://quorvane.example/q-1.1.tar.gz")));
    EXPECT_EQ(items->at(0).length, 1234);
    EXPECT_EQ(items->at(0).signature, QByteArray("c2lnbmF0dXJl"));
    // Versions given on the enclosure.
    EXPECT_EQ(items->at(1).version, QStringLiteral("34"));
    EXPECT_EQ(items->at(1).shortVersion, QStringLiteral("1.2"));
    EXPECT_EQ(items->at(1).notesLink, QUrl(QStringLiteral("https://quorvane.example/notes/1.2.html")));
}

TEST(Appcast, RejectsWhatIsNotAFeed) {
    for (const QByteArray& text : {QByteArray(), QByteArray("<html><body>Not found</body></html>"),
                                   QByteArray("<rss><channel><item>"), QByteArray("\x00\x01garbage", 9)})
        EXPECT_FALSE(Appcast::parse(text).has_value()) << text.toStdString();
    const auto empty = Appcast::parse("<rss version=\"2.0\"><channel/></rss>");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
}

TEST(Appcast, ComparesVersionsPartByPart) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"1.10", "1.9", 1},  {"2", "2.0", 0}, {"1.2.3", "1.2.4", -1}, {"34", "12", 1},
        {"1.0b2", "1.0", 0}, {"", "0", 0},    {"10", "9", 1},         {"99999999999999999999", "1", 1}};
    for (const auto& c : cases) {
        const int result = Appcast::compareVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b));
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(Appcast, NewerPicksTheHighestBuildAboveOurs) {
    const auto items = *Appcast::parse(kFeed);
    EXPECT_EQ(Appcast::newer(items, QStringLiteral("1"))->version, QStringLiteral("34"));
    EXPECT_EQ(Appcast::newer(items, QStringLiteral("20"))->version, QStringLiteral("34"));
    EXPECT_FALSE(Appcast::newer(items, QStringLiteral("34")).has_value());
    EXPECT_FALSE(Appcast::newer({}, QStringLiteral("1")).has_value());
}
