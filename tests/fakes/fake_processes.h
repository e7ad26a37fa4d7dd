// Pretend processes: starts are recorded instead of run; running programs are a list a test
// fills, and ending one takes it off the list.
#pragma once

#include <algorithm>
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

    // A running program; its id (real ids are multiples of four).
    uint32_t AddProcess(const std::string& exeName) {
        running_.push_back({nextId_ += 4, exeName});
        return nextId_;
    }
    // A started program that goes on running (from onStart), under its file name.
    void KeepRunning(const StartRecord& start, const std::string& exeName) { running_.push_back({start.processId, exeName}); }
    bool IsRunning(uint32_t id) const {
        return std::any_of(running_.begin(), running_.end(), [id](const auto& p) { return p.id == id; });
    }

    // An empty command line starts nothing, as the system refuses it.
    uint32_t StartHidden(const std::string& commandLine, const std::string& = "") override {
        const uint32_t id = commandLine.empty() ? 0 : (nextId_ += 4);
        starts.push_back({commandLine, id});
        if (id && onStart) onStart(starts.back());
        return id;
    }
    // "[System Process]" (0) and "System" (4), as in every real snapshot, then the running ones.
    std::vector<platform::ProcessEntry> Snapshot() override {
        std::vector<platform::ProcessEntry> all{{0, "[System Process]"}, {4, "System"}};
        all.insert(all.end(), running_.begin(), running_.end());
        return all;
    }
    bool Terminate(uint32_t processId, uint32_t = 0) override {
        const auto it =
            std::find_if(running_.begin(), running_.end(), [processId](const auto& p) { return p.id == processId; });
        if (it == running_.end()) return false;
        running_.erase(it);
        return true;
    }

private:
    uint32_t nextId_ = 1000;
    std::vector<platform::ProcessEntry> running_;
};

}  // namespace updexar::fakes
