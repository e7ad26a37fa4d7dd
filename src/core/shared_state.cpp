#include "core/shared_state.h"

namespace updexar {
namespace {
SharedState g_shared;
}

SharedState& Shared() { return g_shared; }

void ResetShared() { g_shared = SharedState{}; }

}  // namespace updexar
