// A fuzz target checks more than crashes: a promise its callers build on that does not hold
// aborts, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>

namespace fuzzcheck {

inline void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace fuzzcheck
