#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace updexar::platform {
namespace {
Platform* g_platform = nullptr;
}

Platform& Os() {
    if (!g_platform) {
        std::fputs("updexar: no platform installed\n", stderr);
        std::abort();
    }
    return *g_platform;
}

void InstallPlatform(Platform* platform) { g_platform = platform; }

bool HasPlatform() { return g_platform != nullptr; }

void EndProcessNow(uint32_t exitCode) {
    Os().system->EndProcess(exitCode);
    std::abort();  // an implementation that came back has broken its promise
}

}  // namespace updexar::platform
