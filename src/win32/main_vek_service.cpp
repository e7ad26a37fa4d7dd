// VEKSvrReg.exe: the VEK service. Under the service control manager it runs as the service
// "VEKSvrReg" and ends on the stop control, which lets go of its program file for the update.
// Started directly (the update run does that when the service already exists) it serves the
// same way as a plain process until it is ended; a copy that finds the port taken just leaves.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/strings.h"
#include "server/vek_service_core.h"
#include "win32/vek_server.h"
#include "win32/wide.h"
#include "win32/win32_platform.h"

namespace {

using namespace updexar;

wchar_t kServiceName[] = L"VEKSvrReg";

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
std::atomic<bool> g_stop{false};

std::string Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? win32::Narrow(buffer, length) : std::string();
}

// For the tests only, which set both variables: every check in the folder UPDEXAR_VEK_SLOW_DIR
// first waits UPDEXAR_VEK_SLOW_MS, as a data directory on a share that answers late would make
// it wait. Wine cannot make a share slow (a UNC path there is a local folder, and an unreachable
// one fails at once), so the delay is put where a slow share would be felt: in this program's
// own check, under its own socket loop and check pool.
struct SlowFolder {
    std::string path;
    DWORD ms = 0;
};

SlowFolder SlowFolderForTests() {
    SlowFolder slow{Environment(L"UPDEXAR_VEK_SLOW_DIR"), 0};
    const std::string ms = Environment(L"UPDEXAR_VEK_SLOW_MS");
    if (!slow.path.empty() && !ms.empty()) slow.ms = static_cast<DWORD>(std::strtoul(ms.c_str(), nullptr, 10));
    slow.path = StripTrailingBackslash(slow.path);
    return slow;
}

vek::ServiceCore MakeCore() {
    platform::Platform& os = win32::Win32Platform();
    return vek::ServiceCore(
        [&os](const ProductRow& product) { return vek::ReadDataDirectory(*os.registry, product); },
        [&os, slow = SlowFolderForTests()](const std::string& directory, const std::string& fileName) {
            if (slow.ms > 0 && EqualsNoCase(directory, slow.path)) Sleep(slow.ms);
            return os.files->FileExists(PathJoin(directory, fileName));
        });
}

// Listens and serves until g_stop; `listening` is called once the port is bound. The Winsock
// error when the port cannot be had, else 0.
template <typename OnListening>
int Serve(OnListening listening) {
    try {
        platform::Platform& os = win32::Win32Platform();
        const vek::ServiceCore core = MakeCore();
        win32::VekServer server(core, *os.clock);
        int error = 0;
        if (!server.Listen(vek::ReadServicePort(*os.registry), error)) return error == 0 ? 1 : error;
        listening();
        server.Run(g_stop);
        return 0;
    } catch (const std::exception&) {
        return ERROR_SERVICE_SPECIFIC_ERROR;
    } catch (...) {
        return ERROR_SERVICE_SPECIFIC_ERROR;
    }
}

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
    static DWORD checkPoint = 1;
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : checkPoint++;
    SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING, NO_ERROR, 2000);
            g_stop = true;
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, Control, nullptr);
    if (!g_statusHandle) return;
    Report(SERVICE_START_PENDING, NO_ERROR, 3000);
    const int result = Serve([] { Report(SERVICE_RUNNING); });
    Report(SERVICE_STOPPED, static_cast<DWORD>(result));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SERVICE_TABLE_ENTRYW table[] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherW(table)) return 0;
    if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
    return Serve([] {});
}
