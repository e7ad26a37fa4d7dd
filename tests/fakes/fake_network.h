// Names, addresses and accounts from tables a test fills.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/network.h"

namespace updexar::fakes {

class FakeNetwork : public platform::Network {
public:
    FakeNetwork();

    std::string hostName = "WS01";
    std::string address = "192.168.1.10";

    // Both directions; the reverse answer is the name as given.
    void AddHost(const std::string& name, const std::string& dottedAddress);
    void AddForward(const std::string& name, const std::string& dottedAddress);
    void AddReverse(const std::string& dottedAddress, const std::string& name);
    // The account behind "S-1-5-..." on a machine ("" or this computer's name: this computer).
    void AddAccount(const std::string& machine, const std::string& sidText, const platform::Account& account);
    // "S-1-5-21-1-2-3-1001" for {21, 1, 2, 3, 1001}.
    static std::string SidText(const std::vector<uint32_t>& subAuthorities);

    // Every account lookup: machine as given and the identifier's text.
    std::vector<std::pair<std::string, std::string>> accountLookups;

    std::string LocalHostName() override { return hostName; }
    std::string LocalAddress() override { return address; }
    std::string HostNameFromAddress(const std::string& dottedAddress) override;
    std::string AddressFromHostName(const std::string& name) override;
    std::optional<platform::Account> LookupNtAccount(const std::string& machine,
                                                     const std::vector<uint32_t>& subAuthorities) override;

private:
    std::string MachineKey(const std::string& machine) const;
    std::map<std::string, std::string> forward_;  // upper-case name -> address
    std::map<std::string, std::string> reverse_;  // address -> name
    std::map<std::pair<std::string, std::string>, platform::Account> accounts_;
};

}  // namespace updexar::fakes
