// A self-registering library for the registration tests: registering leaves
// HKCU\Software\UpdexarTest\Com "Registered" = 1, unregistering removes it. UPDEXAR_COM_RESULT, when
// set to a number, is returned instead of success so failed registrations can be tested.
#include <windows.h>

#include <cstdlib>

namespace {

const wchar_t kKey[] = L"Software\\UpdexarTest\\Com";

bool ForcedResult(HRESULT* result) {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA("UPDEXAR_COM_RESULT", text, sizeof text);
    if (n == 0 || n >= sizeof text) return false;
    *result = static_cast<HRESULT>(std::strtoul(text, nullptr, 0));
    return true;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    HRESULT forced;
    if (ForcedResult(&forced)) return forced;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return E_FAIL;
    }
    const DWORD one = 1;
    const LONG rc = RegSetValueExW(key, L"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    HRESULT forced;
    if (ForcedResult(&forced)) return forced;
    HKEY key = nullptr;
    const LONG open = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key);
    if (open == ERROR_FILE_NOT_FOUND) return S_OK;
    if (open != ERROR_SUCCESS) return E_FAIL;
    const LONG rc = RegDeleteValueW(key, L"Registered");
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
