#include "fakes/fake_shell.h"

namespace updexar::fakes {

std::string FakeShell::BrowseForFolder(const platform::BrowseRequest& request) {
    browseRequests.push_back(request);
    if (browseAnswers.empty()) return {};
    std::string answer = browseAnswers.front();
    browseAnswers.pop_front();
    return answer;
}

bool FakeShell::Execute(const std::string& verb, const std::string& file, const std::string& parameters,
                        const std::string& directory, int showMode) {
    executions.push_back({verb, file, parameters, directory, showMode});
    return executeResult;
}

}  // namespace updexar::fakes
