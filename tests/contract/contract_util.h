// Small helpers shared by the contract tests.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"

namespace updexar::contract {

// The run-time error number the call threw, 0 when it threw nothing.
template <typename Call>
int ErrorOf(Call call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

// Listings are compared as sets: the order is the file system's business.
inline std::set<std::string> AsSet(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace updexar::contract
