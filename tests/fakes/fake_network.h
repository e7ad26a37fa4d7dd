// This computer's name and address, and the other machines and accounts a test gives.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/network.h"

namespace updexar::fakes {

class FakeNetwork : public platform::Network {
public:
    std::string hostName = "WS01";
    std::string address = "192.168.1.10";

    std::string LocalHostName() override { return hostName; }
    std::string LocalAddress() override { return address; }
    // Other machines: address to name. Lookups may come from several threads at once.
    std::map<std::string, std::string> machines;
    // How long each lookup takes, in real time.
    int lookupMs = 0;

    std::string HostNameFromAddress(const std::string& dottedAddress) override {
        Wait();
        if (dottedAddress == address) return hostName;
        const auto it = machines.find(dottedAddress);
        return it == machines.end() ? std::string() : it->second;
    }
    std::string AddressFromHostName(const std::string& name) override {
        Wait();
        if (name == hostName) return address;
        for (const auto& [a, n] : machines)
            if (n == name) return a;
        return std::string();
    }
    void Wait() const {
        if (lookupMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(lookupMs));
    }
    // Accounts by their identifiers' sub-authorities, on every machine alike.
    std::map<std::vector<uint32_t>, platform::Account> accounts;
    std::optional<platform::Account> LookupNtAccount(const std::string&, const std::vector<uint32_t>& sub) override {
        const auto it = accounts.find(sub);
        if (it == accounts.end()) return std::nullopt;
        return it->second;
    }
};

}  // namespace updexar::fakes
