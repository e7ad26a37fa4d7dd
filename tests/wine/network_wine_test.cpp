#include <gtest/gtest.h>

#include "platform/strings.h"
#include "system_wine_util.h"
#include "win32/win32_network.h"

namespace updexar {
namespace {

bool IsDottedIpv4(const std::string& text) {
    int parts = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

TEST(NetworkWine, NamesAndAddressesOfThisComputer) {
    win32::Win32Network network;
    const std::string host = network.LocalHostName();
    ASSERT_FALSE(host.empty());
    const std::string address = network.LocalAddress();
    EXPECT_TRUE(IsDottedIpv4(address)) << address;
    EXPECT_EQ(network.AddressFromHostName(host), address);
    EXPECT_EQ(network.AddressFromHostName("localhost"), "127.0.0.1");
    // Each call starts and releases Winsock itself, so calls in a row keep working.
    EXPECT_EQ(network.AddressFromHostName("127.0.0.1"), "127.0.0.1");
}

TEST(NetworkWine, LookupsThatFindNothingGiveEmptyText) {
    win32::Win32Network network;
    EXPECT_EQ(network.HostNameFromAddress("junk"), "");
    EXPECT_EQ(network.HostNameFromAddress(""), "");
    EXPECT_EQ(network.HostNameFromAddress("1.2.3.4.5"), "");
    EXPECT_EQ(network.HostNameFromAddress(std::string("127.0.0.1\0x", 11)), "");
    EXPECT_EQ(network.AddressFromHostName(""), "");
    EXPECT_EQ(network.AddressFromHostName("no-such-host.invalid"), "");
    // The loopback address does resolve, blanks around it notwithstanding.
    EXPECT_FALSE(network.HostNameFromAddress(" 127.0.0.1 ").empty());
}

TEST(NetworkWine, AccountsOfNtAuthorityIdentifiers) {
    win32::Win32Network network;
    const auto system = network.LookupNtAccount("", {18});
    ASSERT_TRUE(system.has_value());
    EXPECT_FALSE(system->name.empty());
    EXPECT_FALSE(system->domain.empty());
    // The same account when this machine is named, in whatever case and form.
    for (const std::string& machine : {ToLower(network.LocalHostName()), "\\\\" + network.LocalHostName()}) {
        const auto named = network.LookupNtAccount(machine, {18});
        ASSERT_TRUE(named.has_value()) << machine;
        EXPECT_EQ(named->name, system->name);
    }

    const auto admins = network.LookupNtAccount("", {32, 544});
    ASSERT_TRUE(admins.has_value());
    EXPECT_TRUE(EqualsNoCase(admins->name, "Administrators")) << admins->name;

    EXPECT_FALSE(network.LookupNtAccount("", {21, 1, 2, 3, 4, 5, 6, 7, 8}).has_value()) << "more than 8";
    EXPECT_FALSE(network.LookupNtAccount("", {21, 4294967295u, 1, 2, 98765}).has_value());
}

}  // namespace
}  // namespace updexar
