#include "network/sftp/SFTPClient.h"

#include <gtest/gtest.h>

namespace {

TEST(SFTPTextTest, SafeAndSafeTarget) {
    const struct {
        QString text;
        bool safe;
        bool safeTarget;
    } cases[] = {
        {QString(), true, true},
        {QStringLiteral("nas.local"), true, true},
        {QStringLiteral("fe80::1"), true, true},
        {QStringLiteral("jürgen"), true, true},
        {QStringLiteral("a-b"), true, true},
        {QStringLiteral("-oProxyCommand=x"), true, false},
        {QStringLiteral("My Movies"), true, false},
        {QStringLiteral("a\tb"), false, false},
        {QStringLiteral("a\nb"), false, false},
        {QStringLiteral("a\rb"), false, false},
        {QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b"), false, false},
        {QStringLiteral("a\u007Fb"), false, false},
        {QStringLiteral("a\u0085b"), false, false},   // next line, Cc
        {QStringLiteral("a\u200Bb"), false, false},   // zero width space, Cf
        {QStringLiteral("a\u202Eb"), false, false},   // right-to-left override, Cf
        {QStringLiteral("a\u00A0b"), true, false},    // no-break space, Zs
        {QStringLiteral("a\u3000b"), true, false},    // ideographic space, Zs
        {QStringLiteral("\U0001F600"), true, true},   // a surrogate pair is one scalar
        {QString(QChar(0xD800)), false, false},       // an unpaired surrogate
        {QStringLiteral("\U000E0001"), false, false}, // language tag, Cf outside the BMP
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SFTPClient::isSafe(c.text), c.safe) << c.text.toStdString();
        EXPECT_EQ(SFTPClient::isSafeTarget(c.text), c.safeTarget) << c.text.toStdString();
    }
}

TEST(SFTPTextTest, Quote) {
    const struct {
        const char* text;
        const char* quoted;
    } cases[] = {
        {"", R"("")"},           {"My Movies", R"("My Movies")"}, {R"(say "hi")", R"("say \"hi\"")"},
        {R"(a\b)", R"("a\\b")"}, {R"(\")", R"("\\\"")"},          {"it's", R"("it's")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SFTPClient::quote(QString::fromUtf8(c.text)), QString::fromUtf8(c.quoted)) << c.text;
}

TEST(SFTPTextTest, Join) {
    const struct {
        const char* folder;
        const char* name;
        const char* joined;
    } cases[] = {
        {"", "a", "a"},           {".", "a", "a"},         {"/", "a", "/a"},
        {"/srv/", "a", "/srv/a"}, {"/srv", "a", "/srv/a"}, {"media", "b c", "media/b c"},
        {"./x", "a", "./x/a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SFTPClient::join(QString::fromUtf8(c.folder), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.joined));
}

} // namespace
