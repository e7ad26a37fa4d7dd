// Helpers of the Wine tests of processes, services, COM, fonts, shell and network: where the
// stand-ins are, a scratch folder, small file reads and bounded polling.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "win32/wide.h"

namespace updexar::systest {

// The folder of the running test program, where the stand-ins are built.
inline std::string ProgramFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring p(path, n);
    return win32::Narrow(p.substr(0, p.find_last_of(L"\\/")));
}

inline std::string StandIn(const std::string& file) { return ProgramFolder() + "\\" + file; }

inline bool FileExists(const std::string& path) {
    return GetFileAttributesW(win32::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
    HANDLE f = CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(f);
    return out;
}

// A fresh, empty folder under the temporary folder, unique to this run.
inline std::string MakeScratchFolder(const std::string& purpose) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp);
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
    const std::string folder = win32::Narrow(base) + "\\updexar-" + purpose + "-" +
                               std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    CreateDirectoryW(win32::Wide(folder).c_str(), nullptr);
    return folder;
}

// Polls until the condition holds or the time is up; real processes and services give no
// event to wait on.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

inline std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace updexar::systest
