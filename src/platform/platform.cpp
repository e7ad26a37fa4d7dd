#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace updexar::platform {
namespace {
Platform* g_platform = nullptr;
std::function<void()> g_endAction;
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

void SetEndAction(std::function<void()> action) { g_endAction = std::move(action); }

void EndProcessNow(uint32_t exitCode) {
    if (auto action = std::exchange(g_endAction, nullptr)) action();
    Os().system->EndProcess(exitCode);
    std::abort();  // an implementation that came back has broken its promise
}

}  // namespace updexar::platform
