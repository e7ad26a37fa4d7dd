// UTF-8 <-> UTF-16 at the Windows boundary, and Win32 error codes as the program's run-time errors.
#pragma once

#include <windows.h>

#include <string>

#include "platform/errors.h"

namespace updexar::win32 {

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

// The classic run-time error number for a Win32 error code: 2 -> 53, 3 -> 76, 5 -> 70,
// 32/33 -> 70, 80/183 -> 58, 112 -> 61, 21 -> 71, 15 -> 68, 123/161 -> 52, anything else 75.
int ErrorNumberFor(DWORD win32Error);
[[noreturn]] void ThrowLastError();
[[noreturn]] void ThrowError(DWORD win32Error);

}  // namespace updexar::win32
