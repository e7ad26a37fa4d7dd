// Everything the operating system provides, gathered in one place. The real program installs the
// Windows implementations at start; native tests install fakes.
#pragma once

#include <functional>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/com.h"
#include "platform/database.h"
#include "platform/filesystem.h"
#include "platform/fonts.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tcp.h"

namespace updexar::platform {

struct Platform {
    Registry* registry = nullptr;
    FileSystem* files = nullptr;
    System* system = nullptr;
    Processes* processes = nullptr;
    ServiceControl* services = nullptr;
    ComRegistration* com = nullptr;
    Fonts* fonts = nullptr;
    Shell* shell = nullptr;
    Network* network = nullptr;
    Clock* clock = nullptr;
    AnsiText* text = nullptr;
    TcpClient* tcp = nullptr;
    Database* database = nullptr;
};

// The installed platform. Installing null removes it.
Platform& Os();
void InstallPlatform(Platform* platform);
bool HasPlatform();

// Ends the process at once through the installed platform (a test platform throws instead),
// after the end action, if one is set.
[[noreturn]] void EndProcessNow(uint32_t exitCode = 0);
// What must be put back however the process ends: ending at once skips every destructor. One at a
// time; an empty one drops it. It runs once and must not throw.
void SetEndAction(std::function<void()> action);

}  // namespace updexar::platform
