#include "win32/win32_com.h"

#include <windows.h>
#include <objbase.h>

#include "win32/com_scope.h"
#include "win32/wide.h"

namespace updexar::win32 {
namespace {

using SelfRegFn = HRESULT(STDAPICALLTYPE*)();

// No "cannot find the disk" or bad-image boxes while loading a library nobody checked.
class QuietErrors {
public:
    QuietErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_); }
    ~QuietErrors() { SetThreadErrorMode(old_, nullptr); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    DWORD old_ = 0;
};

}  // namespace

platform::SelfRegResult Win32ComRegistration::CallSelfRegistration(const std::string& libraryPath,
                                                                   bool registerServer) {
    platform::SelfRegResult result;
    if (libraryPath.empty()) return result;
    ComScope com;
    HMODULE module = nullptr;
    {
        QuietErrors quiet;
        // Dependencies are looked up beside the library first, as RegSvr32 does; that search
        // needs a full path.
        const std::wstring given = Wide(libraryPath);
        std::wstring full(MAX_PATH, L'\0');
        DWORD n = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n >= full.size()) {
            full.assign(n, L'\0');
            n = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        }
        if (n > 0 && n < full.size()) {
            full.resize(n);
            module = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        } else {
            module = LoadLibraryW(given.c_str());
        }
    }
    if (!module) return result;
    const char* entry = registerServer ? "DllRegisterServer" : "DllUnregisterServer";
    auto fn = reinterpret_cast<SelfRegFn>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
    if (!fn) {
        result.outcome = platform::SelfRegOutcome::NoEntryPoint;
    } else {
        result.outcome = platform::SelfRegOutcome::Called;
        result.result = static_cast<int32_t>(fn());
    }
    FreeLibrary(module);
    return result;
}

}  // namespace updexar::win32
