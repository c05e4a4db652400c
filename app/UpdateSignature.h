#pragma once

#include <QByteArray>

// Ed25519 checks of downloaded updates through OpenSSL. Pure; any thread.
namespace UpdateSignature {

// True when `signatureBase64` is a valid Ed25519 signature of `data` under the raw 32-byte
// public key `publicKeyBase64`. Malformed keys or signatures are simply not valid.
bool verify(const QByteArray& data, const QByteArray& signatureBase64, const QByteArray& publicKeyBase64);

} // namespace UpdateSignature
