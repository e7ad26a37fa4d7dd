// Names and addresses of this and other computers, and accounts behind security identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace updexar::platform {

struct Account {
    std::string domain;
    std::string name;
};

class Network {
public:
    virtual ~Network() = default;
    virtual std::string LocalHostName() = 0;
    // Dotted IPv4 address of this computer; empty when unknown.
    virtual std::string LocalAddress() = 0;
    // Dotted address to computer name; empty when it does not resolve or is not an address.
    virtual std::string HostNameFromAddress(const std::string& dottedAddress) = 0;
    // First IPv4 address of the name, dotted; empty when it does not resolve.
    virtual std::string AddressFromHostName(const std::string& name) = 0;
    // The account of an NT-authority identifier (S-1-5-...) with the given sub-authorities,
    // looked up on the named machine; empty when the identifier is invalid or does not resolve.
    virtual std::optional<Account> LookupNtAccount(const std::string& machine,
                                                   const std::vector<uint32_t>& subAuthorities) = 0;
};

}  // namespace updexar::platform
