// What the contract tests run against. The same tests run natively against the in-memory fakes
// and under Wine against the real Windows implementations, which keeps the fakes honest.
#pragma once

#include <string>

#include "platform/platform.h"

namespace updexar::contract {

struct ContractEnv {
    platform::FileSystem* files = nullptr;
    platform::Registry* registry = nullptr;
    platform::AnsiText* text = nullptr;
    platform::System* system = nullptr;  // reads its profile files through `files`
    // An existing, empty folder the tests may fill (Windows path, no trailing backslash).
    std::string scratchFolder;
    // A key below HKEY_CURRENT_USER the tests may create and fill.
    std::string scratchKey;
};

// Provided by the runner that links the contract tests.
ContractEnv& Env();

}  // namespace updexar::contract
