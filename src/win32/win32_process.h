// Processes through CreateProcess and the Toolhelp snapshot.
#pragma once

#include "platform/process.h"

namespace updexar::win32 {

class Win32Processes : public platform::Processes {
public:
    uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") override;
    std::unique_ptr<platform::StartedProcess> StartHeld(const std::string& commandLine) override;
    std::vector<platform::ProcessEntry> Snapshot() override;
    bool Terminate(uint32_t processId, uint32_t exitCode = 0) override;
};

}  // namespace updexar::win32
