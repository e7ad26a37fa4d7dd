#include "fakes/fake_platform.h"

#include "platform/strings.h"

namespace updexar::fakes {

FakePlatform::FakePlatform() : files(clock, text), system(files) {
    files.AddDrive("C");
    for (const std::string& folder :
         {system.windowsDirectory, system.systemDirectory, system.tempDirectory, system.allUsersProfileDirectory,
          system.defaultUserProfileDirectory, system.userProfileDirectory, PathParent(system.programPath)})
        files.MakeFolders(folder);
    network.hostName = system.computerName;

    platform_.registry = &registry;
    platform_.files = &files;
    platform_.system = &system;
    platform_.processes = &processes;
    platform_.services = &services;
    platform_.com = &com;
    platform_.fonts = &fonts;
    platform_.shell = &shell;
    platform_.network = &network;
    platform_.database = &database;
    platform_.clock = &clock;
    platform_.text = &text;
}

ScopedPlatform::ScopedPlatform(FakePlatform& fake)
    : previous_(platform::HasPlatform() ? &platform::Os() : nullptr) {
    platform::InstallPlatform(&fake.Get());
}

ScopedPlatform::~ScopedPlatform() { platform::InstallPlatform(previous_); }

}  // namespace updexar::fakes
