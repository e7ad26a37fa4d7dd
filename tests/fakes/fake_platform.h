// One fake of everything the operating system provides, wired into a platform::Platform, on a
// pretend computer with a C: drive and the usual Windows folders.
#pragma once

#include "fakes/fake_com.h"
#include "fakes/fake_database.h"
#include "fakes/fake_filesystem.h"
#include "fakes/fake_fonts.h"
#include "fakes/fake_network.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_services.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_system.h"
#include "platform/platform.h"
#include "platform/strings.h"

namespace updexar::fakes {

class FakePlatform {
public:
    FakePlatform() : files(clock), system(files) {
        files.AddDrive("C");
        for (const std::string& folder :
             {system.WindowsDirectory(), system.SystemDirectory(), system.TempDirectory(), system.AllUsersProfileDirectory(),
              system.DefaultUserProfileDirectory(), system.UserProfileDirectory(), PathParent(system.programPath)})
            files.MakeFolders(folder);
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    platform::ManualClock clock;
    platform::Cp1252Text text;
    FakeFileSystem files;
    FakeRegistry registry;
    FakeSystem system;
    FakeProcesses processes;
    FakeServiceControl services;
    FakeComRegistration com{files};
    FakeFonts fonts;
    FakeShell shell;
    FakeNetwork network;
    FakeDatabase database;

    platform::Platform& Get() { return platform_; }

private:
    platform::Platform platform_{&registry, &files,   &system,  &processes, &services, &com,     &fonts,
                                 &shell,    &network, &clock,   &text,      nullptr,   &database};
};

// Installs a fake platform for its lifetime and puts back whatever was installed before.
class ScopedPlatform {
public:
    explicit ScopedPlatform(FakePlatform& fake) : previous_(platform::HasPlatform() ? &platform::Os() : nullptr) {
        platform::InstallPlatform(&fake.Get());
    }
    ~ScopedPlatform() { platform::InstallPlatform(previous_); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    platform::Platform* previous_;
};

}  // namespace updexar::fakes
