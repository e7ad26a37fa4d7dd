#include "win32/win32_ansi.h"

#include "win32/wide.h"

namespace updexar::win32 {

std::string Win32AnsiText::ToAnsi(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    // No best fit: a letter the code page lacks must show as "?", not as a look-alike.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* fallback = "?";
    int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, fallback, nullptr);
    if (n <= 0) {
        // UTF-8 as the ANSI code page takes neither the flag nor a replacement character.
        flags = 0;
        fallback = nullptr;
        n = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return {};
    }
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, out.data(), n, fallback, nullptr);
    return out;
}

std::string Win32AnsiText::FromAnsi(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int length = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), n);
    return Narrow(wide);
}

}  // namespace updexar::win32
