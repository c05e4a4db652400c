#include "network/servers/NetworkServer.h"

#include <gtest/gtest.h>

namespace {

NetworkServer sample() {
    NetworkServer server;
    server.id = QStringLiteral("0E6D3B8A-3C1B-4F55-9B9C-2C1D9F0A7B11");
    server.name = QStringLiteral("Living room \"NAS\"");
    server.kind = NetworkServerKind::sftp;
    server.host = QStringLiteral("fe80::1");
    server.port = 2222;
    server.path = QStringLiteral("/srv/média\\films");
    server.user = QStringLiteral("alice");
    server.reconnect = true;
    return server;
}

TEST(NetworkServerTest, NewIdsAreFreshUpperCaseUuids) {
    const NetworkServer a;
    const NetworkServer b;
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.id, a.id.toUpper());
    EXPECT_EQ(a.id.size(), 36);
}

TEST(NetworkServerTest, WritesMembersInOrderAndLeavesOutAMissingPort) {
    NetworkServer noPort = sample();
    noPort.port.reset();
    noPort.kind = NetworkServerKind::smb;
    noPort.reconnect = false;
    EXPECT_EQ(
        NetworkServer::encodeList({sample(), noPort}),
        QByteArray("[{\"id\":\"0E6D3B8A-3C1B-4F55-9B9C-2C1D9F0A7B11\",\"name\":\"Living room \\\"NAS\\\"\","
                   "\"kind\":\"sftp\",\"host\":\"fe80::1\",\"port\":2222,\"path\":\"/srv/média\\\\films\","
                   "\"user\":\"alice\",\"reconnect\":true},"
                   "{\"id\":\"0E6D3B8A-3C1B-4F55-9B9C-2C1D9F0A7B11\",\"name\":\"Living room \\\"NAS\\\"\","
                   "\"kind\":\"smb\",\"host\":\"fe80::1\",\"path\":\"/srv/média\\\\films\","
                   "\"user\":\"alice\",\"reconnect\":false}]"));
    EXPECT_EQ(NetworkServer::encodeList({}), QByteArray("[]"));
}

TEST(NetworkServerTest, ListRoundTrips) {
    NetworkServer second = sample();
    second.id = NetworkServer::newId();
    second.port.reset();
    const QList<NetworkServer> list{sample(), second};
    const auto decoded = NetworkServer::decodeList(NetworkServer::encodeList(list));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, list);
}

TEST(NetworkServerTest, UnreadableListsGiveNone) {
    const QByteArray valid =
        R"({"id":"A","name":"n","kind":"smb","host":"h","port":1,"path":"","user":"","reconnect":false})";
    ASSERT_TRUE(NetworkServer::decodeList("[" + valid + "]").has_value());
    const char* cases[] = {
        "",
        "{}",
        "not json",
        "[1]",
        R"([{"id":"A","name":"n","kind":"gopher","host":"h","path":"","user":"","reconnect":false}])",
        R"([{"id":"A","name":"n","kind":"smb","host":"h","path":"","user":""}])",
        R"([{"id":"A","name":"n","kind":"smb","path":"","user":"","reconnect":false}])",
        R"([{"id":"A","name":"n","kind":"smb","host":"h","port":"22","path":"","user":"","reconnect":false}])",
        R"([{"id":"A","name":"n","kind":"smb","host":"h","port":2.5,"path":"","user":"","reconnect":false}])",
        R"([{"id":"A","name":"n","kind":"smb","host":"h","port":1e12,"path":"","user":"","reconnect":false}])",
        R"([{"id":"A","name":"n","kind":"smb","host":"h","path":"","user":"","reconnect":"yes"}])",
        R"([{"id":1,"name":"n","kind":"smb","host":"h","path":"","user":"","reconnect":false}])",
    };
    for (const char* json : cases)
        EXPECT_FALSE(NetworkServer::decodeList(QByteArray(json)).has_value()) << json;
    // One bad record makes the whole list unreadable.
    EXPECT_FALSE(NetworkServer::decodeList("[" + valid + ",{}]").has_value());
}

} // namespace
