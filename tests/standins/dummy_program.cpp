// A product program stand-in: it runs until it is killed. Arguments, in any order: a number of
// seconds after which it exits by itself, and a file to which it appends
// "started <pid> <command line>" once it runs, so a test can see that it started and how.
#include <windows.h>

#include <string>

#include "standin_util.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    DWORD waitMs = INFINITE;
    std::wstring markFile;
    for (const std::wstring& arg : standin::Arguments()) {
        if (standin::AllDigits(arg)) {
            waitMs = static_cast<DWORD>(std::stoul(arg)) * 1000;
        } else if (!arg.empty()) {
            markFile = arg;
        }
    }
    if (!markFile.empty()) {
        standin::AppendLine(markFile, "started " + std::to_string(GetCurrentProcessId()) + " " +
                                          standin::Utf8(GetCommandLineW()));
    }
    Sleep(waitMs);
    return 0;
}
