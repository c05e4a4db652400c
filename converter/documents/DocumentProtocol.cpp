#include "converter/documents/DocumentProtocol.h"

namespace DocumentProtocol {

namespace {

void appendNetstring(std::string& out, std::string_view bytes) {
    out += std::to_string(bytes.size());
    out += ':';
    out.append(bytes);
    out += ',';
}

struct Netstring {
    Status status = Status::incomplete;
    std::string_view payload;
    std::size_t consumed = 0;
};

Netstring only(Status status) {
    Netstring result;
    result.status = status;
    return result;
}

Decoded failure(Status status) {
    Decoded result;
    result.status = status;
    return result;
}

Netstring readNetstring(std::string_view bytes, std::size_t limit) {
    std::size_t length = 0;
    std::size_t i = 0;
    for (; i < bytes.size() && bytes[i] != ':'; ++i) {
        const char c = bytes[i];
        // At most 7 digits keeps the length far from overflow; a leading zero only for "0".
        if (c < '0' || c > '9' || i >= 7 || (i == 1 && bytes[0] == '0'))
            return only(Status::malformed);
        length = length * 10 + std::size_t(c - '0');
    }
    if (i == bytes.size())
        return only(Status::incomplete);
    if (i == 0 || length > limit)
        return only(Status::malformed);
    const std::size_t start = i + 1;
    if (bytes.size() - start < length + 1)
        return only(Status::incomplete);
    if (bytes[start + length] != ',')
        return only(Status::malformed);
    return {Status::complete, bytes.substr(start, length), start + length + 1};
}

} // namespace

std::optional<std::string> Message::value(std::string_view key) const {
    for (const auto& [name, value] : fields) {
        if (name == key)
            return value;
    }
    return std::nullopt;
}

Message& Message::set(std::string key, std::string value) {
    fields.emplace_back(std::move(key), std::move(value));
    return *this;
}

std::string encode(const Message& message) {
    std::string body;
    appendNetstring(body, message.kind);
    for (const auto& [key, value] : message.fields) {
        appendNetstring(body, key);
        appendNetstring(body, value);
    }
    std::string out;
    appendNetstring(out, body);
    return out;
}

Decoded decode(std::string_view bytes) {
    const Netstring outer = readNetstring(bytes, kMaxMessage);
    if (outer.status != Status::complete)
        return failure(outer.status);

    Decoded decoded;
    std::string_view body = outer.payload;
    std::vector<std::string_view> parts;
    while (!body.empty()) {
        const Netstring part = readNetstring(body, body.size());
        // Inside a complete message an unfinished part is as broken as a bad one.
        if (part.status != Status::complete)
            return failure(Status::malformed);
        parts.push_back(part.payload);
        body.remove_prefix(part.consumed);
    }
    if (parts.empty() || parts.size() % 2 == 0 || parts.front().empty())
        return failure(Status::malformed);
    decoded.message.kind = std::string(parts.front());
    for (std::size_t i = 1; i + 1 < parts.size(); i += 2)
        decoded.message.fields.emplace_back(std::string(parts[i]), std::string(parts[i + 1]));
    decoded.status = Status::complete;
    decoded.consumed = outer.consumed;
    return decoded;
}

std::optional<Message> Reader::next() {
    if (m_malformed)
        return std::nullopt;
    Decoded decoded = decode(m_buffer);
    if (decoded.status == Status::malformed) {
        m_malformed = true;
        m_buffer.clear();
        return std::nullopt;
    }
    if (decoded.status == Status::incomplete)
        return std::nullopt;
    m_buffer.erase(0, decoded.consumed);
    return std::move(decoded.message);
}

} // namespace DocumentProtocol
