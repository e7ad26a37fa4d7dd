#include "fakes/fake_registry.h"

#include <algorithm>

#include "platform/strings.h"

namespace updexar::fakes {

using platform::RegRoot;
using Key = FakeRegistry::Key;

namespace {

constexpr long kKeyDeleted = 1018;

// The key's map name and the names of its parts as given.
std::string Id(RegRoot root, const std::string& path, std::vector<std::string>* parts = nullptr) {
    std::string id = std::to_string(static_cast<int>(root));
    for (const std::string& part : Split(path, "\\")) {
        if (part.empty()) continue;
        id += "\\" + ToUpper(part);
        if (parts) parts->push_back(part);
    }
    return id;
}

class FakeKey : public platform::RegistryKey {
public:
    FakeKey(const FakeRegistry& registry, std::string id, std::shared_ptr<Key> key, bool writable)
        : registry_(registry), id_(std::move(id)), key_(std::move(key)), writable_(writable) {}

    std::optional<platform::RegValue> QueryValue(const std::string& name) override {
        const auto it = Find(name);
        if (key_->deleted || it == key_->values.end()) return std::nullopt;
        return it->second;
    }
    bool SetString(const std::string& name, const std::string& text) override {
        return Set(name, platform::RegValue{platform::RegSz, text, 0, {}});
    }
    bool SetDword(const std::string& name, uint32_t value) override {
        return Set(name, platform::RegValue{platform::RegDword, "", value, {}});
    }
    bool DeleteValue(const std::string& name) override {
        const auto it = Find(name);
        if (!writable_ || key_->deleted || it == key_->values.end()) return false;
        key_->values.erase(it);
        return true;
    }
    long EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars) override {
        if (key_->deleted) return kKeyDeleted;
        const auto subkeys = registry_.Subkeys(id_);
        if (index >= subkeys.size()) return platform::RegNoMoreItems;
        if (subkeys[index]->name.size() + 1 > bufferChars) return platform::RegMoreData;
        name = subkeys[index]->name;
        return platform::RegOk;
    }

private:
    std::vector<std::pair<std::string, platform::RegValue>>::iterator Find(const std::string& name) {
        return std::find_if(key_->values.begin(), key_->values.end(), [&](const auto& v) { return EqualsNoCase(v.first, name); });
    }
    bool Set(const std::string& name, const platform::RegValue& value) {
        if (!writable_ || key_->deleted) return false;
        if (const auto it = Find(name); it != key_->values.end()) it->second = value;  // the name keeps its first case
        else key_->values.emplace_back(name, value);
        return true;
    }

    const FakeRegistry& registry_;
    std::string id_;
    std::shared_ptr<Key> key_;
    bool writable_;
};

}  // namespace

FakeRegistry::FakeRegistry() {
    for (RegRoot r : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::Users})
        keys_[Id(r, "")] = std::make_shared<Key>();
}

std::vector<std::shared_ptr<Key>> FakeRegistry::Subkeys(const std::string& id) const {
    std::vector<std::shared_ptr<Key>> out;
    for (const auto& [k, key] : keys_)
        if (k.size() > id.size() + 1 && k.compare(0, id.size() + 1, id + "\\") == 0 &&
            k.find('\\', id.size() + 1) == std::string::npos)
            out.push_back(key);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->made < b->made; });
    return out;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Open(RegRoot root, const std::string& path, bool writable) {
    const std::string id = Id(root, path);
    const auto it = keys_.find(id);
    return it == keys_.end() ? nullptr : std::make_unique<FakeKey>(*this, id, it->second, writable);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Create(RegRoot root, const std::string& path) {
    std::vector<std::string> parts;
    Id(root, path, &parts);
    std::string id = Id(root, "");
    for (const std::string& part : parts) {
        id += "\\" + ToUpper(part);
        if (!keys_.count(id)) keys_[id] = std::make_shared<Key>(Key{part, ++made_, {}, false});
    }
    return std::make_unique<FakeKey>(*this, id, keys_[id], true);
}

// A key with subkeys is refused, as by the real call.
bool FakeRegistry::DeleteKey(RegRoot root, const std::string& path) {
    const std::string id = Id(root, path);
    const auto it = keys_.find(id);
    if (id == Id(root, "") || it == keys_.end() || !Subkeys(id).empty()) return false;
    it->second->deleted = true;
    keys_.erase(it);
    return true;
}

// Machines not named in `reachable` are treated as switched off.
std::unique_ptr<platform::RegistryKey> FakeRegistry::ConnectUsers(const std::string& machine) {
    for (const std::string& name : reachable)
        if (EqualsNoCase(name, machine)) return Open(RegRoot::Users, "");
    return nullptr;
}

}  // namespace updexar::fakes
