#include "media/server/StreamRequest.h"

#include <algorithm>
#include <limits>

namespace StreamRequest {
namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator, bool keepEmpty) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        const std::string_view piece =
            text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from);
        if (keepEmpty || !piece.empty())
            pieces.push_back(piece);
        if (at == std::string_view::npos)
            break;
        from = at + separator.size();
    }
    return pieces;
}

// A decimal number made of digits only; none when empty, not a number or too large.
std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool validUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (!validUtf8(out))
        return std::nullopt;
    return out;
}

RangeSpec parseRange(std::string_view value) {
    RangeSpec spec;
    if (value.find(',') != std::string_view::npos) {
        spec.form = RangeSpec::Form::several;
        return spec;
    }
    const std::vector<std::string_view> pieces = split(value, "-", true);
    // "-N" is a suffix range when N is a number; "-" or "-x" keep the lenient span reading.
    if (pieces.size() == 2 && pieces[0].empty()) {
        if (const auto count = decimal(pieces[1])) {
            spec.form = RangeSpec::Form::suffix;
            spec.suffixLength = *count;
            return spec;
        }
    }
    spec.start = decimal(pieces[0]).value_or(0);
    if (pieces.size() >= 2)
        spec.end = decimal(pieces[1]);
    return spec;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> resolve(const std::optional<RangeSpec>& range,
                                                               std::uint64_t length) {
    if (!range || length == 0)
        return std::nullopt;
    switch (range->form) {
    case RangeSpec::Form::several:
        return std::nullopt;
    case RangeSpec::Form::suffix:
        // "bytes=-0" asks for nothing; it is served whole like any other unusable range.
        if (range->suffixLength == 0)
            return std::nullopt;
        return std::pair{length - std::min(range->suffixLength, length), length - 1};
    case RangeSpec::Form::span:
        break;
    }
    const std::uint64_t last = std::min(range->end.value_or(length - 1), length - 1);
    if (last >= range->start && range->start < length)
        return std::pair{range->start, last};
    return std::nullopt;
}

bool complete(std::string_view bytes) {
    return bytes.find("\r\n\r\n") != std::string_view::npos || bytes.find("\n\n") != std::string_view::npos;
}

Parsed parse(std::string_view bytes, std::string_view secret) {
    if (bytes.size() > kMaxRequestBytes || !validUtf8(bytes))
        return Refusal::close;
    const std::vector<std::string_view> lines = split(bytes, "\r\n", true);
    const std::vector<std::string_view> words = split(lines.front(), " ", false);
    if (words.size() < 2 || (words[0] != "GET" && words[0] != "HEAD"))
        return Refusal::methodNotAllowed;

    Request request;
    request.method = words[0] == "GET" ? Method::get : Method::head;
    const std::string target = percentDecode(words[1]).value_or(std::string());
    const std::vector<std::string_view> components = split(target, "/", false);
    if (components.size() < 2 || components.front() != secret || secret.empty())
        return Refusal::notFound;
    for (std::size_t i = 1; i < components.size(); ++i) {
        const std::string_view component = components[i];
        if (component == "." || component == ".." || component.find('\0') != std::string_view::npos)
            return Refusal::notFound;
        request.components.emplace_back(component);
    }

    static constexpr std::string_view kRange = "range: bytes=";
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (startsWithNoCase(lines[i], kRange)) {
            request.range = parseRange(lines[i].substr(kRange.size()));
            break;
        }
    }
    return request;
}

} // namespace StreamRequest
