#include "win32/win32_network.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "platform/strings.h"
#include "win32/wide.h"

namespace updexar::win32 {
namespace {

// Winsock 1.1 for the length of one lookup; every call starts and releases it on its own.
class WinsockScope {
public:
    WinsockScope() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~WinsockScope() {
        if (started_) WSACleanup();
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// Winsock's host names are ANSI text.
std::string FromAnsi(const char* s) {
    if (!s || !*s) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return Narrow(wide);
}

std::string ToAnsi(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A name with an embedded NUL would be looked up cut short; refuse it instead.
bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

std::string FirstIpv4(const hostent* host) {
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
        !host->h_addr_list[0]) {
        return {};
    }
    in_addr address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    const char* dotted = inet_ntoa(address);
    return dotted ? std::string(dotted) : std::string();
}

std::string LookUpAddress(const std::string& name) {
    const std::string ansi = ToAnsi(name);
    if (ansi.empty() || HasNul(ansi)) return {};
    return FirstIpv4(gethostbyname(ansi.c_str()));
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return FromAnsi(name);
}

// Whether a machine name names this computer, in any of its name forms and letter cases.
bool IsThisComputer(std::wstring machine) {
    if (machine.rfind(L"\\\\", 0) == 0) machine.erase(0, 2);
    if (machine.empty()) return true;
    for (COMPUTER_NAME_FORMAT format : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        wchar_t own[256] = {};
        DWORD size = 256;
        if (GetComputerNameExW(format, own, &size) &&
            CompareStringOrdinal(machine.c_str(), -1, own, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string Win32Network::LocalHostName() {
    WinsockScope winsock;
    if (!winsock.Started()) return {};
    return HostName();
}

std::string Win32Network::LocalAddress() {
    WinsockScope winsock;
    if (!winsock.Started()) return {};
    const std::string name = HostName();
    return name.empty() ? std::string() : LookUpAddress(name);
}

std::string Win32Network::HostNameFromAddress(const std::string& dottedAddress) {
    const std::string text = Trim(dottedAddress);
    if (text.empty() || HasNul(text)) return {};
    WinsockScope winsock;
    if (!winsock.Started()) return {};
    // inet_addr answers all ones for malformed text too, so 255.255.255.255 is never looked up.
    const unsigned long address = inet_addr(text.c_str());
    if (address == INADDR_NONE) return {};
    const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
    return host ? FromAnsi(host->h_name) : std::string();
}

std::string Win32Network::AddressFromHostName(const std::string& name) {
    if (name.empty()) return {};
    WinsockScope winsock;
    if (!winsock.Started()) return {};
    return LookUpAddress(name);
}

std::optional<platform::Account> Win32Network::LookupNtAccount(const std::string& machine,
                                                               const std::vector<uint32_t>& subAuthorities) {
    if (subAuthorities.size() > 8) return std::nullopt;
    DWORD sub[8] = {};
    for (size_t i = 0; i < subAuthorities.size(); ++i) sub[i] = subAuthorities[i];
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, static_cast<BYTE>(subAuthorities.size()), sub[0], sub[1], sub[2], sub[3],
                                  sub[4], sub[5], sub[6], sub[7], &sid)) {
        return std::nullopt;
    }
    std::optional<platform::Account> account;
    if (IsValidSid(sid)) {
        // Wine refuses this computer's own name unless it is spelt exactly as GetComputerName gives it;
        // asking locally gives the same answer on Windows.
        const std::wstring system = IsThisComputer(Wide(machine)) ? std::wstring() : Wide(machine);
        wchar_t name[1024] = {};
        wchar_t domain[1024] = {};
        DWORD nameLength = 1024;
        DWORD domainLength = 1024;
        SID_NAME_USE use;
        if (LookupAccountSidW(system.empty() ? nullptr : system.c_str(), sid, name, &nameLength, domain,
                              &domainLength, &use)) {
            account = platform::Account{Narrow(domain, wcsnlen(domain, 1024)), Narrow(name, wcsnlen(name, 1024))};
        }
    }
    FreeSid(sid);
    return account;
}

}  // namespace updexar::win32
