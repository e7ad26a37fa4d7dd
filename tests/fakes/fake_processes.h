// Pretend processes: a list a test fills, and starts that are recorded instead of run.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/process.h"

namespace updexar::fakes {

struct StartRecord {
    std::string commandLine;
    std::string workingDirectory;
    uint32_t processId = 0;  // 0 when the start was refused
};

struct TerminateRecord {
    uint32_t processId = 0;
    uint32_t exitCode = 0;
    bool ok = false;
};

// The program a command line starts: the quoted first part, or everything up to the first blank.
std::string ProgramOfCommandLine(const std::string& commandLine);

class FakeProcesses : public platform::Processes {
public:
    // Starts with the two entries every real snapshot has: "[System Process]" (0) and "System" (4).
    FakeProcesses();

    // A running process under a new id, or under the given one.
    uint32_t AddProcess(const std::string& exeName);
    void AddProcess(uint32_t id, const std::string& exeName);
    // Gone without a trace in `terminations` (it ended by itself).
    bool Remove(uint32_t id);
    bool IsRunning(uint32_t id) const;
    // Running processes of that executable name, compared without regard to case.
    int CountRunning(const std::string& exeName) const;

    // The next `failStarts` starts return 0 (negative: every start).
    int failStarts = 0;
    // A started command shows in the snapshot under its program's file name until terminated.
    bool spawnOnStart = false;
    // Called for every successful start, after it is recorded: a stand-in's behaviour goes here.
    std::function<void(const StartRecord&)> onStart;
    // Processes that refuse to be terminated.
    std::set<uint32_t> unkillable;

    std::vector<StartRecord> starts;
    std::vector<TerminateRecord> terminations;

    uint32_t StartHidden(const std::string& commandLine, const std::string& workingDirectory = "") override;
    std::vector<platform::ProcessEntry> Snapshot() override { return running_; }
    bool Terminate(uint32_t processId, uint32_t exitCode = 0) override;

private:
    std::vector<platform::ProcessEntry> running_;
    uint32_t nextId_ = 1000;
};

}  // namespace updexar::fakes
