// SHA-256 as the system computes it: the Windows cryptography API in the Windows programs,
// OpenSSL's libcrypto in the native ones. Hashing is never written here: a package's seal must
// mean the same to `sha256sum` as to the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace updexar::platform {

class Sha256 {
public:
    // Throws RuntimeError when the system offers no SHA-256.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const uint8_t* data, size_t size);
    // The digest of everything added; the hasher is used up.
    std::array<uint8_t, 32> Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Lower-case hexadecimal, as sha256sum prints a digest.
std::string HexOf(const std::array<uint8_t, 32>& digest);

}  // namespace updexar::platform
