// What an update does to the operating system rather than to the product's files: COM
// registration, read-only attributes, folders, old installer data, registry rights, the shipped
// system components, fonts, old start-up entries, the VEK service and ending processes. Outside
// tools (RegSvr32, RegIni, Msizap) are started hidden and never waited for.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ui/step.h"

namespace updexar {

namespace platform {
class ServiceManager;
}

// The installer product codes of earlier releases, whose installer data an update removes.
extern const std::array<std::string_view, 11> kOldInstallerCodes;

// The service an update installs.
inline constexpr std::string_view kVekServiceName = "VEKSvrReg";

// Registers (or unregisters) a component: a .dll on NT through its own entry point, anything
// else through RegSvr32. True when registered; a library without the entry point counts.
bool RegUnRegCOM(const std::string& path, bool registerServer);
// Errors ignored; either path may be empty.
void ClearReadOnly(const std::string& file, const std::string& folder);
// Creates every missing folder above path; false when one could not be made.
bool EnsureParentFolder(const std::string& path);
void ZapOldInstallations();
// The RegIni script's text for a product key ("O" grants every product's key).
std::string RegistryRightsScript(const std::string& productKey);
// Writes the script to the temporary folder and starts RegIni on it; the script's path, or empty
// when nothing was started.
std::string SetRegistryRights();
// The shipped system components from MiscFls into the system folder; false when the user gave up.
bool InstallMiscFiles();
// The package's fonts whose faces are not installed; status shows what is going on.
void InstallFonts(const std::function<void(const std::string&)>& status);
void AddFont(const std::string& path);
// The face under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts, as installers leave it.
void RegisterFont(const std::string& face, const std::string& file);
inline constexpr const char* kFontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
void RemoveOldStartupEntries();
// The server program's old start-up entries in one Startup folder.
void RemoveEntriesFrom(const std::string& startupFolder);
void RemoveStartupEntriesIn(const std::string& profileFolder);

// Appends "|name" to ServiceList for each running service whose program is VEKSvrReg.exe.
void FindRegServices(platform::ServiceManager& manager);
// Stops those services; ServiceList then names exactly the ones asked to stop.
void StopRegServices();
void StartListedServices();
// Starts them and forgets them: what the update does however it ends.
void StartStoppedServices();
// Creates the VEK service for the program; ServiceList becomes "|VEKSvrReg" when it was created.
void CreateRegService(const std::string& programPath);
// Starts the VEK service that exists but was not running; false when it could not be started.
bool StartExistingService();
// The path under which the service manager, a 64-bit program on 64-bit Windows, finds a file
// this 32-bit program sees in the system folder.
std::string PathForServiceManager(const std::string& path);
void KillProcessById(uint32_t processId);

// A failed statement while installing a source: the user chooses under "Contact Your Vendor";
// an automatic run logs it and goes on.
StepAnswer OccuredWhileUpdating(const RuntimeError& error, const std::string& source);

}  // namespace updexar
