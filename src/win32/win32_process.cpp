#include "win32/win32_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include "win32/wide.h"

namespace updexar::win32 {

uint32_t Win32Processes::StartHidden(const std::string& commandLine, const std::string& workingDirectory) {
    if (commandLine.empty()) return 0;
    // CreateProcessW may write into the command line, so it needs its own buffer.
    std::wstring line = Wide(commandLine);
    line.push_back(L'\0');
    const std::wstring dir = Wide(workingDirectory);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
        return 0;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

std::vector<platform::ProcessEntry> Win32Processes::Snapshot() {
    std::vector<platform::ProcessEntry> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        platform::ProcessEntry e;
        e.id = entry.th32ProcessID;
        e.exeName = Narrow(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
        out.push_back(std::move(e));
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snap);
    return out;
}

bool Win32Processes::Terminate(uint32_t processId, uint32_t exitCode) {
    if (processId == 0) return false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    if (!process) return false;
    const bool ok = TerminateProcess(process, exitCode) != 0;
    CloseHandle(process);
    return ok;
}

}  // namespace updexar::win32
