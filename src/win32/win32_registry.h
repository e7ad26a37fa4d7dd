// The registry through the W calls, in the default view of a 32-bit program.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace updexar::win32 {

// An open key; closed when the object goes.
class Win32RegistryKey : public platform::RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}
    ~Win32RegistryKey() override;
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    std::optional<platform::RegValue> QueryValue(const std::string& name) override;
    bool SetString(const std::string& name, const std::string& text) override;
    bool SetDword(const std::string& name, uint32_t value) override;
    bool DeleteValue(const std::string& name) override;
    long EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars = 260) override;

    HKEY Handle() const { return key_; }

private:
    HKEY key_;
};

class Win32Registry : public platform::Registry {
public:
    std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                                bool writable = false) override;
    std::unique_ptr<platform::RegistryKey> Create(platform::RegRoot root, const std::string& path) override;
    bool DeleteKey(platform::RegRoot root, const std::string& path) override;
    std::unique_ptr<platform::RegistryKey> ConnectUsers(const std::string& machine) override;
};

HKEY RootHandle(platform::RegRoot root);

// The stored bytes of a value as the program sees them: text values keep every stored character
// but one terminating NUL, 32-bit values become numbers, anything else stays raw.
platform::RegValue DecodeRegValue(DWORD type, const std::vector<BYTE>& data);

}  // namespace updexar::win32
