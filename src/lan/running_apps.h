// Before an update replaces program files: the product's running programs are found, the user
// (or the countdown of an unattended run) decides, and they are ended; then the update runs.
#pragma once

#include <cstdint>
#include <string>

namespace updexar {

// Walks the running processes: server programs are always ended; each product program adds
// CR LF, a tab and its name to list, and is ended when terminate is set.
void GetRunningApps(bool terminate, std::string& list);

// After ending a process: the window repaints, the process gets `ms` to let go of its files, and
// the window repaints again.
void PauseAfterKill(uint32_t ms);

// The start of an update of this computer, from the update button or the unattended start.
void UpdateSoftwareOnLocal();

// Hooks the update and wait windows in behind the main window.
void InstallLocalUpdate();

}  // namespace updexar
