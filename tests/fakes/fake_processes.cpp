#include "fakes/fake_processes.h"

#include <algorithm>

#include "platform/strings.h"

namespace updexar::fakes {

std::string ProgramOfCommandLine(const std::string& commandLine) {
    size_t b = commandLine.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    if (commandLine[b] == '"') {
        const size_t e = commandLine.find('"', b + 1);
        return commandLine.substr(b + 1, e == std::string::npos ? std::string::npos : e - b - 1);
    }
    const size_t e = commandLine.find_first_of(" \t", b);
    return commandLine.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

FakeProcesses::FakeProcesses() {
    AddProcess(0, "[System Process]");
    AddProcess(4, "System");
}

uint32_t FakeProcesses::AddProcess(const std::string& exeName) {
    // Real ids are multiples of four.
    while (IsRunning(nextId_)) nextId_ += 4;
    const uint32_t id = nextId_;
    nextId_ += 4;
    AddProcess(id, exeName);
    return id;
}

void FakeProcesses::AddProcess(uint32_t id, const std::string& exeName) {
    Remove(id);
    running_.push_back({id, exeName});
}

bool FakeProcesses::Remove(uint32_t id) {
    const auto it = std::find_if(running_.begin(), running_.end(), [id](const auto& p) { return p.id == id; });
    if (it == running_.end()) return false;
    running_.erase(it);
    return true;
}

bool FakeProcesses::IsRunning(uint32_t id) const {
    return std::any_of(running_.begin(), running_.end(), [id](const auto& p) { return p.id == id; });
}

int FakeProcesses::CountRunning(const std::string& exeName) const {
    return static_cast<int>(std::count_if(running_.begin(), running_.end(),
                                          [&](const auto& p) { return EqualsNoCase(p.exeName, exeName); }));
}

uint32_t FakeProcesses::StartHidden(const std::string& commandLine, const std::string& workingDirectory) {
    StartRecord record{commandLine, workingDirectory, 0};
    const bool refused = commandLine.empty() || failStarts != 0;
    if (failStarts > 0) --failStarts;
    if (refused) {
        starts.push_back(record);
        return 0;
    }
    std::string exe = PathFileName(ProgramOfCommandLine(commandLine));
    // The system adds ".exe" to a program named without an extension.
    if (exe.find('.') == std::string::npos) exe += ".exe";
    if (spawnOnStart) {
        record.processId = AddProcess(exe);
    } else {
        // A process that ended at once: a real id, not in the snapshot.
        while (IsRunning(nextId_)) nextId_ += 4;
        record.processId = nextId_;
        nextId_ += 4;
    }
    starts.push_back(record);
    if (onStart) onStart(record);
    return record.processId;
}

bool FakeProcesses::Terminate(uint32_t processId, uint32_t exitCode) {
    const bool ok = processId != 0 && !unkillable.count(processId) && Remove(processId);
    terminations.push_back({processId, exitCode, ok});
    return ok;
}

}  // namespace updexar::fakes
