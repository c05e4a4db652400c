#include "app/UpdateSignature.h"

#include <openssl/evp.h>

#include <memory>

#include <gtest/gtest.h>

namespace {

struct KeyPair {
    QByteArray publicKey; // Base64
    std::shared_ptr<EVP_PKEY> key;

    static KeyPair make() {
        EVP_PKEY* raw = nullptr;
        std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(
            EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), &EVP_PKEY_CTX_free);
        EVP_PKEY_keygen_init(context.get());
        EVP_PKEY_keygen(context.get(), &raw);
        KeyPair pair;
        pair.key.reset(raw, &EVP_PKEY_free);
        QByteArray bytes(32, '\0');
        size_t length = 32;
        EVP_PKEY_get_raw_public_key(raw, reinterpret_cast<unsigned char*>(bytes.data()), &length);
        pair.publicKey = bytes.toBase64();
        return pair;
    }

    QByteArray sign(const QByteArray& data) const {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get());
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        return signature.toBase64();
    }
};

} // namespace

TEST(UpdateSignature, AcceptsOnlyTheSignersSignatureOfTheseBytes) {
    const KeyPair maker = KeyPair::make();
    const KeyPair other = KeyPair::make();
    const QByteArray data = "the update archive";
    const QByteArray signature = maker.sign(data);
    EXPECT_TRUE(UpdateSignature::verify(data, signature, maker.publicKey));
    EXPECT_FALSE(UpdateSignature::verify(data + "!", signature, maker.publicKey));
    EXPECT_FALSE(UpdateSignature::verify(data, other.sign(data), maker.publicKey));
    EXPECT_FALSE(UpdateSignature::verify(data, signature, other.publicKey));
}

TEST(UpdateSignature, MalformedKeysAndSignaturesAreNotValid) {
    const KeyPair maker = KeyPair::make();
    const QByteArray data = "x";
    for (const QByteArray& signature : {QByteArray(), QByteArray("not base64 !!"), QByteArray("AAAA")})
        EXPECT_FALSE(UpdateSignature::verify(data, signature, maker.publicKey));
    for (const QByteArray& key : {QByteArray(), QByteArray("AAAA"), QByteArray("@@@@")})
        EXPECT_FALSE(UpdateSignature::verify(data, maker.sign(data), key));
}
