// <windows.h> (through wide.h) first, then the file system's header, which takes back CopyFile
// and DeleteFile, before any other header names them.
#include "win32/wide.h"
//
#include "win32/win32_filesystem.h"
//
#include <shellapi.h>

#include "platform/local_system.h"
#include "win32/win32_ansi.h"

namespace updexar::platform {

std::vector<std::string> ToolArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) args.push_back(win32::Narrow(wide[i]));
    if (wide) LocalFree(wide);
    return args;
}

FileSystem& LocalFileSystem() {
    static win32::Win32AnsiText text;
    static win32::Win32FileSystem files(text);
    return files;
}

}  // namespace updexar::platform
