// A pretend service control manager: services a test adds or the program creates, with states
// that Start and Stop change at once, and every control call recorded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_processes.h"
#include "platform/services.h"

namespace updexar::fakes {

struct FakeServiceInfo {
    std::string name{};
    std::string displayName{};
    std::string programPath{};
    uint32_t type = 0x10;  // own process
    uint32_t state = platform::ServiceStopped;
    uint32_t processId = 0;
    bool startFails = false;  // as for a program path the manager cannot find
    bool stopFails = false;   // a service that does not accept the stop control
    bool markedForDelete = false;
};

struct ServiceCall {
    std::string action;  // "Create", "Start", "Stop", "Delete"
    std::string name;
    bool ok = false;
};

class FakeServiceControl : public platform::ServiceControl {
public:
    FakeServiceInfo& AddService(const FakeServiceInfo& info);
    // Null when there is no such service (names compare without regard to case).
    FakeServiceInfo* Find(const std::string& name);

    bool managerFails = false;      // OpenManager fails whatever the access
    bool fullAccessFails = false;   // OpenManager(true) fails, as for a user without rights
    bool enumerationFails = false;
    // When set, a started service's program runs there (and one killed there is stopped).
    FakeProcesses* processes = nullptr;

    std::vector<ServiceCall> calls;

    std::unique_ptr<platform::ServiceManager> OpenManager(bool fullAccess) override;

    // For the manager and service handles.
    std::shared_ptr<FakeServiceInfo> Shared(const std::string& name);
    void Refresh(FakeServiceInfo& service);
    void Drop(const FakeServiceInfo& service);
    uint32_t NewProcessId();
    std::vector<std::shared_ptr<FakeServiceInfo>>& All() { return services_; }

private:
    std::vector<std::shared_ptr<FakeServiceInfo>> services_;
    uint32_t nextPid_ = 2000;
};

}  // namespace updexar::fakes
