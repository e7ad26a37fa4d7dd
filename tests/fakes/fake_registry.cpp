#include "fakes/fake_registry.h"

#include <algorithm>

#include "platform/strings.h"

namespace updexar::fakes {

using platform::RegRoot;

struct FakeRegistry::KeyNode {
    std::string name;
    std::string upper;
    std::vector<std::shared_ptr<KeyNode>> subkeys;
    std::vector<std::pair<std::string, platform::RegValue>> values;
    bool deleted = false;

    std::shared_ptr<KeyNode> Sub(const std::string& keyName) const {
        const std::string u = ToUpper(keyName);
        for (const auto& k : subkeys)
            if (k->upper == u) return k;
        return nullptr;
    }
    platform::RegValue* Value(const std::string& valueName) {
        for (auto& v : values)
            if (EqualsNoCase(v.first, valueName)) return &v.second;
        return nullptr;
    }
};

namespace {

constexpr long kKeyDeleted = 1018;

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

std::shared_ptr<FakeRegistry::KeyNode> Walk(std::shared_ptr<FakeRegistry::KeyNode> node, const std::string& path) {
    for (const auto& part : SplitKeyPath(path)) {
        if (!node) break;
        node = node->Sub(part);
    }
    return node;
}

// Names count in UTF-16 units, as the registry's buffers do.
size_t Utf16Length(const std::string& utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) == 0x80) continue;
        n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

class FakeRegistryKey : public platform::RegistryKey {
public:
    FakeRegistryKey(std::shared_ptr<FakeRegistry::KeyNode> node, bool writable)
        : node_(std::move(node)), writable_(writable) {}

    std::optional<platform::RegValue> QueryValue(const std::string& name) override {
        if (node_->deleted) return std::nullopt;
        const platform::RegValue* v = node_->Value(name);
        if (!v) return std::nullopt;
        platform::RegValue out = *v;
        // Text stored with its terminating NUL reads back without it, as through the real calls.
        if ((out.type == platform::RegSz || out.type == platform::RegExpandSz) && !out.text.empty() &&
            out.text.back() == '\0')
            out.text.pop_back();
        return out;
    }

    bool SetString(const std::string& name, const std::string& text) override {
        platform::RegValue v;
        v.type = platform::RegSz;
        v.text = text;
        return Set(name, v);
    }

    bool SetDword(const std::string& name, uint32_t value) override {
        platform::RegValue v;
        v.type = platform::RegDword;
        v.dword = value;
        return Set(name, v);
    }

    bool DeleteValue(const std::string& name) override {
        if (!writable_ || node_->deleted) return false;
        auto& values = node_->values;
        const auto it = std::find_if(values.begin(), values.end(),
                                     [&](const auto& v) { return EqualsNoCase(v.first, name); });
        if (it == values.end()) return false;
        values.erase(it);
        return true;
    }

    long EnumSubKey(uint32_t index, std::string& name, uint32_t bufferChars) override {
        if (node_->deleted) return kKeyDeleted;
        if (index >= node_->subkeys.size()) return platform::RegNoMoreItems;
        const std::string& found = node_->subkeys[index]->name;
        if (Utf16Length(found) + 1 > bufferChars) return platform::RegMoreData;
        name = found;
        return platform::RegOk;
    }

private:
    bool Set(const std::string& name, const platform::RegValue& value) {
        if (!writable_ || node_->deleted) return false;
        if (platform::RegValue* existing = node_->Value(name)) {
            *existing = value;  // the name keeps the case it was first written with
        } else {
            node_->values.emplace_back(name, value);
        }
        return true;
    }

    std::shared_ptr<FakeRegistry::KeyNode> node_;
    bool writable_;
};

}  // namespace

FakeRegistry::FakeRegistry() {
    for (RegRoot r : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::Users})
        roots_[r] = std::make_shared<KeyNode>();
}

FakeRegistry::~FakeRegistry() = default;

std::shared_ptr<FakeRegistry::KeyNode> FakeRegistry::RootNode(RegRoot root) { return roots_.at(root); }

std::unique_ptr<platform::RegistryKey> FakeRegistry::CreateBelow(const std::shared_ptr<KeyNode>& top,
                                                                 const std::string& path) {
    std::shared_ptr<KeyNode> node = top;
    for (const auto& part : SplitKeyPath(path)) {
        auto next = node->Sub(part);
        if (!next) {
            next = std::make_shared<KeyNode>();
            next->name = part;
            next->upper = ToUpper(part);
            node->subkeys.push_back(next);
        }
        node = next;
    }
    return std::make_unique<FakeRegistryKey>(node, true);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Open(RegRoot root, const std::string& path, bool writable) {
    auto node = Walk(RootNode(root), path);
    if (!node) return nullptr;
    return std::make_unique<FakeRegistryKey>(node, writable);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Create(RegRoot root, const std::string& path) {
    return CreateBelow(RootNode(root), path);
}

bool FakeRegistry::DeleteKey(RegRoot root, const std::string& path) {
    const auto parts = SplitKeyPath(path);
    if (parts.empty()) return false;
    std::shared_ptr<KeyNode> parent = RootNode(root);
    for (size_t i = 0; i + 1 < parts.size() && parent; ++i) parent = parent->Sub(parts[i]);
    if (!parent) return false;
    auto node = parent->Sub(parts.back());
    // A key with subkeys is refused, as by the real call.
    if (!node || !node->subkeys.empty()) return false;
    node->deleted = true;
    parent->subkeys.erase(std::find(parent->subkeys.begin(), parent->subkeys.end(), node));
    return true;
}

// Machines not named in `reachable` are treated as switched off.
std::unique_ptr<platform::RegistryKey> FakeRegistry::ConnectUsers(const std::string& machine) {
    for (const std::string& name : reachable)
        if (EqualsNoCase(name, machine)) return Open(platform::RegRoot::Users, "");
    return nullptr;
}

}  // namespace updexar::fakes
