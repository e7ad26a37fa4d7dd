// COM self-registration that records each call and answers what the test configured per library.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/filesystem.h"

namespace updexar::fakes {

struct SelfRegCall {
    std::string path;
    bool registerServer = false;
};

class FakeComRegistration : public platform::ComRegistration {
public:
    // What calls for this library answer (paths compare without regard to case).
    void SetOutcome(const std::string& libraryPath, platform::SelfRegResult result);

    // For libraries without an outcome of their own: a successful call, unless `files` is set and
    // the library is not there, which fails to load.
    platform::SelfRegResult defaultResult{platform::SelfRegOutcome::Called, 0};
    platform::FileSystem* files = nullptr;

    std::vector<SelfRegCall> calls;

    platform::SelfRegResult CallSelfRegistration(const std::string& libraryPath, bool registerServer) override;

private:
    std::vector<std::pair<std::string, platform::SelfRegResult>> outcomes_;
};

}  // namespace updexar::fakes
