// Pretend processes: starts are recorded instead of run; running programs are a list a test
// fills, and ending one takes it off the list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
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

    // A running program; its id (real ids are multiples of four), or `id` given out again.
    uint32_t AddProcess(const std::string& exeName, uint32_t id = 0) {
        running_.push_back({id ? id : (nextId_ += 4), exeName});
        lives_.push_back(++others_);
        return running_.back().id;
    }
    // A started program that goes on running (from onStart), under its file name.
    void KeepRunning(const StartRecord& start, const std::string& exeName) {
        running_.push_back({start.processId, exeName});
        lives_.push_back(static_cast<uint64_t>(&start - starts.data()));
    }
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
    std::unique_ptr<platform::StartedProcess> StartHeld(const std::string& commandLine) override {
        if (!StartHidden(commandLine)) return nullptr;
        return std::make_unique<Held>(*this, starts.back().processId, starts.size() - 1);
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
        lives_.erase(lives_.begin() + (it - running_.begin()));
        running_.erase(it);
        return true;
    }

private:
    // Ends only the very process it started, whatever number another one has been given since.
    struct Held : platform::StartedProcess {
        Held(FakeProcesses& all, uint32_t id, uint64_t life) : all(all), id(id), life(life) {}
        uint32_t Id() const override { return id; }
        bool Terminate(uint32_t) override {
            const auto it = std::find(all.lives_.begin(), all.lives_.end(), life);
            if (it == all.lives_.end()) return false;
            all.running_.erase(all.running_.begin() + (it - all.lives_.begin()));
            all.lives_.erase(it);
            return true;
        }
        FakeProcesses& all;
        uint32_t id;
        uint64_t life;
    };
    uint32_t nextId_ = 1000;
    std::vector<platform::ProcessEntry> running_;
    // Which start (its index) or added program each running one is; added ones count from 2^32.
    std::vector<uint64_t> lives_;
    uint64_t others_ = uint64_t{1} << 32;
};

}  // namespace updexar::fakes
