// Before an update changes this computer: the package's update-information file is checked
// against the installation and against the update stored in the data directory, and the package
// is stored there for the other computers.
#pragma once

namespace updexar {

class frmUpdate;

// True when the data directory holds this update afterwards and the update may go on. Reports
// through message boxes, or through the update log in an automatic run, which then ends.
bool CopyUpdateToDataPath(frmUpdate& window);

// Puts CopyUpdateToDataPath behind the update run.
void InstallDistribution();

}  // namespace updexar
