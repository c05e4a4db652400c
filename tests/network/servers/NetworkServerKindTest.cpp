#include "network/servers/NetworkServerKind.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkServerKindTest, ConstantsInDeclarationOrder) {
    const struct {
        const char* id;
        const char* title;
        const char* shortName;
        const char* scheme;
        int port;
        const char* bonjour;
        const char* symbol;
        bool mountable;
    } expected[] = {
        {"smb", "Windows / SMB share", "SMB", "smb", 445, "_smb._tcp", "pc", true},
        {"afp", "Mac AFP share (older Macs, Time Capsule)", "AFP", "afp", 548, "_afpovertcp._tcp",
         "desktopcomputer", true},
        {"nfs", "NFS (Linux / NAS)", "NFS", "nfs", 2049, "_nfs._tcp", "externaldrive.connected.to.line.below",
         true},
        {"webdav", "WebDAV (http)", "WebDAV", "http", 80, "_webdav._tcp", "globe", true},
        {"webdavs", "WebDAV (https, secure)", "WebDAV (secure)", "https", 443, "_webdavs._tcp", "globe",
         true},
        {"ftp", "FTP (read-only)", "FTP", "ftp", 21, "_ftp._tcp", "arrow.up.arrow.down.square", true},
        {"sftp", "SFTP (SSH)", "SFTP", "sftp", 22, "_sftp-ssh._tcp", "lock.rectangle.stack", false},
    };
    const QList<NetworkServerKind> kinds = NetworkServerKind::allCases();
    ASSERT_EQ(kinds.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        const auto& e = expected[i];
        const NetworkServerKind kind = kinds.at(i);
        EXPECT_EQ(kind.id(), QLatin1String(e.id));
        EXPECT_EQ(kind.title(), QLatin1String(e.title));
        EXPECT_EQ(kind.shortName(), QLatin1String(e.shortName));
        EXPECT_EQ(kind.scheme(), QLatin1String(e.scheme));
        EXPECT_EQ(kind.defaultPort(), e.port);
        EXPECT_EQ(kind.bonjour(), QLatin1String(e.bonjour));
        EXPECT_EQ(kind.symbol(), QLatin1String(e.symbol));
        EXPECT_EQ(kind.mountable(), e.mountable);
        EXPECT_EQ(NetworkServerKind::fromId(kind.id()), kind);
    }
}

TEST(NetworkServerKindTest, UnknownRawValuesGiveNone) {
    for (const char* id : {"", "SMB", "cifs", "http", "ssh", "smb ", "gopher"})
        EXPECT_FALSE(NetworkServerKind::fromId(QLatin1String(id)).has_value()) << id;
}

TEST(NetworkServerKindTest, Hints) {
    const QString share = QStringLiteral("Share name, e.g. Media or Quorvane (optionally Media/Movies)");
    const QString folder = QStringLiteral("Folder to start in (optional)");
    const QString dav = QStringLiteral("Path on the server, e.g. /remote.php/dav/files/me");
    const QString guest = QStringLiteral("Blank = guest / anonymous");
    const QString keyring = QStringLiteral("Saved in your keyring");
    const struct {
        NetworkServerKind kind;
        QString path, user, password;
    } cases[] = {
        {NetworkServerKind::smb, share, QStringLiteral("The PC's Windows account (blank = guest)"), keyring},
        {NetworkServerKind::afp, share, guest, keyring},
        {NetworkServerKind::nfs, QStringLiteral("Export path, e.g. /volume1/media"), guest, keyring},
        {NetworkServerKind::webdav, dav, guest, keyring},
        {NetworkServerKind::webdavs, dav, guest, keyring},
        {NetworkServerKind::ftp, folder, guest, keyring},
        {NetworkServerKind::sftp, folder, guest, QStringLiteral("Blank = use your SSH key")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kind.pathHint(), c.path) << c.kind.id().toStdString();
        EXPECT_EQ(c.kind.userHint(), c.user) << c.kind.id().toStdString();
        EXPECT_EQ(c.kind.passwordHint(), c.password) << c.kind.id().toStdString();
    }
    EXPECT_EQ(NetworkServerKind::addressHint(),
              QStringLiteral("192.168.1.20, nas.local, or paste smb://… or \\\\PC\\Share"));
}

} // namespace
