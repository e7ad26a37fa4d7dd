// SHA-256 from OpenSSL's libcrypto, for the native build.
#include <openssl/evp.h>

#include "platform/errors.h"
#include "platform/sha256.h"

namespace updexar::platform {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    if (!state_->context || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1)
        throw RuntimeError(ErrCantCreateObject, "The system offers no SHA-256");
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Add(const uint8_t* data, size_t size) {
    if (EVP_DigestUpdate(state_->context, data, size) != 1) throw RuntimeError(ErrPathFileAccess);
}

std::array<uint8_t, 32> Sha256::Finish() {
    std::array<uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(state_->context, digest.data(), &length) != 1 || length != digest.size())
        throw RuntimeError(ErrPathFileAccess);
    return digest;
}

}  // namespace updexar::platform
