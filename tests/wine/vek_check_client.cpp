// The data-directory check's bytes as the client window makes them on this computer, for
// vek_check.py, which does the talking to the service:
//   vek_check_client.exe CODE TOKEN        the request for product CODE, then the machine key made
//                                          from this computer's drives, in hex, a line each
//   vek_check_client.exe CODE KEY ANSWER   what the check makes of the answer (both in hex)
#include <cstdio>
#include <string>

#include "server/vek_protocol.h"
#include "win32/win32_platform.h"

using namespace updexar;

namespace {

std::string Hex(const std::string& bytes) {
    std::string hex;
    char two[3];
    for (const unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3) {
        const std::string key = vek::MachineKey(win32::Win32Platform().files->Drives());
        std::printf("%s\n%s\n", Hex(vek::BuildRequest(argv[2], argv[1], key)).c_str(), Hex(key).c_str());
    } else if (argc == 4) {
        std::printf("%s\n", vek::ParseAnswer(Bytes(argv[3]), Bytes(argv[2]), argv[1]).c_str());
    } else {
        std::fputs("usage: vek_check_client.exe CODE TOKEN | CODE KEY ANSWER\n", stderr);
        return 2;
    }
    return 0;
}
