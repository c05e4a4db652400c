#include "converter/documents/MarkdownText.h"

#include <array>
#include <cstdint>
#include <utility>

// Inline parsing after the CommonMark reference algorithm: the text becomes a list of nodes
// (plain text, code spans, delimiter runs of * and _, link openers); emphasis is matched on a
// delimiter stack and recorded as node ranges, links as ranges with a destination. Styles are
// applied in one sweep at the end, so nesting never costs more than one pass.
namespace MarkdownText {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isPunct(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x21 && u <= 0x2F) || (u >= 0x3A && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
           (u >= 0x7B && u <= 0x7E);
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isAlnum(char c) {
    return isAlpha(c) || isDigit(c);
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

struct NamedEntity {
    std::string_view name;
    std::uint32_t codePoint;
};

// The entities people actually type; others stay as written.
constexpr std::array<NamedEntity, 22> kEntities{{
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"euro", 0x20AC},  {"deg", 0xB0},     {"times", 0xD7},   {"middot", 0xB7},
    {"sect", 0xA7},    {"para", 0xB6},
}};

// The entity at `s[pos]` ('&'): its characters and length, or length 0.
std::pair<std::string, std::size_t> entityAt(std::string_view s, std::size_t pos) {
    std::size_t i = pos + 1;
    std::string out;
    if (i < s.size() && s[i] == '#') {
        ++i;
        const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
        if (hex)
            ++i;
        const std::size_t digitsStart = i;
        std::uint32_t value = 0;
        while (i < s.size() && i - digitsStart < (hex ? 6u : 7u) &&
               (hex ? (isDigit(s[i]) || (s[i] >= 'a' && s[i] <= 'f') || (s[i] >= 'A' && s[i] <= 'F'))
                    : isDigit(s[i]))) {
            const char c = s[i];
            const std::uint32_t digit =
                isDigit(c) ? std::uint32_t(c - '0') : std::uint32_t((c | 0x20) - 'a' + 10);
            value = value * (hex ? 16 : 10) + digit;
            ++i;
        }
        if (i == digitsStart || i >= s.size() || s[i] != ';')
            return {{}, 0};
        appendUtf8(out, value);
        return {out, i + 1 - pos};
    }
    const std::size_t nameStart = i;
    while (i < s.size() && i - nameStart < 32 && isAlnum(s[i]))
        ++i;
    if (i == nameStart || i >= s.size() || s[i] != ';')
        return {{}, 0};
    const std::string_view name = s.substr(nameStart, i - nameStart);
    for (const NamedEntity& entity : kEntities) {
        if (entity.name == name) {
            appendUtf8(out, entity.codePoint);
            return {out, i + 1 - pos};
        }
    }
    return {{}, 0};
}

// Backslash escapes and entities inside a link destination.
std::string unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && isPunct(s[i + 1])) {
            out += s[++i];
        } else if (s[i] == '&') {
            auto [text, length] = entityAt(s, i);
            if (length == 0) {
                out += '&';
            } else {
                out += text;
                i += length - 1;
            }
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Link {
    std::string destination;
    std::size_t end = 0; // index after the closing parenthesis
};

// An inline link's "(destination "title")" starting at `s[pos]` == '('.
bool parseInlineLink(std::string_view s, std::size_t pos, Link& link) {
    const std::size_t n = s.size();
    std::size_t i = pos + 1;
    auto skipSpace = [&] {
        const std::size_t start = i;
        int lineEnds = 0;
        while (i < n && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) {
            if (s[i] == '\n' && ++lineEnds > 1)
                break;
            ++i;
        }
        return i > start;
    };
    skipSpace();
    if (i < n && s[i] == '<') {
        std::size_t j = i + 1;
        while (j < n && s[j] != '>' && s[j] != '\n' && s[j] != '<')
            j += (s[j] == '\\' && j + 1 < n) ? 2 : 1;
        if (j >= n || s[j] != '>')
            return false;
        link.destination = unescape(s.substr(i + 1, j - i - 1));
        i = j + 1;
    } else {
        std::size_t j = i;
        int depth = 0;
        while (j < n) {
            const char c = s[j];
            if (c == '\\' && j + 1 < n && isPunct(s[j + 1])) {
                j += 2;
                continue;
            }
            if (c == '(') {
                if (++depth > 32)
                    return false;
            } else if (c == ')') {
                if (depth == 0)
                    break;
                --depth;
            } else if (static_cast<unsigned char>(c) <= ' ') {
                break;
            }
            ++j;
        }
        if (depth != 0)
            return false;
        link.destination = unescape(s.substr(i, j - i));
        i = j;
    }
    const bool spaced = skipSpace();
    if (spaced && i < n && (s[i] == '"' || s[i] == '\'' || s[i] == '(')) {
        const char close = s[i] == '(' ? ')' : s[i];
        std::size_t j = i + 1;
        while (j < n && s[j] != close) {
            if (close == ')' && s[j] == '(')
                return false;
            j += (s[j] == '\\' && j + 1 < n) ? 2 : 1;
        }
        if (j >= n)
            return false;
        i = j + 1;
        skipSpace();
    }
    if (i >= n || s[i] != ')')
        return false;
    link.end = i + 1;
    return true;
}

bool isAutolinkUri(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (isAlnum(s[i]) || s[i] == '+' || s[i] == '.' || s[i] == '-'))
        ++i;
    return i >= 2 && i <= 32 && isAlpha(s[0]) && i < s.size() && s[i] == ':';
}

bool isAutolinkEmail(std::string_view s) {
    const std::size_t at = s.find('@');
    if (at == 0 || at == std::string_view::npos)
        return false;
    constexpr std::string_view localExtra = ".!#$%&'*+/=?^_`{|}~-";
    for (std::size_t i = 0; i < at; ++i) {
        if (!isAlnum(s[i]) && localExtra.find(s[i]) == std::string_view::npos)
            return false;
    }
    std::string_view domain = s.substr(at + 1);
    if (domain.empty())
        return false;
    std::size_t labelStart = 0;
    for (std::size_t i = 0; i <= domain.size(); ++i) {
        if (i == domain.size() || domain[i] == '.') {
            const std::size_t length = i - labelStart;
            if (length == 0 || length > 63 || domain[labelStart] == '-' || domain[i - 1] == '-')
                return false;
            labelStart = i + 1;
        } else if (!isAlnum(domain[i]) && domain[i] != '-') {
            return false;
        }
    }
    return true;
}

enum class NodeType { text, code, delimiter, bracket };

struct Node {
    NodeType type = NodeType::text;
    std::string text;
    // Delimiter runs.
    char delimiter = 0;
    int count = 0;
    int originalCount = 0;
    bool canOpen = false;
    bool canClose = false;
    // Link openers.
    bool active = true;
    bool image = false;
};

struct Range {
    std::size_t begin; // first node inside
    std::size_t end;   // node after the last one inside
    int kind;          // 1 emphasis, 2 strong
};

class Parser {
public:
    explicit Parser(std::string_view s)
        : m_s(s) {}

    std::vector<Run> run() {
        parseInlines();
        processEmphasis(kNone);
        return flatten();
    }

private:
    static constexpr std::size_t kNone = std::size_t(-1);

    std::string_view m_s;
    std::vector<Node> m_nodes;
    // The delimiter stack: a doubly linked list over node indices, oldest first.
    std::vector<std::size_t> m_previous;
    std::vector<std::size_t> m_next;
    std::size_t m_top = kNone;
    std::vector<std::size_t> m_brackets;
    std::vector<Range> m_ranges;
    std::vector<std::pair<Range, std::string>> m_links;
    // Backtick run lengths known to have no closing run further on.
    std::vector<bool> m_noCloser;

    std::size_t addNode(Node node) {
        m_nodes.push_back(std::move(node));
        m_previous.push_back(kNone);
        m_next.push_back(kNone);
        return m_nodes.size() - 1;
    }

    void addText(std::string_view text) {
        if (text.empty())
            return;
        if (!m_nodes.empty() && m_nodes.back().type == NodeType::text)
            m_nodes.back().text.append(text);
        else
            addNode({NodeType::text, std::string(text)});
    }

    void pushDelimiter(std::size_t node) {
        m_previous[node] = m_top;
        if (m_top != kNone)
            m_next[m_top] = node;
        m_next[node] = kNone;
        m_top = node;
    }

    void removeDelimiter(std::size_t node) {
        const std::size_t previous = m_previous[node];
        const std::size_t next = m_next[node];
        if (previous != kNone)
            m_next[previous] = next;
        if (next != kNone)
            m_previous[next] = previous;
        else
            m_top = previous;
        m_previous[node] = m_next[node] = kNone;
    }

    void parseInlines() {
        const std::size_t n = m_s.size();
        std::size_t textStart = 0;
        std::size_t i = 0;
        auto flushText = [&](std::size_t upTo) { addText(m_s.substr(textStart, upTo - textStart)); };
        while (i < n) {
            const char c = m_s[i];
            std::size_t consumed = 0;
            switch (c) {
            case '\\':
                if (i + 1 < n && (isPunct(m_s[i + 1]) || m_s[i + 1] == '\n')) {
                    flushText(i);
                    addText(m_s.substr(i + 1, 1));
                    consumed = 2;
                }
                break;
            case '`':
                consumed = codeSpan(i, flushText);
                break;
            case '*':
            case '_':
                flushText(i);
                consumed = delimiterRun(i);
                break;
            case '!':
                if (i + 1 < n && m_s[i + 1] == '[') {
                    flushText(i);
                    Node node{NodeType::bracket, "!["};
                    node.image = true;
                    m_brackets.push_back(addNode(std::move(node)));
                    consumed = 2;
                }
                break;
            case '[':
                flushText(i);
                m_brackets.push_back(addNode({NodeType::bracket, "["}));
                consumed = 1;
                break;
            case ']':
                flushText(i);
                consumed = closeBracket(i);
                break;
            case '<':
                consumed = autolink(i, flushText);
                break;
            case '&': {
                auto [text, length] = entityAt(m_s, i);
                if (length > 0) {
                    flushText(i);
                    addText(text);
                    consumed = length;
                }
                break;
            }
            default:
                break;
            }
            if (consumed == 0) {
                ++i;
            } else {
                i += consumed;
                textStart = i;
            }
        }
        flushText(n);
    }

    template <typename Flush> std::size_t codeSpan(std::size_t pos, Flush& flushText) {
        const std::size_t n = m_s.size();
        std::size_t length = 0;
        while (pos + length < n && m_s[pos + length] == '`')
            ++length;
        if (length < m_noCloser.size() && m_noCloser[length]) {
            flushText(pos);
            addText(m_s.substr(pos, length));
            return length;
        }
        std::size_t j = pos + length;
        while (j < n) {
            if (m_s[j] != '`') {
                ++j;
                continue;
            }
            std::size_t run = 0;
            while (j + run < n && m_s[j + run] == '`')
                ++run;
            if (run == length) {
                std::string_view content = m_s.substr(pos + length, j - pos - length);
                // One space on each side is padding, unless the span is all spaces.
                if (content.size() >= 2 && content.front() == ' ' && content.back() == ' ' &&
                    content.find_first_not_of(' ') != std::string_view::npos)
                    content = content.substr(1, content.size() - 2);
                flushText(pos);
                addNode({NodeType::code, std::string(content)});
                return j + run - pos;
            }
            j += run;
        }
        if (m_noCloser.size() <= length)
            m_noCloser.resize(length + 1, false);
        m_noCloser[length] = true;
        flushText(pos);
        addText(m_s.substr(pos, length));
        return length;
    }

    std::size_t delimiterRun(std::size_t pos) {
        const std::size_t n = m_s.size();
        const char c = m_s[pos];
        std::size_t length = 0;
        while (pos + length < n && m_s[pos + length] == c)
            ++length;
        // Characters outside ASCII count as letters; the start and end of the text as white space.
        const char before = pos > 0 ? m_s[pos - 1] : '\n';
        const char after = pos + length < n ? m_s[pos + length] : '\n';
        const bool spaceBefore = isSpace(before), spaceAfter = isSpace(after);
        const bool punctBefore = isPunct(before), punctAfter = isPunct(after);
        const bool left = !spaceAfter && (!punctAfter || spaceBefore || punctBefore);
        const bool right = !spaceBefore && (!punctBefore || spaceAfter || punctAfter);
        Node node;
        node.type = NodeType::delimiter;
        node.delimiter = c;
        node.count = node.originalCount = int(std::min<std::size_t>(length, 1 << 20));
        if (c == '*') {
            node.canOpen = left;
            node.canClose = right;
        } else {
            node.canOpen = left && (!right || punctBefore);
            node.canClose = right && (!left || punctAfter);
        }
        if (length > std::size_t(node.count)) {
            // Absurdly long runs: the excess is plain text and never matches.
            addText(m_s.substr(pos, length - std::size_t(node.count)));
        }
        pushDelimiter(addNode(std::move(node)));
        return length;
    }

    std::size_t closeBracket(std::size_t pos) {
        if (m_brackets.empty()) {
            addText("]");
            return 1;
        }
        const std::size_t opener = m_brackets.back();
        Link link;
        if (!m_nodes[opener].active || pos + 1 >= m_s.size() || m_s[pos + 1] != '(' ||
            !parseInlineLink(m_s, pos + 1, link)) {
            m_brackets.pop_back();
            addText("]");
            return 1;
        }
        processEmphasis(opener);
        const bool image = m_nodes[opener].image;
        m_nodes[opener].text.clear();
        m_brackets.pop_back();
        // A picture keeps only its description; links never contain other links.
        if (!image) {
            m_links.push_back({{opener + 1, m_nodes.size(), 0}, link.destination});
            for (std::size_t earlier : m_brackets) {
                if (!m_nodes[earlier].image)
                    m_nodes[earlier].active = false;
            }
        }
        // A fresh text node so that the text after the link does not join it.
        addNode({NodeType::text, {}});
        return link.end - pos;
    }

    template <typename Flush> std::size_t autolink(std::size_t pos, Flush& flushText) {
        const std::size_t n = m_s.size();
        std::size_t j = pos + 1;
        while (j < n && m_s[j] != '>' && m_s[j] != '<' && static_cast<unsigned char>(m_s[j]) > ' ')
            ++j;
        if (j >= n || m_s[j] != '>')
            return 0;
        const std::string_view content = m_s.substr(pos + 1, j - pos - 1);
        std::string destination;
        if (isAutolinkUri(content))
            destination = std::string(content);
        else if (isAutolinkEmail(content))
            destination = "mailto:" + std::string(content);
        else
            return 0;
        flushText(pos);
        const std::size_t node = addNode({NodeType::text, std::string(content)});
        // A fresh text node so that neighbouring text does not join the link.
        m_links.push_back({{node, node + 1, 0}, destination});
        addNode({NodeType::text, {}});
        return j + 1 - pos;
    }

    // Matches emphasis among the delimiters above node `bottom` (kNone: all), then removes them.
    void processEmphasis(std::size_t bottom) {
        auto above = [&](std::size_t node, std::size_t limit) { return limit == kNone || node > limit; };
        // Lowest opener worth looking at, per delimiter, closer length mod 3 and closer-can-open.
        std::array<std::size_t, 12> openersBottom;
        openersBottom.fill(bottom);
        auto slot = [](const Node& closer) {
            return (closer.delimiter == '*' ? 0 : 6) + (closer.originalCount % 3) * 2 +
                   (closer.canOpen ? 1 : 0);
        };

        // The first delimiter above the bottom.
        std::size_t closer = m_top;
        while (closer != kNone && m_previous[closer] != kNone && above(m_previous[closer], bottom))
            closer = m_previous[closer];
        if (closer != kNone && !above(closer, bottom))
            closer = kNone;

        while (closer != kNone) {
            Node& close = m_nodes[closer];
            if (!close.canClose) {
                closer = m_next[closer];
                continue;
            }
            const std::size_t limit = openersBottom[std::size_t(slot(close))];
            std::size_t opener = m_previous[closer];
            bool found = false;
            while (opener != kNone && above(opener, bottom) && above(opener, limit)) {
                const Node& open = m_nodes[opener];
                if (open.delimiter == close.delimiter && open.canOpen) {
                    const bool oddMatch = (open.canClose || close.canOpen) &&
                                          (open.originalCount + close.originalCount) % 3 == 0 &&
                                          !(open.originalCount % 3 == 0 && close.originalCount % 3 == 0);
                    if (!oddMatch) {
                        found = true;
                        break;
                    }
                }
                opener = m_previous[opener];
            }
            if (!found) {
                openersBottom[std::size_t(slot(close))] = m_previous[closer];
                const std::size_t next = m_next[closer];
                if (!close.canOpen)
                    removeDelimiter(closer);
                closer = next;
                continue;
            }
            Node& open = m_nodes[opener];
            const int used = (open.count >= 2 && close.count >= 2) ? 2 : 1;
            open.count -= used;
            close.count -= used;
            m_ranges.push_back({opener + 1, closer, used});
            // Delimiters between the pair can no longer match anything.
            while (m_next[opener] != closer)
                removeDelimiter(m_next[opener]);
            if (open.count == 0)
                removeDelimiter(opener);
            if (close.count == 0) {
                const std::size_t next = m_next[closer];
                removeDelimiter(closer);
                closer = next;
            }
        }
        while (m_top != kNone && above(m_top, bottom))
            removeDelimiter(m_top);
    }

    std::vector<Run> flatten() {
        const std::size_t count = m_nodes.size();
        std::vector<int> emphasis(count + 1, 0), strong(count + 1, 0);
        for (const Range& range : m_ranges) {
            std::vector<int>& delta = range.kind == 2 ? strong : emphasis;
            delta[range.begin] += 1;
            delta[range.end] -= 1;
        }
        std::vector<const std::string*> links(count, nullptr);
        for (const auto& [range, destination] : m_links) {
            for (std::size_t k = range.begin; k < range.end; ++k)
                links[k] = &destination;
        }
        std::vector<Run> runs;
        int emphasisDepth = 0, strongDepth = 0;
        for (std::size_t k = 0; k < count; ++k) {
            emphasisDepth += emphasis[k];
            strongDepth += strong[k];
            const Node& node = m_nodes[k];
            std::string text = node.type == NodeType::delimiter
                                   ? std::string(std::size_t(node.count), node.delimiter)
                                   : node.text;
            if (text.empty())
                continue;
            Run run{std::move(text), emphasisDepth > 0, strongDepth > 0, node.type == NodeType::code,
                    links[k] ? *links[k] : std::string()};
            if (!runs.empty() && runs.back().emphasis == run.emphasis && runs.back().strong == run.strong &&
                runs.back().code == run.code && runs.back().link == run.link) {
                runs.back().text += run.text;
            } else {
                runs.push_back(std::move(run));
            }
        }
        return runs;
    }
};

} // namespace

std::vector<Run> parse(std::string_view markdown) {
    return Parser(markdown).run();
}

std::string plainText(const std::vector<Run>& runs) {
    std::string text;
    for (const Run& run : runs)
        text += run.text;
    return text;
}

} // namespace MarkdownText
