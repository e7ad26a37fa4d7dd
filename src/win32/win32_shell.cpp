#include "win32/win32_shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "win32/com_scope.h"
#include "win32/wide.h"

namespace updexar::win32 {
namespace {

const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

}  // namespace

std::string Win32Shell::BrowseForFolder(const platform::BrowseRequest& request) {
    ComScope com;
    PIDLIST_ABSOLUTE root = nullptr;
    // Without the network neighbourhood there is nothing to browse for a share.
    if (request.networkRoot && FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_NETWORK, &root))) return {};
    const std::wstring title = Wide(request.title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = reinterpret_cast<HWND>(request.ownerWindow);
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = OrNull(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    if (request.newStyle) info.ulFlags |= BIF_NEWDIALOGSTYLE;
    if (request.noNewFolder) info.ulFlags |= BIF_NONEWFOLDERBUTTON;

    std::string chosen;
    if (PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(picked, path)) chosen = Narrow(path, wcsnlen(path, MAX_PATH));
        CoTaskMemFree(picked);
    }
    if (root) CoTaskMemFree(root);
    return chosen;
}

bool Win32Shell::Execute(const std::string& verb, const std::string& file, const std::string& parameters,
                         const std::string& directory, int showMode) {
    const std::wstring v = Wide(verb), f = Wide(file), p = Wide(parameters), d = Wide(directory);
    // ShellExecute may hand the file to a COM-based handler.
    ComScope com;
    HINSTANCE result = ShellExecuteW(nullptr, OrNull(v), f.c_str(), OrNull(p), OrNull(d), showMode);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace updexar::win32
