// SHA-256 from the classic cryptography API: the AES provider has it on every Windows the
// program runs on, with nothing to install.
#include <windows.h>
//
#include <wincrypt.h>

#include "platform/errors.h"
#include "platform/sha256.h"

namespace updexar::platform {
namespace {

// One provider for the process: acquiring one per file costs more than hashing a small file.
HCRYPTPROV Provider() {
    static const HCRYPTPROV provider = [] {
        HCRYPTPROV p = 0;
        if (!CryptAcquireContextW(&p, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) p = 0;
        return p;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    HCRYPTHASH hash = 0;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    const HCRYPTPROV provider = Provider();
    if (!provider || !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &state_->hash))
        throw RuntimeError(ErrCantCreateObject, "The system offers no SHA-256");
}

Sha256::~Sha256() {
    if (state_->hash) CryptDestroyHash(state_->hash);
}

void Sha256::Add(const uint8_t* data, size_t size) {
    while (size > 0) {
        const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        if (!CryptHashData(state_->hash, data, piece, 0)) throw RuntimeError(ErrPathFileAccess);
        data += piece;
        size -= piece;
    }
}

std::array<uint8_t, 32> Sha256::Finish() {
    std::array<uint8_t, 32> digest{};
    DWORD length = static_cast<DWORD>(digest.size());
    if (!CryptGetHashParam(state_->hash, HP_HASHVAL, digest.data(), &length, 0) || length != digest.size())
        throw RuntimeError(ErrPathFileAccess);
    return digest;
}

}  // namespace updexar::platform
