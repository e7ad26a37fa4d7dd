// How an unattended run ends, for a remote-execution tool or a script that does not read the log.
// Zero only after "Process:Update:OK" with no error logged; every kind of failure has its own code.
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
    // A folder the command line names is missing (the shared folder, or the report folder in
    // it), so there is nowhere to log; or the program could not prepare its windows.
    ExitStartFailed = 10,
    // The update ran to its end but logged a failure on the way (a missing source, a library that
    // did not register, ...): a script reading only the code must not take it for a clean update.
    ExitUpdatedWithErrors = 11,
    // A file of the package is missing or differs from the package's seal: nothing was changed.
    ExitPackageDamaged = 12,
};

}  // namespace updexar
