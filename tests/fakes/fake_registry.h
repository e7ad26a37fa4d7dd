// An in-memory registry: keys and value names compare without regard to case and keep the case
// they were made with, values are typed, subkeys are listed in creation order (the real registry
// sorts them; callers must not depend on either). Remote machines are named trees a test sets up.
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

    FakeRegistry();
    ~FakeRegistry() override;
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    // --- set-up by tests
    // Any value type, the key made when missing.
    void SetValue(platform::RegRoot root, const std::string& path, const std::string& name,
                  const platform::RegValue& value);
    bool KeyExists(platform::RegRoot root, const std::string& path);
    // Opening (or, with writeOnly, opening for writing and creating below) the key is refused,
    // as for a key whose rights the user lacks.
    void DenyAccess(platform::RegRoot root, const std::string& path, bool writeOnly = false);
    // This computer's name: ConnectUsers with it reaches the local HKEY_USERS.
    void SetLocalMachineName(const std::string& name);
    // A reachable remote machine with an empty HKEY_USERS; aliases (an address, say) reach the same.
    void AddRemoteMachine(const std::string& name);
    void AddRemoteAlias(const std::string& alias, const std::string& machine);
    // A key below a remote machine's HKEY_USERS, made when missing; null for unknown machines.
    std::unique_ptr<platform::RegistryKey> CreateRemote(const std::string& machine, const std::string& path);
    // Every machine name ConnectUsers was asked for, as given.
    const std::vector<std::string>& ConnectAttempts() const { return connectAttempts_; }

    // --- platform::Registry
    std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                                bool writable = false) override;
    std::unique_ptr<platform::RegistryKey> Create(platform::RegRoot root, const std::string& path) override;
    bool DeleteKey(platform::RegRoot root, const std::string& path) override;
    std::unique_ptr<platform::RegistryKey> ConnectUsers(const std::string& machine) override;

private:
    std::shared_ptr<KeyNode> RootNode(platform::RegRoot root);
    std::shared_ptr<KeyNode> RemoteRoot(const std::string& machine);
    std::unique_ptr<platform::RegistryKey> CreateBelow(const std::shared_ptr<KeyNode>& top, const std::string& path);

    std::map<platform::RegRoot, std::shared_ptr<KeyNode>> roots_;
    std::map<std::string, std::shared_ptr<KeyNode>> remotes_;  // upper-case machine name
    std::string localName_;
    std::vector<std::string> connectAttempts_;
};

}  // namespace updexar::fakes
