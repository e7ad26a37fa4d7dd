// The Windows-1252 conversion sits on every file and wire boundary, so any byte string must
// survive a trip through UTF-8 unchanged, and no UTF-8 (valid or not) may break the way back.

#include "platform/ansi.h"
#include "fuzz_check.h"

namespace {

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

using fuzzcheck::Check;

UPDEXAR_FUZZ_TARGET(bytes) {
    using namespace updexar::platform;

    // Code page -> UTF-8 -> code page gives back every byte.
    const std::string utf8 = Cp1252ToUtf8(bytes);
    Check(IsValidUtf8(utf8));
    Check(Utf8ToCp1252(utf8) == bytes);

    // Arbitrary input taken as UTF-8: one byte per character at most, and what comes out is
    // already in the code page, so converting it again changes nothing.
    const std::string ansi = Utf8ToCp1252(bytes);
    Check(ansi.size() <= bytes.size());
    Check(Utf8ToCp1252(Cp1252ToUtf8(ansi)) == ansi);
}
