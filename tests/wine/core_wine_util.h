// Small helpers shared by the Wine tests of the registry, file system and system facts.
#pragma once

#include <windows.h>

#include <string>

#include "contract/contract_util.h"
#include "platform/errors.h"
#include "win32/wide.h"

namespace updexar::wine_test {

using contract::ErrorOf;

inline DWORD RawAttributes(const std::string& path) { return GetFileAttributesW(win32::Wide(path).c_str()); }

}  // namespace updexar::wine_test
