#include "fakes/fake_com.h"

#include "platform/strings.h"

namespace updexar::fakes {

void FakeComRegistration::SetOutcome(const std::string& libraryPath, platform::SelfRegResult result) {
    for (auto& o : outcomes_)
        if (EqualsNoCase(o.first, libraryPath)) {
            o.second = result;
            return;
        }
    outcomes_.emplace_back(libraryPath, result);
}

platform::SelfRegResult FakeComRegistration::CallSelfRegistration(const std::string& libraryPath,
                                                                  bool registerServer) {
    calls.push_back({libraryPath, registerServer});
    for (const auto& o : outcomes_)
        if (EqualsNoCase(o.first, libraryPath)) return o.second;
    if (files && !files->FileExists(libraryPath)) return {platform::SelfRegOutcome::LoadFailed, 0};
    return defaultResult;
}

}  // namespace updexar::fakes
