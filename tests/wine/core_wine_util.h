// Small helpers shared by the Wine tests of the registry, file system and system facts.
#pragma once

#include <windows.h>

#include <string>

#include "platform/errors.h"
#include "win32/wide.h"

namespace updexar::wine_test {

// The run-time error number the call threw, 0 when it threw nothing.
template <typename Call>
int ErrorOf(Call call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

inline DWORD RawAttributes(const std::string& path) { return GetFileAttributesW(win32::Wide(path).c_str()); }

}  // namespace updexar::wine_test
