// Packing and unpacking of a saved machine list of 1,000 machines: the text the main window
// would build, packed as it is saved and unpacked as it is loaded. Prints figures; nothing here
// passes or fails on a time.
//
//   login_list_bench [--machines N] [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/login_list.h"
#include "core/machine_list.h"

using namespace updexar;

namespace {

// Names, addresses and logins as an office network has them: department machines with
// numbers, a few servers, domain and local accounts, passwords of mixed characters.
std::vector<SavedMachine> OfficeMachines(int count) {
    static const char* const departments[] = {"ACCT", "SALES", "STORE", "HR", "FRONTDESK", "WAREHOUSE",
                                              "PAYROLL", "MGMT", "BILLING", "SRV"};
    static const char* const users[] = {"administrator", "CORP\\jsmith", "CORP\\mgarcia", "CORP\\svc-update",
                                        "clerk", "CORP\\a.nowak", "support", "CORP\\lchen"};
    static const char passwordChars[] =
        "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!@#$%&*?-_";
    std::mt19937 random(20261206);
    std::vector<SavedMachine> machines;
    machines.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        SavedMachine m;
        const bool byName = random() % 4 != 0;
        m.nameCheck = byName ? "1" : "2";
        char name[32];
        std::snprintf(name, sizeof name, "%s-PC%03d", departments[random() % 10], i % 1000);
        m.name = name;
        m.addressCheck = byName ? "2" : "1";
        m.address = "192.168." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
        m.user = users[random() % 8];
        const size_t length = 8 + random() % 7;
        for (size_t c = 0; c < length; ++c) m.password += passwordChars[random() % (sizeof passwordChars - 1)];
        machines.push_back(std::move(m));
    }
    return machines;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int machinesWanted = 1000, rounds = 51;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--machines") == 0) machinesWanted = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    }
    machinesWanted = std::max(machinesWanted, 1);
    rounds = std::max(rounds, 1);

    const std::string text = MachineListText(OfficeMachines(machinesWanted));
    const std::vector<uint8_t> plain(text.begin(), text.end());
    std::vector<uint8_t> block;
    std::vector<double> packMs, unpackMs;
    bool same = true;
    using Clock = std::chrono::steady_clock;
    for (int r = 0; r < rounds; ++r) {
        block = plain;
        auto start = Clock::now();
        if (!PackLoginList(block)) {
            std::printf("packing failed\n");
            return 1;
        }
        packMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

        std::vector<uint8_t> back = block;
        start = Clock::now();
        const bool unpacked = UnpackLoginList(back);
        unpackMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        same = same && unpacked && back == plain;
    }

    std::printf("machines          %d\n", machinesWanted);
    std::printf("list text         %zu bytes\n", plain.size());
    std::printf("packed block      %zu bytes (%.1f%% of the text)\n", block.size(),
                100.0 * static_cast<double>(block.size()) / static_cast<double>(plain.size()));
    std::printf("pack              %.3f ms (median of %d; fastest %.3f ms)\n", Median(packMs), rounds,
                *std::min_element(packMs.begin(), packMs.end()));
    std::printf("unpack            %.3f ms (median of %d; fastest %.3f ms)\n", Median(unpackMs), rounds,
                *std::min_element(unpackMs.begin(), unpackMs.end()));
    std::printf("unpacked == text  %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
