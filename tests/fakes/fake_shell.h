// The shell with scripted folder choices and recorded Execute calls.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace updexar::fakes {

struct ExecuteCall {
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    int showMode = 0;
};

class FakeShell : public platform::Shell {
public:
    // Answers of the coming folder dialogs, in turn; "" is Cancel, and so is running out.
    std::deque<std::string> browseAnswers;
    bool executeResult = true;

    std::vector<platform::BrowseRequest> browseRequests;
    std::vector<ExecuteCall> executions;

    std::string BrowseForFolder(const platform::BrowseRequest& request) override;
    bool Execute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& directory, int showMode) override;
};

}  // namespace updexar::fakes
