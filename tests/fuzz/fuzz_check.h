// What every fuzz target shares. A target checks more than crashes: a promise its callers build on
// that does not hold aborts, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzcheck {
inline void Check(bool ok) { ok ? void() : std::abort(); }
}  // namespace fuzzcheck
using fuzzcheck::Check;

// Defines the target, whose body takes the input as the bytes of a string.
#define UPDEXAR_FUZZ_TARGET(input)                                                                       \
    static void FuzzOne(const std::string& input);                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                            \
        return FuzzOne(std::string(reinterpret_cast<const char*>(data), size)), 0;                       \
    }                                                                                                    \
    static void FuzzOne(const std::string& input)
