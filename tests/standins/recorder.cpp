// Stand-in for the outside tools (RegSvr32, RegIni, RegAsm, Msizap, PsExec): copied under their
// names, it appends its whole command line as one line to the file named by UPDEXAR_RECORD, or to
// recorded.txt beside itself, and succeeds. A script it is handed (an .INI argument, as RegIni
// gets) is kept beside the record as <record>.<script name>, since its caller deletes it later.
#include <windows.h>

#include <string>

#include "standin_util.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring target = standin::RecordFile();
    for (const std::wstring& arg : standin::Arguments()) {
        if (arg.size() < 4 || _wcsicmp(arg.c_str() + arg.size() - 4, L".INI") != 0) continue;
        const size_t slash = arg.find_last_of(L"\\/");
        CopyFileW(arg.c_str(), (target + L"." + arg.substr(slash == std::wstring::npos ? 0 : slash + 1)).c_str(), FALSE);
    }
    standin::AppendLine(target, standin::Utf8(GetCommandLineW()));
    return 0;
}
