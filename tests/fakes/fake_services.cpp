#include "fakes/fake_services.h"

#include <algorithm>

#include "platform/strings.h"

namespace updexar::fakes {
namespace {

class FakeService : public platform::Service {
public:
    FakeService(FakeServiceControl& control, std::shared_ptr<FakeServiceInfo> info, bool fullAccess)
        : control_(control), info_(std::move(info)), full_(fullAccess) {}

    std::optional<std::string> ProgramPath() override { return info_->programPath; }

    std::optional<uint32_t> State() override {
        control_.Refresh(*info_);
        return info_->state;
    }

    bool Stop() override {
        control_.Refresh(*info_);
        const bool ok = full_ && !info_->stopFails && info_->state == platform::ServiceRunning;
        if (ok) {
            if (control_.processes && info_->processId) control_.processes->Remove(info_->processId);
            info_->state = platform::ServiceStopped;
            info_->processId = 0;
            if (info_->markedForDelete) control_.Drop(*info_);
        }
        control_.calls.push_back({"Stop", info_->name, ok});
        return ok;
    }

    bool Start() override {
        control_.Refresh(*info_);
        const bool ok = full_ && !info_->startFails && !info_->markedForDelete &&
                        info_->state == platform::ServiceStopped;
        if (ok) {
            info_->state = platform::ServiceRunning;
            if (control_.processes) {
                info_->processId = control_.processes->AddProcess(PathFileName(ProgramOfCommandLine(info_->programPath)));
            } else {
                info_->processId = control_.NewProcessId();
            }
        }
        control_.calls.push_back({"Start", info_->name, ok});
        return ok;
    }

    bool Delete() override {
        const bool ok = full_ && !info_->markedForDelete;
        if (ok) {
            // A running service goes when it stops, as with the real manager.
            info_->markedForDelete = true;
            control_.Refresh(*info_);
            if (info_->state == platform::ServiceStopped) control_.Drop(*info_);
        }
        control_.calls.push_back({"Delete", info_->name, ok});
        return ok;
    }

private:
    FakeServiceControl& control_;
    std::shared_ptr<FakeServiceInfo> info_;
    bool full_;
};

class FakeServiceManager : public platform::ServiceManager {
public:
    explicit FakeServiceManager(FakeServiceControl& control) : control_(control) {}

    std::optional<std::vector<platform::ServiceEntry>> EnumerateAll() override {
        if (control_.enumerationFails) return std::nullopt;
        std::vector<platform::ServiceEntry> out;
        const auto services = control_.All();  // refreshing may drop one
        for (const auto& s : services) {
            control_.Refresh(*s);
            if (s->markedForDelete && s->state == platform::ServiceStopped) continue;
            out.push_back({s->name, s->displayName, s->type, s->state, s->processId});
        }
        return out;
    }

    std::unique_ptr<platform::Service> OpenService(const std::string& name, bool fullAccess) override {
        auto info = control_.Shared(name);
        if (!info) return nullptr;
        return std::make_unique<FakeService>(control_, info, fullAccess);
    }

    std::unique_ptr<platform::Service> CreateService(const platform::NewService& service) override {
        const bool ok = !service.name.empty() && !control_.Find(service.name);
        control_.calls.push_back({"Create", service.name, ok});
        if (!ok) return nullptr;
        FakeServiceInfo info;
        info.name = service.name;
        info.displayName = service.displayName.empty() ? service.name : service.displayName;
        info.programPath = service.programPath;
        control_.AddService(info);
        return std::make_unique<FakeService>(control_, control_.Shared(service.name), true);
    }

private:
    FakeServiceControl& control_;
};

}  // namespace

FakeServiceInfo& FakeServiceControl::AddService(const FakeServiceInfo& info) {
    services_.push_back(std::make_shared<FakeServiceInfo>(info));
    FakeServiceInfo& added = *services_.back();
    if (added.state == platform::ServiceRunning && processes && added.processId == 0)
        added.processId = processes->AddProcess(PathFileName(ProgramOfCommandLine(added.programPath)));
    return added;
}

FakeServiceInfo* FakeServiceControl::Find(const std::string& name) { return Shared(name).get(); }

std::shared_ptr<FakeServiceInfo> FakeServiceControl::Shared(const std::string& name) {
    for (const auto& s : services_)
        if (EqualsNoCase(s->name, name)) return s;
    return nullptr;
}

void FakeServiceControl::Refresh(FakeServiceInfo& service) {
    // A service whose process was killed has stopped.
    if (processes && service.state == platform::ServiceRunning && service.processId &&
        !processes->IsRunning(service.processId)) {
        service.state = platform::ServiceStopped;
        service.processId = 0;
        if (service.markedForDelete) Drop(service);
    }
}

void FakeServiceControl::Drop(const FakeServiceInfo& service) {
    services_.erase(std::remove_if(services_.begin(), services_.end(),
                                   [&](const auto& s) { return s.get() == &service; }),
                    services_.end());
}

uint32_t FakeServiceControl::NewProcessId() { return nextPid_ += 4; }

std::unique_ptr<platform::ServiceManager> FakeServiceControl::OpenManager(bool fullAccess) {
    if (managerFails || (fullAccess && fullAccessFails)) return nullptr;
    return std::make_unique<FakeServiceManager>(*this);
}

}  // namespace updexar::fakes
