#include "win32/win32_registry.h"

#include <cstring>
#include <vector>

#include "win32/wide.h"

namespace updexar::win32 {

HKEY RootHandle(platform::RegRoot root) {
    switch (root) {
        case platform::RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case platform::RegRoot::CurrentUser: return HKEY_CURRENT_USER;
        case platform::RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case platform::RegRoot::Users: return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

platform::RegValue DecodeRegValue(DWORD type, const std::vector<BYTE>& data) {
    platform::RegValue value;
    value.type = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // Stored text need not end with a NUL, and may hold NULs inside: readers cut it themselves.
        size_t chars = data.size() / sizeof(wchar_t);
        std::wstring text(chars, L'\0');
        if (chars) memcpy(text.data(), data.data(), chars * sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        value.text = Narrow(text);
    } else if (type == REG_DWORD && data.size() >= sizeof(DWORD)) {
        DWORD d = 0;
        memcpy(&d, data.data(), sizeof d);
        value.dword = d;
    } else {
        value.raw.assign(data.begin(), data.end());
    }
    return value;
}

Win32RegistryKey::~Win32RegistryKey() {
    if (key_) RegCloseKey(key_);
}

std::optional<platform::RegValue> Win32RegistryKey::QueryValue(const std::string& name) {
    const std::wstring wname = Wide(name);
    std::vector<BYTE> data(256);
    DWORD type = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            return DecodeRegValue(type, data);
        }
        if (status != ERROR_MORE_DATA) return std::nullopt;
        // The value may grow between the calls; ask again with what it needs now.
        data.resize(size > data.size() ? size : data.size() * 2);
    }
    return std::nullopt;
}

bool Win32RegistryKey::SetString(const std::string& name, const std::string& text) {
    // The system counts a NUL it finds right after the data into the stored length; a non-NUL
    // character after the text keeps the length at exactly the text's characters.
    std::wstring data = Wide(text);
    const DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    data += L'\x1';
    return RegSetValueExW(key_, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool Win32RegistryKey::SetDword(const std::string& name, uint32_t value) {
    const DWORD d = value;
    return RegSetValueExW(key_, Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d) ==
           ERROR_SUCCESS;
}

bool Win32RegistryKey::DeleteValue(const std::string& name) {
    return RegDeleteValueW(key_, Wide(name).c_str()) == ERROR_SUCCESS;
}

long Win32RegistryKey::EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars) {
    std::vector<wchar_t> buffer(bufferChars ? bufferChars : 1, L'\0');
    DWORD length = bufferChars;
    const LSTATUS status = RegEnumKeyExW(key_, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name = Narrow(buffer.data(), length);
    return status;
}

std::unique_ptr<platform::RegistryKey> Win32Registry::Open(platform::RegRoot root, const std::string& path,
                                                           bool writable) {
    HKEY key = nullptr;
    const REGSAM access = writable ? (KEY_READ | KEY_WRITE) : KEY_READ;
    if (RegOpenKeyExW(RootHandle(root), Wide(path).c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

std::unique_ptr<platform::RegistryKey> Win32Registry::Create(platform::RegRoot root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(RootHandle(root), Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

bool Win32Registry::DeleteKey(platform::RegRoot root, const std::string& path) {
    // An empty path would name the root itself.
    if (path.empty()) return false;
    return RegDeleteKeyW(RootHandle(root), Wide(path).c_str()) == ERROR_SUCCESS;
}

std::unique_ptr<platform::RegistryKey> Win32Registry::ConnectUsers(const std::string& machine) {
    if (machine.empty()) return nullptr;
    std::wstring target = Wide(machine);
    if (target.rfind(L"\\\\", 0) != 0) target = L"\\\\" + target;
    HKEY key = nullptr;
    if (RegConnectRegistryW(target.c_str(), HKEY_USERS, &key) != ERROR_SUCCESS || !key) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace updexar::win32
