// A shell whose folder dialogs are cancelled and whose Execute calls start nothing; it keeps
// what it was asked to start.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace updexar::fakes {

class FakeShell : public platform::Shell {
public:
    // "verb|file|parameters|show mode" of every Execute.
    std::vector<std::string> executed;
    bool executeSucceeds = true;

    std::string BrowseForFolder(const platform::BrowseRequest&) override { return {}; }
    bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, const std::string&,
                 int showMode) override {
        executed.push_back(verb + "|" + file + "|" + parameters + "|" + std::to_string(showMode));
        return executeSucceeds;
    }
};

}  // namespace updexar::fakes
