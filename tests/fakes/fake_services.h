// A service control manager that a user without administrator rights meets: it cannot be opened.
// No test of the program needs more yet.
#pragma once

#include <memory>

#include "platform/services.h"

namespace updexar::fakes {

class FakeServiceControl : public platform::ServiceControl {
public:
    std::unique_ptr<platform::ServiceManager> OpenManager(bool) override { return nullptr; }
};

}  // namespace updexar::fakes
