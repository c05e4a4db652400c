#include "app/UpdateSignature.h"

#include <openssl/evp.h>

#include <memory>

namespace UpdateSignature {

bool verify(const QByteArray& data, const QByteArray& signatureBase64, const QByteArray& publicKeyBase64) {
    const auto decode = [](const QByteArray& text) {
        return QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    };
    const auto key = decode(publicKeyBase64);
    const auto signature = decode(signatureBase64);
    if (!key || !signature || key.decoded.size() != 32 || signature.decoded.size() != 64)
        return false;

    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char*>(key.decoded.constData()),
                                    key.decoded.size()),
        &EVP_PKEY_free);
    if (!publicKey)
        return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char*>(signature.decoded.constData()),
                            signature.decoded.size(),
                            reinterpret_cast<const unsigned char*>(data.constData()), data.size()) == 1;
}

} // namespace UpdateSignature
