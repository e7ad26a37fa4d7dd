// Pretend processes: starts are recorded instead of run, and end at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace updexar::fakes {

struct StartRecord {
    std::string commandLine;
    std::string workingDirectory;
    uint32_t processId = 0;
};

class FakeProcesses : public platform::Processes {
public:
    std::vector<StartRecord> starts;

    uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") override;
    // Only the two entries every real snapshot has: "[System Process]" (0) and "System" (4).
    std::vector<platform::ProcessEntry> Snapshot() override { return {{0, "[System Process]"}, {4, "System"}}; }
    bool Terminate(uint32_t, uint32_t = 0) override { return false; }

private:
    uint32_t nextId_ = 1000;
};

}  // namespace updexar::fakes
