#include "media/server/StreamRequest.h"

#include <gtest/gtest.h>

using namespace StreamRequest;

namespace {

const std::string kSecret = "0f8fad5b-d9cb-469f-a165-70867728950e";

std::string request(const std::string& line, const std::string& headers = {}) {
    return line + "\r\n" + headers + "\r\n";
}

} // namespace

TEST(StreamRequestTest, refusals) {
    const struct {
        std::string bytes;
        std::optional<Refusal> refusal; // none: a request
    } rows[] = {
        {request("GET /" + kSecret + "/abc/index.m3u8 HTTP/1.1"), std::nullopt},
        {request("HEAD /" + kSecret + "/abc/seg00000.m4s HTTP/1.1"), std::nullopt},
        {request("GET  //" + kSecret + "//abc//init.mp4   HTTP/1.1"), std::nullopt},
        {request("POST /" + kSecret + "/abc/index.m3u8 HTTP/1.1"), Refusal::methodNotAllowed},
        {request("get /" + kSecret + "/abc/index.m3u8 HTTP/1.1"), Refusal::methodNotAllowed},
        {request("GET"), Refusal::methodNotAllowed},
        {request(""), Refusal::methodNotAllowed},
        {request("GET /wrong/abc/index.m3u8 HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + " HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/ HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc/../def HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/./abc HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/%2e%2e/x HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc%2F%2E%2E%2F..%2Fx HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc/%00x HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc/%zz HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc/%ff HTTP/1.1"), Refusal::notFound},
        {request("GET /" + kSecret + "/abc/% HTTP/1.1"), Refusal::notFound},
        {request("GET http://127.0.0.1/" + kSecret + "/abc HTTP/1.1"), Refusal::notFound},
        {request("GET /etc/passwd HTTP/1.1"), Refusal::notFound},
        {std::string("GET /\xff\xfe HTTP/1.1\r\n\r\n"), Refusal::close},
        {std::string("\xc0\xaf\r\n\r\n"), Refusal::close},
        {std::string(kMaxRequestBytes + 1, 'a'), Refusal::close},
    };
    for (const auto& row : rows) {
        const Parsed parsed = parse(row.bytes, kSecret);
        if (row.refusal) {
            ASSERT_TRUE(std::holds_alternative<Refusal>(parsed)) << row.bytes.substr(0, 80);
            EXPECT_EQ(std::get<Refusal>(parsed), *row.refusal) << row.bytes.substr(0, 80);
        } else {
            EXPECT_TRUE(std::holds_alternative<Request>(parsed)) << row.bytes.substr(0, 80);
        }
    }
}

TEST(StreamRequestTest, componentsAreDecodedAndMethodKept) {
    const Parsed parsed = parse(request("HEAD /" + kSecret + "/My%20Folder/caf%C3%A9.m4s HTTP/1.1"), kSecret);
    ASSERT_TRUE(std::holds_alternative<Request>(parsed));
    const Request& r = std::get<Request>(parsed);
    EXPECT_EQ(r.method, Method::head);
    EXPECT_EQ(r.components, (std::vector<std::string>{"My Folder", "café.m4s"}));
    EXPECT_FALSE(r.range);
    // No secret at all never matches.
    EXPECT_TRUE(std::holds_alternative<Refusal>(parse(request("GET //abc HTTP/1.1"), "")));
}

TEST(StreamRequestTest, rangesResolvedAgainstTheLength) {
    using Span = std::optional<std::pair<std::uint64_t, std::uint64_t>>;
    const struct {
        const char* header;
        std::uint64_t length;
        Span span;
    } rows[] = {
        {"Range: bytes=0-1", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 1}},
        {"range: bytes=500-", 1000, std::pair<std::uint64_t, std::uint64_t>{500, 999}},
        {"RANGE: bytes=0-99999", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 999}},
        {"Range: bytes=2000-", 1000, std::nullopt},
        {"Range: bytes=1000-", 1000, std::nullopt},
        {"Range: bytes=999-", 1000, std::pair<std::uint64_t, std::uint64_t>{999, 999}},
        {"Range: bytes=5-4", 1000, std::nullopt},
        {"Range: bytes=-500", 1000, std::pair<std::uint64_t, std::uint64_t>{500, 999}},
        {"Range: bytes=-5000", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 999}},
        {"Range: bytes=-0", 1000, std::nullopt},
        {"Range: bytes=-1", 1000, std::pair<std::uint64_t, std::uint64_t>{999, 999}},
        {"Range: bytes=0-1,5-9", 1000, std::nullopt},
        {"Range: bytes=x-9", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 9}},
        {"Range: bytes=3-y", 1000, std::pair<std::uint64_t, std::uint64_t>{3, 999}},
        {"Range: bytes=-", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 999}},
        {"Range: bytes=99999999999999999999-", 1000, std::pair<std::uint64_t, std::uint64_t>{0, 999}},
        {"Range: bytes=0-0", 0, std::nullopt},
        {"Range:bytes=0-1", 1000, std::nullopt},
        {"Range: items=0-1", 1000, std::nullopt},
        {"X-Range: bytes=0-1", 1000, std::nullopt},
    };
    for (const auto& row : rows) {
        const Parsed parsed =
            parse(request("GET /" + kSecret + "/a/b", std::string(row.header) + "\r\n"), kSecret);
        ASSERT_TRUE(std::holds_alternative<Request>(parsed)) << row.header;
        EXPECT_EQ(resolve(std::get<Request>(parsed).range, row.length), row.span) << row.header;
    }
}

TEST(StreamRequestTest, firstRangeLineWinsAndHeadCompleteness) {
    const Parsed parsed =
        parse(request("GET /" + kSecret + "/a/b", "Range: bytes=1-2\r\nRange: bytes=3-4\r\n"), kSecret);
    EXPECT_EQ(resolve(std::get<Request>(parsed).range, 10), (std::pair<std::uint64_t, std::uint64_t>{1, 2}));
    EXPECT_FALSE(complete("GET / HTTP/1.1\r\nHost: x\r\n"));
    EXPECT_TRUE(complete("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(complete("GET / HTTP/1.0\n\n"));
}

TEST(StreamRequestTest, utf8Validation) {
    const struct {
        std::string bytes;
        bool valid;
    } rows[] = {
        {"plain", true}, {"caf\xc3\xa9", true}, {"\xe2\x82\xac", true},         {"\xf0\x9f\x8e\xac", true},
        {"\xc3", false}, {"\xc0\x80", false},   {"\xed\xa0\x80", false},        {"\xf4\x90\x80\x80", false},
        {"\x80", false}, {"\xe2\x82", false},   {std::string("a\0b", 3), true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(validUtf8(row.bytes), row.valid);
}
