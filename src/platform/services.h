// The service control manager, handle by handle, so callers can tell which step failed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace updexar::platform {

enum ServiceState : uint32_t {
    ServiceStopped = 1,
    ServiceStartPending = 2,
    ServiceStopPending = 3,
    ServiceRunning = 4,
};

struct ServiceEntry {
    std::string name;
    std::string displayName;
    uint32_t type = 0;
    uint32_t state = 0;
    uint32_t processId = 0;
};

struct NewService {
    std::string name;
    std::string displayName;  // may be empty
    std::string programPath;  // used as given, no quotes added
    // Own process, automatic start, normal error control, LocalSystem with an empty password.
};

class Service {
public:
    virtual ~Service() = default;
    // The configured program path (the whole command line as stored); empty when unreadable.
    virtual std::optional<std::string> ProgramPath() = 0;
    virtual std::optional<uint32_t> State() = 0;
    // Sends the stop control.
    virtual bool Stop() = 0;
    // Starts without arguments.
    virtual bool Start() = 0;
    virtual bool Delete() = 0;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // All services of all types and states with their process information; empty when the
    // enumeration fails.
    virtual std::optional<std::vector<ServiceEntry>> EnumerateAll() = 0;
    // Null when the service cannot be opened.
    virtual std::unique_ptr<Service> OpenService(const std::string& name, bool fullAccess) = 0;
    // Null when it cannot be created (for example because it exists).
    virtual std::unique_ptr<Service> CreateService(const NewService& service) = 0;
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    // The manager of the active services database; null when it cannot be opened with that access.
    virtual std::unique_ptr<ServiceManager> OpenManager(bool fullAccess) = 0;
};

}  // namespace updexar::platform
