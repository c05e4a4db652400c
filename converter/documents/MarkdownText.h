#pragma once

#include <string>
#include <string_view>
#include <vector>

// Our Markdown reader for documents: inline syntax only, with every space and line break kept as
// written. Emphasis, strong emphasis, code spans, links, autolinks, entities and backslash escapes
// become styles or characters; block markup (heading marks, list markers, quote marks, fences)
// stays as plain text. Framework-free: bytes in (UTF-8; invalid bytes pass through untouched),
// styled runs out. Pure functions; any thread.
namespace MarkdownText {

struct Run {
    std::string text;
    bool emphasis = false; // italic
    bool strong = false;   // bold
    bool code = false;     // monospaced
    std::string link;      // destination, empty when the run is no link

    bool operator==(const Run& other) const = default;
};

// The text as runs; neighbouring runs always differ in style.
std::vector<Run> parse(std::string_view markdown);

// The characters of the runs, without any markup.
std::string plainText(const std::vector<Run>& runs);

} // namespace MarkdownText
