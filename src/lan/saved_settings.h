// The LAN settings kept in the shared update directory, so that whoever runs the utility against
// the same share finds them: the options in VEKUpdUtil.INI and the machine list with its logins
// in VEKUpdUtil.UPL.
#pragma once

#include <string>

namespace updexar {

class frmmain;

// <shared directory>\VEK_Updates\<name>; a directory typed with its VEK_Updates already is used
// as it is.
std::string SharedSettingsFile(const std::string& sharedDirectory, const std::string& name);

void LoadOptions(frmmain& main);
// Writes the file only when an option differs from what was last read or written.
void SaveOptions(frmmain& main);

// Replaces the saved list by the grid's rows when the user chose to save it, and removes it when
// not. The list is packed and readable only by administrators and whoever saved it.
void SaveMachineList(frmmain& main);
// Appends the saved machines to the grid, their names and addresses looked up again; how many.
int LoadMachineList(frmmain& main);

// Puts the four procedures behind the main window.
void InstallSavedSettings();

}  // namespace updexar
