// Pretend processes: starts are recorded instead of run; running programs are a list a test
// fills, and ending one takes it off the list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace updexar::fakes {

struct StartRecord {
    std::string commandLine;
    uint32_t processId = 0;
};

class FakeProcesses : public platform::Processes {
public:
    std::vector<StartRecord> starts;
    // Called for every start after it is recorded: what a stand-in would do goes here.
    std::function<void(const StartRecord&)> onStart;

    // A running program; its id.
    uint32_t AddProcess(const std::string& exeName);
    // A started program that goes on running (from onStart), under its file name.
    void KeepRunning(const StartRecord& start, const std::string& exeName) { running_.push_back({start.processId, exeName}); }
    bool IsRunning(uint32_t id) const;

    uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") override;
    // "[System Process]" (0) and "System" (4), as in every real snapshot, then the running ones.
    std::vector<platform::ProcessEntry> Snapshot() override;
    bool Terminate(uint32_t processId, uint32_t exitCode = 0) override;

private:
    uint32_t nextId_ = 1000;
    std::vector<platform::ProcessEntry> running_;
};

}  // namespace updexar::fakes
