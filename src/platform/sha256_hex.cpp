#include "platform/sha256.h"

namespace updexar::platform {

std::string HexOf(const std::array<uint8_t, 32>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(64);
    for (uint8_t b : digest) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

}  // namespace updexar::platform
