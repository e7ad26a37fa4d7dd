// Starting, listing and ending processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace updexar::platform {

struct ProcessEntry {
    uint32_t id = 0;
    // The executable as the snapshot names it (usually the bare file name).
    std::string exeName;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts a full command line ("\"C:\x\prog.exe\" /s \"arg\"") with its window hidden and does
    // not wait. Returns the new process id, 0 when it could not be started.
    virtual uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") = 0;
    virtual std::vector<ProcessEntry> Snapshot() = 0;
    virtual bool Terminate(uint32_t processId, uint32_t exitCode = 0) = 0;
};

}  // namespace updexar::platform
