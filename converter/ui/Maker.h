#pragma once

#include <QString>
#include <QUrl>

// The maker's addresses: web site, update feed, support e-mail and the key that signs updates.
// The one place to change when the product moves; everything else derives from these.
namespace Maker {

// The web site root, with its trailing slash. Legal pages fall back to website + name + ".html".
inline QString website() {
    return QStringLiteral("https://quorvane.example/");
}

// The appcast the updater reads: the path below on the maker's web site.
inline QUrl updateFeed() {
    return QUrl(website() + QStringLiteral("updates/converter/appcast.xml"));
}

inline QString supportEmail() {
    return QStringLiteral("support@quorvane.example");
}

// Ed25519 public key (raw 32 bytes, Base64) whose signature every downloaded update must carry.
inline QByteArray updatePublicKey() {
    return QByteArrayLiteral("12y/X21RRSNLl6IsXcTm+d1naalicTB4fK+2VGhDRO8=");
}

} // namespace Maker
