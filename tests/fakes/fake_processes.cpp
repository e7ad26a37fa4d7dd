#include "fakes/fake_processes.h"

#include <algorithm>

namespace updexar::fakes {

uint32_t FakeProcesses::StartHidden(const std::string& commandLine, const std::string&) {
    // Real ids are multiples of four; an empty command line starts nothing, as the system refuses it.
    const uint32_t id = commandLine.empty() ? 0 : (nextId_ += 4);
    starts.push_back({commandLine, id});
    if (id && onStart) onStart(starts.back());
    return id;
}

uint32_t FakeProcesses::AddProcess(const std::string& exeName) {
    running_.push_back({nextId_ += 4, exeName});
    return nextId_;
}

bool FakeProcesses::IsRunning(uint32_t id) const {
    return std::any_of(running_.begin(), running_.end(), [id](const auto& p) { return p.id == id; });
}

std::vector<platform::ProcessEntry> FakeProcesses::Snapshot() {
    std::vector<platform::ProcessEntry> all{{0, "[System Process]"}, {4, "System"}};
    all.insert(all.end(), running_.begin(), running_.end());
    return all;
}

bool FakeProcesses::Terminate(uint32_t processId, uint32_t) {
    const auto it = std::find_if(running_.begin(), running_.end(), [processId](const auto& p) { return p.id == processId; });
    if (it == running_.end()) return false;
    running_.erase(it);
    return true;
}

}  // namespace updexar::fakes
