// A real own-process service for the service tests: it reports running and stops on the stop
// control. Started directly (not by the service manager) it exits quietly. An argument in its
// configured command line names a file to which "running <pid>" and "stopped <pid>" are appended.
#include <windows.h>

#include <string>

#include "standin_util.h"

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;
std::wstring g_markFile;

void Report(DWORD state, DWORD waitHint = 0) {
    static DWORD checkPoint = 1;
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : checkPoint++;
    SetServiceStatus(g_statusHandle, &status);
}

void Mark(const char* what) {
    if (!g_markFile.empty()) {
        standin::AppendLine(g_markFile, std::string(what) + " " + std::to_string(GetCurrentProcessId()));
    }
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING, 2000);
            SetEvent(g_stopEvent);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerExW(L"", Control, nullptr);
    if (!g_statusHandle) return;
    Report(SERVICE_START_PENDING, 2000);
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_stopEvent) {
        Report(SERVICE_STOPPED);
        return;
    }
    Report(SERVICE_RUNNING);
    Mark("running");
    WaitForSingleObject(g_stopEvent, INFINITE);
    Mark("stopped");
    CloseHandle(g_stopEvent);
    Report(SERVICE_STOPPED);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    for (const std::wstring& arg : standin::Arguments()) {
        if (!arg.empty()) g_markFile = arg;
    }
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    // Fails at once with 1063 when nobody started us as a service; that is a quiet exit.
    if (!StartServiceCtrlDispatcherW(table)) return 0;
    return 0;
}
