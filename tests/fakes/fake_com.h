// COM self-registration that succeeds for every library present on the fake file system (but
// those a test says fail) and fails to load the others.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/filesystem.h"

namespace updexar::fakes {

class FakeComRegistration : public platform::ComRegistration {
public:
    explicit FakeComRegistration(platform::FileSystem& files) : files_(files) {}
    // Every library asked to register (true) or unregister, in order.
    std::vector<std::pair<std::string, bool>> calls;
    // Libraries whose registration entry points answer E_FAIL.
    std::set<std::string> failing;

    platform::SelfRegResult CallSelfRegistration(const std::string& libraryPath, bool registerServer) override {
        calls.emplace_back(libraryPath, registerServer);
        if (!files_.FileExists(libraryPath)) return {platform::SelfRegOutcome::LoadFailed, 0};
        return {platform::SelfRegOutcome::Called, failing.count(libraryPath) ? int32_t(0x80004005) : 0};
    }

private:
    platform::FileSystem& files_;
};

}  // namespace updexar::fakes
