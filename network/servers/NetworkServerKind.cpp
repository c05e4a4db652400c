#include "network/servers/NetworkServerKind.h"

namespace {

struct KindInfo {
    const char* id;
    const char* title;
    const char* shortName;
    const char* scheme;
    int defaultPort;
    const char* bonjour;
    const char* symbol;
};

// Indexed by NetworkServerKind::Value.
constexpr KindInfo kKinds[] = {
    {"smb", "Windows / SMB share", "SMB", "smb", 445, "_smb._tcp", "pc"},
    {"afp", "Mac AFP share (older Macs, Time Capsule)", "AFP", "afp", 548, "_afpovertcp._tcp",
     "desktopcomputer"},
    {"nfs", "NFS (Linux / NAS)", "NFS", "nfs", 2049, "_nfs._tcp", "externaldrive.connected.to.line.below"},
    {"webdav", "WebDAV (http)", "WebDAV", "http", 80, "_webdav._tcp", "globe"},
    {"webdavs", "WebDAV (https, secure)", "WebDAV (secure)", "https", 443, "_webdavs._tcp", "globe"},
    {"ftp", "FTP (read-only)", "FTP", "ftp", 21, "_ftp._tcp", "arrow.up.arrow.down.square"},
    {"sftp", "SFTP (SSH)", "SFTP", "sftp", 22, "_sftp-ssh._tcp", "lock.rectangle.stack"},
};
constexpr int kKindCount = int(std::size(kKinds));

} // namespace

QList<NetworkServerKind> NetworkServerKind::allCases() {
    QList<NetworkServerKind> kinds;
    for (int i = 0; i < kKindCount; ++i)
        kinds.append(NetworkServerKind(Value(i)));
    return kinds;
}

std::optional<NetworkServerKind> NetworkServerKind::fromId(const QString& id) {
    for (int i = 0; i < kKindCount; ++i) {
        if (id == QLatin1String(kKinds[i].id))
            return NetworkServerKind(Value(i));
    }
    return std::nullopt;
}

QString NetworkServerKind::addressHint() {
    return QStringLiteral("192.168.1.20, nas.local, or paste smb://… or \\\\PC\\Share");
}

QString NetworkServerKind::id() const {
    return QLatin1String(kKinds[m_value].id);
}
QString NetworkServerKind::title() const {
    return QLatin1String(kKinds[m_value].title);
}
QString NetworkServerKind::shortName() const {
    return QLatin1String(kKinds[m_value].shortName);
}
QString NetworkServerKind::scheme() const {
    return QLatin1String(kKinds[m_value].scheme);
}
int NetworkServerKind::defaultPort() const {
    return kKinds[m_value].defaultPort;
}
QString NetworkServerKind::bonjour() const {
    return QLatin1String(kKinds[m_value].bonjour);
}
QString NetworkServerKind::symbol() const {
    return QLatin1String(kKinds[m_value].symbol);
}
bool NetworkServerKind::mountable() const {
    return m_value != sftp;
}

QString NetworkServerKind::pathHint() const {
    switch (m_value) {
    case smb:
    case afp:
        return QStringLiteral("Share name, e.g. Media or Quorvane (optionally Media/Movies)");
    case nfs:
        return QStringLiteral("Export path, e.g. /volume1/media");
    case webdav:
    case webdavs:
        return QStringLiteral("Path on the server, e.g. /remote.php/dav/files/me");
    case ftp:
    case sftp:
        break;
    }
    return QStringLiteral("Folder to start in (optional)");
}

QString NetworkServerKind::userHint() const {
    if (m_value == smb)
        return QStringLiteral("The PC's Windows account (blank = guest)");
    return QStringLiteral("Blank = guest / anonymous");
}

QString NetworkServerKind::passwordHint() const {
    if (m_value == sftp)
        return QStringLiteral("Blank = use your SSH key");
    return QStringLiteral("Saved in your keyring");
}
