// Starting, listing and ending processes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace updexar::platform {

struct ProcessEntry {
    uint32_t id = 0;
    // The executable as the snapshot names it (usually the bare file name).
    std::string exeName;
};

// A process this program started, held by its handle until this goes (the process runs on):
// ending it through this can never reach another program that the system has since given the
// same number.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    virtual uint32_t Id() const = 0;
    // Ends it; false when it had ended already.
    virtual bool Terminate(uint32_t exitCode = 0) = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts a full command line ("\"C:\x\prog.exe\" /s \"arg\"") with its window hidden and does
    // not wait. Returns the new process id, 0 when it could not be started.
    virtual uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") = 0;
    // The same, holding on to the process; nothing when it could not be started.
    virtual std::unique_ptr<StartedProcess> StartHeld(const std::string& commandLine) = 0;
    virtual std::vector<ProcessEntry> Snapshot() = 0;
    virtual bool Terminate(uint32_t processId, uint32_t exitCode = 0) = 0;
};

}  // namespace updexar::platform
