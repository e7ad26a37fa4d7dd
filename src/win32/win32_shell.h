// The shell's folder browser and ShellExecute.
#pragma once

#include "platform/shell.h"

namespace updexar::win32 {

class Win32Shell : public platform::Shell {
public:
    std::string BrowseForFolder(const platform::BrowseRequest& request) override;
    bool Execute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& directory, int showMode) override;
};

}  // namespace updexar::win32
