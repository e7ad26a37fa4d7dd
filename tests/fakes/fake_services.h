// A pretend service control manager: services the program creates (or a test adds), whose state
// Start and Stop change at once. fullAccessFails plays a user without administrator rights.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/services.h"

namespace updexar::fakes {

struct FakeService {
    std::string programPath;
    uint32_t state = platform::ServiceStopped;
};

class FakeServiceControl : public platform::ServiceControl {
public:
    bool fullAccessFails = false;
    // By name in upper case.
    std::map<std::string, FakeService> services;
    FakeService* Find(const std::string& name);

    std::unique_ptr<platform::ServiceManager> OpenManager(bool fullAccess) override;
};

}  // namespace updexar::fakes
