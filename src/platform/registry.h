// The Windows registry: local keys under the predefined roots and a remote machine's HKEY_USERS.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace updexar::platform {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Stored value types, numbered as the registry numbers them.
enum RegType : uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegMultiSz = 7,
    RegQword = 11,
};

// Status codes of the registry calls that callers look at.
enum RegStatus : long {
    RegOk = 0,
    RegFileNotFound = 2,
    RegAccessDenied = 5,
    RegMoreData = 234,
    RegNoMoreItems = 259,
};

struct RegValue {
    uint32_t type = RegNone;
    // RegSz / RegExpandSz: the stored characters as UTF-8, all of them, embedded NULs included
    // (readers cut at the first NUL themselves).
    std::string text;
    // RegDword: the value.
    uint32_t dword = 0;
    // Anything else: the raw bytes.
    std::vector<uint8_t> raw;
};

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Empty when the value is missing or cannot be read.
    virtual std::optional<RegValue> QueryValue(const std::string& name) = 0;
    // A text value stored with exactly the given characters and no terminating NUL.
    virtual bool SetString(const std::string& name, const std::string& text) = 0;
    virtual bool SetDword(const std::string& name, uint32_t value) = 0;
    virtual bool DeleteValue(const std::string& name) = 0;
    // Subkey by index, with a name buffer of `bufferChars` characters (including the NUL):
    // RegOk with the name, RegMoreData when the name does not fit, RegNoMoreItems past the end.
    virtual long EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars = 260) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Null when the key cannot be opened.
    virtual std::unique_ptr<RegistryKey> Open(RegRoot root, const std::string& path, bool writable = false) = 0;
    // Create-or-open, writable; null on failure.
    virtual std::unique_ptr<RegistryKey> Create(RegRoot root, const std::string& path) = 0;
    // Deletes a key that has no subkeys.
    virtual bool DeleteKey(RegRoot root, const std::string& path) = 0;
    // HKEY_USERS of the named machine (a name or an address); null when it cannot be reached.
    virtual std::unique_ptr<RegistryKey> ConnectUsers(const std::string& machine) = 0;
};

}  // namespace updexar::platform
