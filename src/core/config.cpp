#include "core/config.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/platform.h"
#include "core/shared_state.h"

namespace updexar {

std::string TrimAtNul(const std::string& text) {
    const size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string ReadRegValue(platform::RegRoot root, const std::string& subKey, const std::string& name, int kind,
                         const std::string& fallback) {
    if (kind != RegKindText && kind != RegKindDword) return fallback;
    auto key = platform::Os().registry->Open(root, subKey);
    if (!key) return fallback;
    const auto value = key->QueryValue(name);
    if (!value || value->type != static_cast<uint32_t>(kind)) return fallback;
    if (kind == RegKindText) return TrimAtNul(value->text);
    return std::to_string(static_cast<int32_t>(value->dword));
}

bool WriteRegValue(platform::RegRoot root, const std::string& subKey, const std::string& name, int kind,
                   const std::string& text) {
    if (kind != RegKindText && kind != RegKindDword) return false;
    auto key = platform::Os().registry->Create(root, subKey);
    if (!key) return false;
    if (kind == RegKindText) return key->SetString(name, text);
    // Rounded half to even, as the classic conversion to a 32-bit integer does; out of range
    // stores nothing.
    const double number = std::nearbyint(Val(text));
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max()) return false;
    return key->SetDword(name, static_cast<uint32_t>(static_cast<int32_t>(number)));
}

std::string ReadConfigIni(const std::string& section, const std::string& key, const std::string& fallback) {
    const std::string file = Shared().SysDir + "\\VEKCONFIG.INI";
    return platform::Os().system->ReadProfileString(file, section, key, fallback, 255);
}

double Val(const std::string& text) {
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    };
    skipBlanks();
    if (i + 1 < text.size() && text[i] == '&' && (text[i + 1] == 'H' || text[i + 1] == 'h' || text[i + 1] == 'O' || text[i + 1] == 'o')) {
        const int base = (text[i + 1] == 'H' || text[i + 1] == 'h') ? 16 : 8;
        i += 2;
        int64_t n = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            int d = -1;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            if (d < 0 || d >= base) break;
            n = n * base + d;
            if (n > 0xFFFFFFFFLL) break;
        }
        return static_cast<double>(n);
    }
    // Val skips blanks anywhere inside the number too.
    std::string digits;
    bool point = false, exponent = false, any = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) digits += text[i++];
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t') continue;
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
        } else if (c == '.' && !point && !exponent) {
            digits += c;
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && any && !exponent) {
            std::string rest = "e";
            size_t j = i + 1;
            if (j < text.size() && (text[j] == '+' || text[j] == '-')) rest += text[j++];
            if (j < text.size() && text[j] >= '0' && text[j] <= '9') {
                digits += rest;
                exponent = true;
                i = j - 1;
            } else {
                break;
            }
        } else {
            break;
        }
    }
    if (!any) return 0.0;
    return std::strtod(digits.c_str(), nullptr);
}

}  // namespace updexar
