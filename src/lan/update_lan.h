// The update pushed to the machines of the LAN grid: the package staged in the shared folder, the
// utility started on every selected machine through PsExec, and each machine's answer (its marker
// file, then its update log) read back into the grid.
#pragma once

#include <cstdint>
#include <string>

namespace updexar {

class frmUpdate;
class frmmain;

// "15 Minute(s)", "14 Minute(s) 59 Second(s)", "60 Second(s)"; empty for 0 or less.
std::string TimeLeftText(int16_t seconds);

// The machine's result from its update log, into the row's Status cell (green when the update
// went through without an error).
void ShowLanResponse(frmmain& main, const std::string& log, int row);

// The PsExec command line that starts the staged utility on one machine.
struct LanLaunch {
    std::string programDir;  // the package, which carries MiscFls\PsExec.exe
    std::string target;      // machine name or address
    std::string user;        // empty: PsExec's own logon
    std::string password;
    std::string sharedFolder;
    std::string runName;     // "Log" + seconds since midnight
    int row = 0;
    std::string productKey;
    int startWait = 0;
    int closeWait = 0;
    bool closeApps = false;
};
std::string LanCommandLine(const LanLaunch& launch);

// The run behind the progress window's "LAN" mode.
void UpdateLAN(frmUpdate& window);

void InstallLanRun();

}  // namespace updexar
