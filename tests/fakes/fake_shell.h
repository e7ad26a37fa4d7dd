// A shell whose folder dialogs are cancelled and whose Execute calls start nothing.
#pragma once

#include <string>

#include "platform/shell.h"

namespace updexar::fakes {

class FakeShell : public platform::Shell {
public:
    std::string BrowseForFolder(const platform::BrowseRequest&) override { return {}; }
    bool Execute(const std::string&, const std::string&, const std::string&, const std::string&, int) override {
        return true;
    }
};

}  // namespace updexar::fakes
