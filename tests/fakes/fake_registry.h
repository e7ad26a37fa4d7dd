// An in-memory registry: keys and value names compare without regard to case and keep the case
// they were made with, values are typed, subkeys are listed in creation order (the real registry
// sorts them; callers must not depend on either). The machines a test names reach its own
// HKEY_USERS; others are out of reach.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace updexar::fakes {

class FakeRegistry : public platform::Registry {
public:
    // Upper-case names of the machines whose HKEY_USERS can be reached (it is this one's).
    std::vector<std::string> reachable;

    FakeRegistry();
    std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                                bool writable = false) override;
    std::unique_ptr<platform::RegistryKey> Create(platform::RegRoot root, const std::string& path) override;
    bool DeleteKey(platform::RegRoot root, const std::string& path) override;
    std::unique_ptr<platform::RegistryKey> ConnectUsers(const std::string& machine) override;

    struct Key {
        std::string name;
        uint64_t made = 0;
        std::vector<std::pair<std::string, platform::RegValue>> values;
        bool deleted = false;
    };
    // The subkeys of a key (by its map name), in creation order.
    std::vector<std::shared_ptr<Key>> Subkeys(const std::string& id) const;

private:
    // By root number and upper-case path: "2\SOFTWARE\VEKINFO"; a root is its number alone.
    std::map<std::string, std::shared_ptr<Key>> keys_;
    uint64_t made_ = 0;
};

}  // namespace updexar::fakes
