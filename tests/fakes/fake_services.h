// A pretend service control manager: services the program creates (or a test adds), whose state
// Start and Stop change at once. fullAccessFails plays a user without administrator rights.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/services.h"
#include "platform/strings.h"

namespace updexar::fakes {

struct FakeService {
    std::string programPath;
    uint32_t state = platform::ServiceStopped;
    // Stop leaves it stopping until the next look at its state, as Windows does; it will not start
    // while it stops.
    bool slowStop = false;
};

class FakeServiceControl : public platform::ServiceControl {
public:
    bool fullAccessFails = false;
    // By name in upper case.
    std::map<std::string, FakeService> services;
    FakeService* Find(const std::string& name) {
        const auto it = services.find(ToUpper(name));
        return it == services.end() ? nullptr : &it->second;
    }

    std::unique_ptr<platform::ServiceManager> OpenManager(bool fullAccess) override {
        if (fullAccess && fullAccessFails) return nullptr;
        return std::make_unique<Manager>(*this);
    }

private:
    class Service : public platform::Service {
    public:
        explicit Service(FakeService& s) : s_(s) {}
        std::optional<std::string> ProgramPath() override { return s_.programPath; }
        std::optional<uint32_t> State() override {
            return std::exchange(s_.state, s_.state == platform::ServiceStopPending ? platform::ServiceStopped : s_.state);
        }
        bool Stop() override { return Set(s_.slowStop ? platform::ServiceStopPending : platform::ServiceStopped); }
        bool Start() override { return s_.state != platform::ServiceStopPending && Set(platform::ServiceRunning); }
        bool Delete() override { return false; }

    private:
        bool Set(uint32_t state) {
            if (s_.state == state) return false;
            s_.state = state;
            return true;
        }
        FakeService& s_;
    };

    class Manager : public platform::ServiceManager {
    public:
        explicit Manager(FakeServiceControl& control) : c_(control) {}
        std::optional<std::vector<platform::ServiceEntry>> EnumerateAll() override {
            std::vector<platform::ServiceEntry> all;
            for (const auto& [name, s] : c_.services) all.push_back({name, "", 0x10, s.state, 0});
            return all;
        }
        std::unique_ptr<platform::Service> OpenService(const std::string& name, bool) override {
            FakeService* s = c_.Find(name);
            return s ? std::make_unique<Service>(*s) : nullptr;
        }
        std::unique_ptr<platform::Service> CreateService(const platform::NewService& service) override {
            if (c_.Find(service.name)) return nullptr;
            return std::make_unique<Service>(c_.services[ToUpper(service.name)] = FakeService{service.programPath});
        }

    private:
        FakeServiceControl& c_;
    };
};

}  // namespace updexar::fakes
