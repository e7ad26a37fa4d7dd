// How an unattended run ends, for a remote-execution tool or a script that does not read the log.
// Zero only after "Process:Update:OK"; every kind of failure has its own code.
#pragma once

#include <cstdint>

namespace updexar {

enum ExitCode : uint32_t {
    ExitOk = 0,
    ExitBadCommandLine = 2,
    ExitCancelled = 3,
    ExitProgramsRunning = 4,
    ExitServerCheck = 5,
    ExitDataDirectory = 6,
    ExitUpdateStep = 7,
    ExitAlreadyUpdating = 8,
    // The update log itself could not be written; nothing else can tell what happened.
    ExitLogUnwritable = 9,
    // The program could not prepare its windows (a folder of the command line missing, ...).
    ExitStartFailed = 10,
    // A file of the package is missing or differs from the package's seal: nothing was changed.
    ExitPackageDamaged = 12,
};

}  // namespace updexar
