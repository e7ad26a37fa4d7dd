// The Windows-1252 conversion sits on every file and wire boundary, so any byte string must
// survive a trip through UTF-8 unchanged, and no UTF-8 (valid or not) may break the way back.
#include "fuzz_check.h"
#include "platform/ansi.h"

UPDEXAR_FUZZ_TARGET(bytes) {
    using namespace updexar::platform;
    // Code page -> UTF-8 (well formed) -> code page gives back every byte.
    const std::string utf8 = Cp1252ToUtf8(bytes);
    for (size_t i = 0, n; i < utf8.size(); i += n) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        Check(n > 0 && i + n <= utf8.size());
        for (size_t k = 1; k < n; ++k) Check((static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80);
    }
    Check(Utf8ToCp1252(utf8) == bytes);

    // Arbitrary input taken as UTF-8: one byte per character at most, and what comes out is
    // already in the code page, so converting it again changes nothing.
    const std::string ansi = Utf8ToCp1252(bytes);
    Check(ansi.size() <= bytes.size() && Utf8ToCp1252(Cp1252ToUtf8(ansi)) == ansi);
}
