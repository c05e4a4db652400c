#include "converter/documents/MarkdownText.h"

#include <gtest/gtest.h>

using MdRun = MarkdownText::Run;

namespace {

MdRun styled(std::string text, bool emphasis, bool strong, bool code, std::string link = {}) {
    return MdRun{std::move(text), emphasis, strong, code, std::move(link)};
}
MdRun plain(std::string text) {
    return styled(std::move(text), false, false, false);
}
MdRun em(std::string text) {
    return styled(std::move(text), true, false, false);
}
MdRun strong(std::string text) {
    return styled(std::move(text), false, true, false);
}
MdRun both(std::string text) {
    return styled(std::move(text), true, true, false);
}
MdRun code(std::string text) {
    return styled(std::move(text), false, false, true);
}
MdRun linked(std::string text, std::string destination) {
    return styled(std::move(text), false, false, false, std::move(destination));
}

} // namespace

TEST(MarkdownText, InlineSyntax) {
    const struct {
        const char* name;
        const char* markdown;
        std::vector<MdRun> runs;
    } cases[] = {
        {"plain", "just text", {plain("just text")}},
        {"empty", "", {}},
        {"emphasis", "a *b* c", {plain("a "), em("b"), plain(" c")}},
        {"underscore emphasis", "a _b_ c", {plain("a "), em("b"), plain(" c")}},
        {"strong", "**b**", {strong("b")}},
        {"underscore strong", "__b__", {strong("b")}},
        {"both", "***b***", {both("b")}},
        {"nested", "*a **b** c*", {em("a "), both("b"), em(" c")}},
        {"intraword star", "un*frigging*believable", {plain("un"), em("frigging"), plain("believable")}},
        {"intraword underscore stays", "snake_case_name", {plain("snake_case_name")}},
        {"unmatched", "*a", {plain("*a")}},
        {"space after opener", "* a*", {plain("* a*")}},
        {"leftover delimiter", "**a*", {plain("*"), em("a")}},
        {"rule of three", "*a**b*", {em("a**b")}},
        {"code", "use `x*y*z` here", {plain("use "), code("x*y*z"), plain(" here")}},
        {"double backtick code", "``a ` b``", {code("a ` b")}},
        {"code padding", "` a `", {code("a")}},
        {"unmatched backticks", "``a`", {plain("``a`")}},
        {"link",
         "see [the site](https://example.org) now",
         {plain("see "), linked("the site", "https://example.org"), plain(" now")}},
        {"link with title", "[a](/x \"T\")", {linked("a", "/x")}},
        {"link with angle destination", "[a](<my file.md>)", {linked("a", "my file.md")}},
        {"link with parentheses", "[a](f(x))", {linked("a", "f(x)")}},
        {"styled link text", "[*a*](u)", {styled("a", true, false, false, "u")}},
        {"no link without parentheses", "[a] b", {plain("[a] b")}},
        {"unclosed destination", "[a](b", {plain("[a](b")}},
        {"links do not nest", "[a [b](x)](y)", {plain("[a "), linked("b", "x"), plain("](y)")}},
        {"image keeps its description", "![alt text](p.png)", {plain("alt text")}},
        {"autolink",
         "<https://example.org/a?b=c>",
         {linked("https://example.org/a?b=c", "https://example.org/a?b=c")}},
        {"email autolink", "<me@example.org>", {linked("me@example.org", "mailto:me@example.org")}},
        {"not an autolink", "<not a link>", {plain("<not a link>")}},
        {"escapes", "\\*not\\* \\[x\\] \\\\", {plain("*not* [x] \\")}},
        {"backslash before letter stays", "\\a", {plain("\\a")}},
        {"entities", "&amp; &lt; &#65; &#x42; &bogus; &", {plain("& < A B &bogus; &")}},
        {"invalid code point", "&#0;", {plain("\xEF\xBF\xBD")}},
        {"heading mark stays", "# Title", {plain("# Title")}},
        {"list marker stays", "- item\n* other", {plain("- item\n* other")}},
        {"quote mark stays", "> quoted", {plain("> quoted")}},
        {"white space kept", "a   b\n\n\tc  \nd", {plain("a   b\n\n\tc  \nd")}},
        {"emphasis across lines", "*a\nb*", {em("a\nb")}},
        {"hard break backslash", "a\\\nb", {plain("a\nb")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MarkdownText::parse(c.markdown), c.runs);
    }
}

TEST(MarkdownText, DocumentKeepsBlockMarkupAndLineBreaks) {
    const std::string markdown =
        "# Heading\n\n- one **two**\n1. three *four*\n> `five` [six](https://x.org)\n";
    const auto runs = MarkdownText::parse(markdown);
    EXPECT_EQ(MarkdownText::plainText(runs), "# Heading\n\n- one two\n1. three four\n> five six\n");
    const std::vector<MdRun> expected{plain("# Heading\n\n- one "),
                                      strong("two"),
                                      plain("\n1. three "),
                                      em("four"),
                                      plain("\n> "),
                                      code("five"),
                                      plain(" "),
                                      linked("six", "https://x.org"),
                                      plain("\n")};
    EXPECT_EQ(runs, expected);
}

TEST(MarkdownText, InvalidUtf8PassesThrough) {
    // Bytes outside ASCII count as letters, as in "a*b*".
    EXPECT_EQ(MarkdownText::parse("\xFF*\xFE*"), (std::vector<MdRun>{plain("\xFF"), em("\xFE")}));
    EXPECT_EQ(MarkdownText::plainText(MarkdownText::parse("\xC3 \x80\x80 `\xFF")), "\xC3 \x80\x80 `\xFF");
}

TEST(MarkdownText, PathologicalInputStaysFast) {
    // Quadratic behaviour would take minutes on these; linear parsing takes milliseconds.
    std::string nested, openers, backticks, brackets;
    for (int i = 0; i < 20000; ++i) {
        nested += "*a **b ";
        openers += "_a ";
        backticks += std::string(std::size_t(i % 50 + 1), '`') + "x";
        brackets += "[a";
    }
    for (const std::string& text : {nested, openers, backticks, brackets})
        EXPECT_EQ(MarkdownText::plainText(MarkdownText::parse(text)).empty(), text.empty());
}
