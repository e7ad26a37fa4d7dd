#include "win32/win32_system.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <userenv.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/strings.h"
#include "win32/wide.h"

namespace updexar::win32 {
namespace {

// Calls of the shape f(buffer, chars) -> length, retried with a larger buffer when cut.
template <typename Call>
std::string QueryText(Call call) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const UINT n = call(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return Narrow(buffer.data(), n);
        buffer.resize(std::max<size_t>(n + 1, buffer.size() * 2));
    }
    return {};
}

// The userenv profile calls: a buffer size in and out, TRUE on success.
template <typename Call>
std::string QueryProfileFolder(Call call) {
    DWORD size = MAX_PATH + 1;
    std::vector<wchar_t> buffer(size);
    if (!call(buffer.data(), &size)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
        buffer.assign(size + 1, L'\0');
        if (!call(buffer.data(), &size)) return {};
    }
    return Narrow(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

int DeviceCaps(int index) {
    HDC dc = GetDC(nullptr);
    if (!dc) return 96;
    const int value = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return value > 0 ? value : 96;
}

}  // namespace

std::string ArgumentsAfterProgramName(std::string_view line) {
    size_t i = 0;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
        if (line[i] == '"') quoted = !quoted;
        ++i;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return std::string(line.substr(i));
}

std::string Win32System::SystemDirectory() {
    return QueryText([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
}

std::string Win32System::WindowsDirectory() {
    return QueryText([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
}

std::string Win32System::TempDirectory() {
    return QueryText([](wchar_t* b, UINT n) { return static_cast<UINT>(GetTempPathW(n, b)); });
}

std::string Win32System::AllUsersProfileDirectory() {
    return QueryProfileFolder([](wchar_t* b, DWORD* n) { return GetAllUsersProfileDirectoryW(b, n); });
}

std::string Win32System::DefaultUserProfileDirectory() {
    return QueryProfileFolder([](wchar_t* b, DWORD* n) { return GetDefaultUserProfileDirectoryW(b, n); });
}

namespace {
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) out = Narrow(path, wcslen(path));
    CoTaskMemFree(path);
    return out;
}
}  // namespace

std::string Win32System::CommonStartupFolder() { return KnownFolder(FOLDERID_CommonStartup); }
std::string Win32System::UserStartupFolder() { return KnownFolder(FOLDERID_Startup); }

std::string Win32System::UserProfileDirectory() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::string folder =
        QueryProfileFolder([token](wchar_t* b, DWORD* n) { return GetUserProfileDirectoryW(token, b, n); });
    CloseHandle(token);
    return folder;
}

std::string Win32System::ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size)) return {};
    return Narrow(buffer, size);
}

std::string Win32System::LongDate(const DateTime& when) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(when.year);
    st.wMonth = static_cast<WORD>(when.month);
    st.wDay = static_cast<WORD>(when.day);
    wchar_t buffer[128];
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, buffer, 128);
    if (n <= 1) return when.ToIsoText().substr(0, 10);
    return Narrow(buffer, static_cast<size_t>(n - 1));
}

bool Win32System::IsWinNTPlatform() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the ANSI version record is 148 bytes");
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

platform::ScreenSize Win32System::DisplayModeSize() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return {};
    return {static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight)};
}

int Win32System::LogicalDpiX() { return DeviceCaps(LOGPIXELSX); }

int Win32System::TwipsPerPixelX() { return 1440 / DeviceCaps(LOGPIXELSX); }

int Win32System::TwipsPerPixelY() { return 1440 / DeviceCaps(LOGPIXELSY); }

platform::ScreenSize Win32System::ScreenSizeTwips() {
    return {GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX(), GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY()};
}

int Win32System::SystemMetric(int index) { return GetSystemMetrics(index); }

std::string Win32System::ReadProfileString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& fallback,
                                           uint32_t bufferChars) {
    if (bufferChars == 0) return {};
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    const DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(fallback).c_str(),
                                             buffer.data(), bufferChars, Wide(file).c_str());
    return Narrow(buffer.data(), std::min<size_t>(n, bufferChars - 1));
}

std::string Win32System::ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::string path = Narrow(buffer.data(), n);
            // Wine names a program started from a share "UNC\SERVER\share\...": the NT name
            // without its "\??\". Everything that builds on the program's folder needs the path
            // Windows gives.
            if (path.rfind("UNC\\", 0) == 0) path = "\\" + path.substr(3);
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

std::string Win32System::CommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line ? ArgumentsAfterProgramName(Narrow(std::wstring(line))) : std::string();
}

void Win32System::EndProcess(uint32_t exitCode) { ExitProcess(exitCode); }

std::string Win32System::Wow64SystemDirectory() {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return "";
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetSystemWow64DirectoryW(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return "";
    return Narrow(std::wstring(buffer, n));
}

std::unique_ptr<platform::ExclusiveLock> Win32System::TryExclusiveLock(const std::string& name) {
    struct Held : platform::ExclusiveLock {
        HANDLE mutex;
        explicit Held(HANDLE m) : mutex(m) {}
        ~Held() override {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    };
    // Global, so that an unattended run in the service session and a user's run meet; a user
    // without the right to make global names still meets the other runs of the session.
    for (const char* scope : {"Global\\", "Local\\"}) {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, Wide(std::string(scope) + name).c_str());
        if (!mutex) {
            if (GetLastError() == ERROR_ACCESS_DENIED) continue;
            return nullptr;
        }
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            // Someone else made it first; owning it now would only mean they have gone.
            const DWORD got = WaitForSingleObject(mutex, 0);
            if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
                CloseHandle(mutex);
                return nullptr;
            }
        }
        return std::make_unique<Held>(mutex);
    }
    return nullptr;
}

}  // namespace updexar::win32
