// This computer's name and address; nothing else resolves and no account is known.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/network.h"

namespace updexar::fakes {

class FakeNetwork : public platform::Network {
public:
    std::string hostName = "WS01";
    std::string address = "192.168.1.10";

    std::string LocalHostName() override { return hostName; }
    std::string LocalAddress() override { return address; }
    std::string HostNameFromAddress(const std::string& dottedAddress) override {
        return dottedAddress == address ? hostName : std::string();
    }
    std::string AddressFromHostName(const std::string& name) override {
        return name == hostName ? address : std::string();
    }
    std::optional<platform::Account> LookupNtAccount(const std::string&, const std::vector<uint32_t>&) override {
        return std::nullopt;
    }
};

}  // namespace updexar::fakes
