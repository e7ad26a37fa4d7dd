#include "fakes/fake_network.h"

#include <cctype>

#include "platform/strings.h"

namespace updexar::fakes {
namespace {

// Four numbers 0..255 separated by dots, nothing else.
bool IsDottedAddress(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (i < text.size()) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.') return false;
        ++i;
        if (i == text.size()) return false;
    }
    return parts == 4;
}

}  // namespace

FakeNetwork::FakeNetwork() { AddHost("localhost", "127.0.0.1"); }

void FakeNetwork::AddHost(const std::string& name, const std::string& dottedAddress) {
    AddForward(name, dottedAddress);
    AddReverse(dottedAddress, name);
}

void FakeNetwork::AddForward(const std::string& name, const std::string& dottedAddress) {
    forward_[ToUpper(name)] = dottedAddress;
}

void FakeNetwork::AddReverse(const std::string& dottedAddress, const std::string& name) {
    reverse_[dottedAddress] = name;
}

std::string FakeNetwork::MachineKey(const std::string& machine) const {
    std::string m = machine;
    if (m.rfind("\\\\", 0) == 0) m.erase(0, 2);
    // This computer under any spelling is one entry, whatever hostName is set to later.
    return m.empty() || EqualsNoCase(m, hostName) ? std::string() : ToUpper(m);
}

void FakeNetwork::AddAccount(const std::string& machine, const std::string& sidText, const platform::Account& account) {
    accounts_[{MachineKey(machine), ToUpper(sidText)}] = account;
}

std::string FakeNetwork::SidText(const std::vector<uint32_t>& subAuthorities) {
    std::string text = "S-1-5";
    for (uint32_t s : subAuthorities) text += "-" + std::to_string(s);
    return text;
}

std::string FakeNetwork::HostNameFromAddress(const std::string& dottedAddress) {
    const std::string text = Trim(dottedAddress);
    if (!IsDottedAddress(text)) return {};
    if (text == address && !reverse_.count(text)) return hostName;
    const auto it = reverse_.find(text);
    return it == reverse_.end() ? std::string() : it->second;
}

std::string FakeNetwork::AddressFromHostName(const std::string& name) {
    if (name.empty()) return {};
    // An address stands for itself, as the resolver answers.
    if (IsDottedAddress(name)) return name;
    const auto it = forward_.find(ToUpper(name));
    if (it != forward_.end()) return it->second;
    return EqualsNoCase(name, hostName) ? address : std::string();
}

std::optional<platform::Account> FakeNetwork::LookupNtAccount(const std::string& machine,
                                                              const std::vector<uint32_t>& subAuthorities) {
    const std::string sid = SidText(subAuthorities);
    accountLookups.emplace_back(machine, sid);
    if (subAuthorities.empty() || subAuthorities.size() > 8) return std::nullopt;
    const auto it = accounts_.find({MachineKey(machine), ToUpper(sid)});
    if (it == accounts_.end()) return std::nullopt;
    return it->second;
}

}  // namespace updexar::fakes
