// Where the current product is installed and where its shared data lives, from the registry.
#pragma once

#include <string>

namespace updexar {

struct ProductPaths {
    std::string dataDir;     // may be a network path
    std::string installDir;  // always local; empty when no valid one is recorded
};

// The paths of the product in the shared record; both empty for the no-product key "O".
// Never fails: what cannot be read stays empty.
ProductPaths ResolveProductPaths();

// The registry value that records the installation directory of a product key: "EXEPath" for
// Aldova and Dorvel, "Path" under the Corvane key for Eskarn, "InstallPath" for all others.
struct InstallPathValue {
    std::string key;
    std::string name;
};
InstallPathValue InstallPathValueOf(const std::string& productKey);

}  // namespace updexar
