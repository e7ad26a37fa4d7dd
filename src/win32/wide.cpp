#include "win32/wide.h"

namespace updexar::win32 {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* wide, size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

int ErrorNumberFor(DWORD e) {
    switch (e) {
        case ERROR_FILE_NOT_FOUND: return ErrFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ErrPathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: return ErrPermissionDenied;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return ErrFileExists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ErrDiskFull;
        case ERROR_NOT_READY: return ErrDiskNotReady;
        case ERROR_NOT_SAME_DEVICE: return ErrRenameAcrossDisks;
        case ERROR_INVALID_DRIVE: return ErrDeviceUnavailable;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return ErrBadFileNameOrNumber;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ErrOutOfMemory;
        default: return ErrPathFileAccess;
    }
}

void ThrowError(DWORD win32Error) { throw RuntimeError(ErrorNumberFor(win32Error)); }

void ThrowLastError() { ThrowError(GetLastError()); }

}  // namespace updexar::win32
