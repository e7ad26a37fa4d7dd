// Stand-in for the outside tools (RegSvr32, RegIni, RegAsm, Msizap, PsExec): copied under their
// names, it appends its whole command line as one line to the file named by UPDEXAR_RECORD, or to
// recorded.txt beside itself, and succeeds.
#include <windows.h>

#include <string>

#include "standin_util.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::wstring target;
    const DWORD n = GetEnvironmentVariableW(L"UPDEXAR_RECORD", nullptr, 0);
    if (n > 1) {
        target.assign(n, L'\0');
        const DWORD got = GetEnvironmentVariableW(L"UPDEXAR_RECORD", target.data(), n);
        target.resize(got < n ? got : 0);
    }
    if (target.empty()) target = standin::ModuleFolder(nullptr) + L"\\recorded.txt";
    standin::AppendLine(target, standin::Utf8(GetCommandLineW()));
    return 0;
}
