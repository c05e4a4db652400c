#include "converter/documents/FlatOdt.h"

#include <gtest/gtest.h>

namespace {

FlatOdt::Run run(const QString& text) {
    FlatOdt::Run r;
    r.text = text;
    return r;
}

QString body(const QByteArray& document) {
    const QString xml = QString::fromUtf8(document);
    const qsizetype start = xml.indexOf(QStringLiteral("<office:text>"));
    const qsizetype end = xml.indexOf(QStringLiteral("</office:text>"));
    return xml.mid(start + 13, end - start - 13).trimmed();
}

} // namespace

TEST(FlatOdt, KeepsEveryCharacterAndSpace) {
    const struct {
        const char* name;
        QString text;
        QString body;
    } cases[] = {
        {"plain", QStringLiteral("abc"), QStringLiteral("<text:p text:style-name=\"Body\">abc</text:p>")},
        {"spaces", QStringLiteral("a  b    c"),
         QStringLiteral("<text:p text:style-name=\"Body\">a <text:s/>b <text:s text:c=\"3\"/>c</text:p>")},
        {"tab", QStringLiteral("a\tb"),
         QStringLiteral("<text:p text:style-name=\"Body\">a<text:tab/>b</text:p>")},
        {"lines", QStringLiteral("a\n\nb\n"),
         QStringLiteral(
             "<text:p text:style-name=\"Body\">a</text:p>\n<text:p text:style-name=\"Body\"></text:p>\n"
             "<text:p text:style-name=\"Body\">b</text:p>")},
        {"escaping", QStringLiteral("<a & b>"),
         QStringLiteral("<text:p text:style-name=\"Body\">&lt;a &amp; b&gt;</text:p>")},
        {"characters XML cannot carry", QStringLiteral("a\u0001b\rc"),
         QStringLiteral("<text:p text:style-name=\"Body\">abc</text:p>")},
        {"empty", QString(), QStringLiteral("<text:p text:style-name=\"Body\"></text:p>")},
        {"beyond the basic plane", QStringLiteral("\U0001F600"),
         QStringLiteral("<text:p text:style-name=\"Body\">\U0001F600</text:p>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(body(FlatOdt::document({run(c.text)}, FlatOdt::Page(), QStringLiteral("Sans"), 12)),
                  c.body);
    }
}

TEST(FlatOdt, StylesLinksAndPage) {
    FlatOdt::Run bold = run(QStringLiteral("b"));
    bold.bold = true;
    FlatOdt::Run link = run(QStringLiteral("site"));
    link.link = QStringLiteral("https://x.org/?a=1&b=\"2\"");
    link.italic = true;
    link.size = 9;
    FlatOdt::Run code = run(QStringLiteral("c"));
    code.monospace = true;
    const FlatOdt::Page letter{612, 792, 54};
    const QString xml = QString::fromUtf8(
        FlatOdt::document({bold, link, code, bold}, letter, QStringLiteral("Noto <Sans>"), 12));
    EXPECT_TRUE(xml.contains(QStringLiteral("fo:page-width=\"612.00pt\" fo:page-height=\"792.00pt\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("fo:margin-left=\"54.00pt\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("svg:font-family=\"'Noto &lt;Sans&gt;'\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("fo:font-size=\"12.00pt\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("xlink:href=\"https://x.org/?a=1&amp;b=&quot;2&quot;\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("fo:font-weight=\"bold\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("fo:font-style=\"italic\" fo:font-size=\"9.00pt\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("style:font-name=\"Monospace\"/>")));
    // Two bold runs share one style.
    EXPECT_EQ(xml.count(QStringLiteral("fo:font-weight=\"bold\"")), 1);
}

TEST(FlatOdt, DefaultPaperComesFromTheLocale) {
    // The tests run in the C locale, whose paper is A4.
    const FlatOdt::Page page = FlatOdt::defaultPage();
    EXPECT_NEAR(page.width, 595.3, 0.5);
    EXPECT_NEAR(page.height, 841.9, 0.5);
    EXPECT_EQ(page.margin, 54);
}
