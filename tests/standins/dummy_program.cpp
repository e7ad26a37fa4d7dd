// A product program stand-in: it runs until it is killed. Arguments, in any order: a number of
// seconds after which it exits by itself, and a file to which it appends "started <pid> show <n>
// <command line>" once it runs (UPDEXAR_RECORD when none is given); n is the show state it was
// started with (1 shown normally, 0 hidden, - when its starter left it to the program).
#include <windows.h>

#include <string>

#include "standin_util.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    DWORD waitMs = INFINITE;
    std::wstring markFile = standin::Env(L"UPDEXAR_RECORD");
    for (const std::wstring& arg : standin::Arguments()) {
        if (!arg.empty() && arg.size() <= 9 && arg.find_first_not_of(L"0123456789") == std::wstring::npos) waitMs = static_cast<DWORD>(std::stoul(arg)) * 1000;
        else if (!arg.empty()) markFile = arg;
    }
    STARTUPINFOW si{};
    GetStartupInfoW(&si);
    const std::string show = si.dwFlags & STARTF_USESHOWWINDOW ? std::to_string(si.wShowWindow) : "-";
    if (!markFile.empty())
        standin::AppendLine(markFile, "started " + std::to_string(GetCurrentProcessId()) + " show " + show + " " +
                                          standin::Utf8(GetCommandLineW()));
    Sleep(waitMs);
    return 0;
}
