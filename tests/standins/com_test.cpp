// A self-registering library: registering leaves HKCU\Software\UpdexarTest\Com "Registered" = 1,
// unregistering removes it.
#include <windows.h>

namespace {

const wchar_t kKey[] = L"Software\\UpdexarTest\\Com";

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
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
    const LONG rc = RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Registered");
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
