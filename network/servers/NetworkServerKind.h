#pragma once

#include <QList>
#include <QString>

#include <optional>

// The seven kinds of network server and their fixed per-kind constants (titles, URL schemes,
// default ports, service-discovery types, the editor's hints). A plain value; any thread.
class NetworkServerKind {
public:
    // Declaration order is the order of allCases() and of the kind picker.
    enum Value { smb, afp, nfs, webdav, webdavs, ftp, sftp };

    constexpr NetworkServerKind(Value value)
        : m_value(value) {}
    constexpr Value value() const { return m_value; }
    constexpr bool operator==(const NetworkServerKind&) const = default;

    // Every kind, in declaration order.
    static QList<NetworkServerKind> allCases();
    // The kind whose raw value is `id`, or none for any other text.
    static std::optional<NetworkServerKind> fromId(const QString& id);
    // The address field's placeholder, the same for every kind.
    static QString addressHint();

    // The raw value, also the stored form ("smb", ..., "sftp").
    QString id() const;
    // What the kind picker shows.
    QString title() const;
    // The word used in log lines and compact labels ("SMB", "WebDAV (secure)").
    QString shortName() const;
    // The URL scheme of the mount address.
    QString scheme() const;
    int defaultPort() const;
    // The DNS-SD service type the discovery browses for.
    QString bonjour() const;
    // Logical icon name shown beside a server.
    QString symbol() const;
    // False only for SFTP, which is browsed through the SFTP client instead of mounted.
    bool mountable() const;

    // Placeholder texts of the editor's path, user name and password fields.
    QString pathHint() const;
    QString userHint() const;
    QString passwordHint() const;

private:
    Value m_value;
};
