// Host names and addresses through Winsock, and accounts through the security functions.
#pragma once

#include "platform/network.h"

namespace updexar::win32 {

class Win32Network : public platform::Network {
public:
    std::string LocalHostName() override;
    std::string LocalAddress() override;
    std::string HostNameFromAddress(const std::string& dottedAddress) override;
    std::string AddressFromHostName(const std::string& name) override;
    std::optional<platform::Account> LookupNtAccount(const std::string& machine,
                                                     const std::vector<uint32_t>& subAuthorities) override;
};

}  // namespace updexar::win32
