#include "converter/documents/DocumentProtocol.h"

#include <gtest/gtest.h>

using DocumentProtocol::Message;
using DocumentProtocol::Status;

namespace {

Message sample() {
    Message message{"convert", {}};
    message.set("input", "/tmp/a folder/with\nline feed:and,comma.docx")
        .set("format", "pdf")
        .set("empty", "");
    return message;
}

} // namespace

TEST(DocumentProtocol, RoundTripsAnyBytes) {
    Message message = sample();
    message.set("binary", std::string("\0\xff:,9", 5));
    const std::string bytes = DocumentProtocol::encode(message);
    const auto decoded = DocumentProtocol::decode(bytes);
    ASSERT_EQ(decoded.status, Status::complete);
    EXPECT_EQ(decoded.consumed, bytes.size());
    EXPECT_EQ(decoded.message, message);
    EXPECT_EQ(decoded.message.value("format"), "pdf");
    EXPECT_EQ(decoded.message.value("empty"), "");
    EXPECT_FALSE(decoded.message.value("missing").has_value());
}

TEST(DocumentProtocol, KnownEncoding) {
    EXPECT_EQ(DocumentProtocol::encode(Message{"ok", {{"id", "7"}}}), "14:2:ok,2:id,1:7,,");
}

TEST(DocumentProtocol, ReaderSplitsAndJoinsChunks) {
    const std::string stream =
        DocumentProtocol::encode(sample()) + DocumentProtocol::encode(Message{"quit", {}});
    DocumentProtocol::Reader reader;
    std::vector<Message> messages;
    // One byte at a time: every prefix is incomplete, never malformed.
    for (const char c : stream) {
        reader.append(std::string_view(&c, 1));
        while (auto message = reader.next())
            messages.push_back(*message);
        ASSERT_FALSE(reader.malformed());
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], sample());
    EXPECT_EQ(messages[1].kind, "quit");
}

TEST(DocumentProtocol, RefusesMalformedInput) {
    const struct {
        const char* name;
        std::string bytes;
        Status status;
    } cases[] = {
        {"empty", "", Status::incomplete},
        {"length only", "12", Status::incomplete},
        {"body missing", "5:2:ok", Status::incomplete},
        {"letter in length", "1x:", Status::malformed},
        {"no length", ":abc,", Status::malformed},
        {"leading zero", "05:2:ok,", Status::malformed},
        {"too long", "99999999:", Status::malformed},
        {"over the limit", std::to_string(DocumentProtocol::kMaxMessage + 1) + ":", Status::malformed},
        {"missing comma", "4:2:ok;", Status::malformed},
        {"empty body", "0:,", Status::malformed},
        {"empty kind", "3:0:,,", Status::malformed},
        {"key without value", "10:2:ok,2:id,,", Status::malformed},
        {"broken inner netstring", "6:2:okk,,", Status::malformed},
        {"inner length past body", "5:9:ok,,", Status::malformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DocumentProtocol::decode(c.bytes).status, c.status);
    }
}

TEST(DocumentProtocol, ReaderStopsAfterGarbage) {
    DocumentProtocol::Reader reader;
    reader.append("x:" + DocumentProtocol::encode(sample()));
    EXPECT_FALSE(reader.next().has_value());
    EXPECT_TRUE(reader.malformed());
    reader.append(DocumentProtocol::encode(sample()));
    EXPECT_FALSE(reader.next().has_value());
}
