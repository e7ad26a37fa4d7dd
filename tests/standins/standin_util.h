// Helpers of the stand-in programs, on the Windows API alone: each stays a small program of its own.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace standin {

inline std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Appends one line. Several stand-ins may write to the same file at once, so a file that is
// busy is tried again for a while instead of losing the line.
inline bool AppendLine(const std::wstring& path, const std::string& line) {
    const std::string data = line + "\r\n";
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
            CloseHandle(f);
            return ok && written == data.size();
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED) {
            return false;
        }
        Sleep(25);
    }
    return false;
}

inline std::wstring Env(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n <= 1) return {};
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(got < n ? got : 0);
    return value;
}

inline std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> out;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) out.emplace_back(argv[i]);
        LocalFree(argv);
    }
    return out;
}

// Where a stand-in notes what it was asked: UPDEXAR_RECORD, else recorded.txt beside the program.
inline std::wstring RecordFile() {
    const std::wstring record = Env(L"UPDEXAR_RECORD");
    if (!record.empty()) return record;
    wchar_t path[MAX_PATH * 4];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + L"recorded.txt";
}

}  // namespace standin
