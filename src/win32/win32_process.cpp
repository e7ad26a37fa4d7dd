#include "win32/win32_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include "win32/wide.h"

namespace updexar::win32 {
namespace {

// The new process's handle, nullptr when it could not be started.
HANDLE Start(const std::string& commandLine, const std::string& workingDirectory, DWORD& id) {
    if (commandLine.empty()) return nullptr;
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
        return nullptr;
    }
    CloseHandle(pi.hThread);
    id = pi.dwProcessId;
    return pi.hProcess;
}

class Held : public platform::StartedProcess {
public:
    Held(HANDLE process, DWORD id) : process_(process), id_(id) {}
    ~Held() override { CloseHandle(process_); }
    uint32_t Id() const override { return id_; }
    // Asked first: TerminateProcess reports success on a process that has ended, under Wine.
    bool Terminate(uint32_t exitCode) override {
        return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT && TerminateProcess(process_, exitCode) != 0;
    }

private:
    HANDLE process_;
    DWORD id_;
};

}  // namespace

uint32_t Win32Processes::StartHidden(const std::string& commandLine, const std::string& workingDirectory) {
    DWORD id = 0;
    const HANDLE process = Start(commandLine, workingDirectory, id);
    if (!process) return 0;
    CloseHandle(process);
    return id;
}

std::unique_ptr<platform::StartedProcess> Win32Processes::StartHeld(const std::string& commandLine) {
    DWORD id = 0;
    const HANDLE process = Start(commandLine, "", id);
    if (!process) return nullptr;
    return std::make_unique<Held>(process, id);
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
