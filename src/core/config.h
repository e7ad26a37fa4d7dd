// Registry values and the configuration file, read and written the forgiving way the program
// needs: a reader falls back to its default, a writer says whether the value was stored.
#pragma once

#include <string>

#include "platform/registry.h"

namespace updexar {

enum RegKind : int { RegKindText = 1, RegKindDword = 4 };

// The text before the first NUL character (all of it when there is none).
std::string TrimAtNul(const std::string& text);

// Kind 1 reads a text value, kind 4 a 32-bit value as its decimal text. The default comes back
// when the key or value is missing, the stored type is not the requested kind, or the read fails.
std::string ReadRegValue(platform::RegRoot root, const std::string& subKey, const std::string& name, int kind,
                         const std::string& fallback);
// Creates the key when missing. Kind 1 stores the text (no terminating NUL), kind 4 the text's
// number rounded to a 32-bit integer. True only when the value was stored.
bool WriteRegValue(platform::RegRoot root, const std::string& subKey, const std::string& name, int kind,
                   const std::string& text);
// A value of {SysDir}\VEKCONFIG.INI, or the default when section or key is missing.
std::string ReadConfigIni(const std::string& section, const std::string& key, const std::string& fallback);

// The leading number of a text, as the classic Val reads it: blanks skipped, an optional sign,
// digits with one decimal point and an exponent; 0 when there is none. "&H" and "&O" prefixes
// read hexadecimal and octal.
double Val(const std::string& text);

}  // namespace updexar
