// Stand-in for PsExec, as the LAN update calls it: PsExec.exe \\TARGET [-u USER -p PASSWORD]
// [-accepteula] [-c] [-f] [-i N] PROGRAM [ARGUMENT...]. It records its command line (as recorder
// does) and hands the run on the target to the Linux script UPDEXAR_PSEXEC_HOST (psexec_host.sh),
// started as `sh SCRIPT JOB`: JOB is a new folder in UPDEXAR_PSEXEC_WORK (a Linux path) whose
// `request` holds the target, the program and each argument, a line each. Like PsExec, this ends
// with the remote program's exit code, which the script writes into JOB/done; never, without it.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "standin_util.h"

namespace {

// The same file seen from Windows: Wine's drive Z: is the Linux root.
std::wstring WindowsPathOf(const std::wstring& linux) {
    std::wstring path = L"Z:" + linux;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    standin::AppendLine(standin::RecordFile(), standin::Utf8(GetCommandLineW()));

    // The target, then PsExec's own switches, then the program and what it is given.
    const std::vector<std::wstring> args = standin::Arguments();
    size_t at = 0;
    std::wstring target;
    if (at < args.size() && args[at].rfind(L"\\\\", 0) == 0) target = args[at++].substr(2);
    while (at < args.size() && !args[at].empty() && args[at][0] == L'-') {
        const std::wstring sw = args[at++];
        if ((sw == L"-u" || sw == L"-p" || sw == L"-i") && at < args.size()) ++at;
    }
    if (target.empty() || at >= args.size()) return 2;

    const std::wstring script = standin::Env(L"UPDEXAR_PSEXEC_HOST");
    const std::wstring work = standin::Env(L"UPDEXAR_PSEXEC_WORK");
    if (script.empty() || work.empty()) return 3;
    // The request goes in a file: Wine reads a Linux program's arguments out of the command line by
    // rules of its own, which would eat the backslashes of a UNC path.
    const std::wstring job =
        work + L"/psexec-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    if (!CreateDirectoryW(WindowsPathOf(job).c_str(), nullptr)) return 3;
    // One a line; the line AppendLine ends with is empty, and the machine's script reads no further.
    std::string request = standin::Utf8(target) + "\n";
    for (; at < args.size(); ++at) request += standin::Utf8(args[at]) + "\n";
    if (!standin::AppendLine(WindowsPathOf(job + L"/request"), request)) return 3;
    std::wstring line = L"/bin/sh \"" + script + L"\" \"" + job + L"\"";

    // Wine starts a Linux program without a process handle to wait on: the file the script writes
    // says that the remote program has ended.
    HANDLE change = FindFirstChangeNotificationW(WindowsPathOf(job).c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 4;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);

    const std::wstring done = WindowsPathOf(job + L"/done");
    while (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // A change in the folder, or a second: a missed notification costs no more than that.
        if (change == INVALID_HANDLE_VALUE) Sleep(200);
        else if (WaitForSingleObject(change, 1000) == WAIT_OBJECT_0) FindNextChangeNotification(change);
    }
    if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
    // The script writes the code into a file of another name and renames it: never half there.
    int code = 1;
    HANDLE f = CreateFileW(done.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        char text[16] = {};
        DWORD got = 0;
        if (ReadFile(f, text, sizeof text - 1, &got, nullptr)) code = atoi(text);
        CloseHandle(f);
    }
    DeleteFileW(done.c_str());
    DeleteFileW(WindowsPathOf(job + L"/request").c_str());
    RemoveDirectoryW(WindowsPathOf(job).c_str());
    return code;
}
