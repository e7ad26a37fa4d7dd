#include "fakes/fake_processes.h"

namespace updexar::fakes {

uint32_t FakeProcesses::StartHidden(const std::string& commandLine, const std::string& workingDirectory) {
    // Real ids are multiples of four; an empty command line starts nothing, as the system refuses it.
    const uint32_t id = commandLine.empty() ? 0 : (nextId_ += 4);
    starts.push_back({commandLine, workingDirectory, id});
    return id;
}

}  // namespace updexar::fakes
