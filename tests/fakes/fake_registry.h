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
    struct KeyNode;

    // Upper-case names of the machines whose HKEY_USERS can be reached (it is this one's).
    std::vector<std::string> reachable;

    FakeRegistry();
    ~FakeRegistry() override;
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    // --- platform::Registry
    std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                                bool writable = false) override;
    std::unique_ptr<platform::RegistryKey> Create(platform::RegRoot root, const std::string& path) override;
    bool DeleteKey(platform::RegRoot root, const std::string& path) override;
    std::unique_ptr<platform::RegistryKey> ConnectUsers(const std::string& machine) override;

private:
    std::shared_ptr<KeyNode> RootNode(platform::RegRoot root);
    std::unique_ptr<platform::RegistryKey> CreateBelow(const std::shared_ptr<KeyNode>& top, const std::string& path);

    std::map<platform::RegRoot, std::shared_ptr<KeyNode>> roots_;
};

}  // namespace updexar::fakes
