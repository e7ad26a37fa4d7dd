#include "win32/win32_forms_app.h"

#include "platform/errors.h"
#include "platform/platform.h"
#include "win32/win32_grid.h"

namespace updexar::win32 {

std::unique_ptr<Win32Forms> InstallWin32Forms() {
    platform::Clock* clock = platform::HasPlatform() ? platform::Os().clock : nullptr;
    if (!clock) throw RuntimeError(ErrObjectNotSet);
    // Every program with windows can show a grid.
    RegisterGridPeer();
    return std::make_unique<Win32Forms>(*clock);
}

void RunMessageLoop() {
    forms::Application& app = forms::Application::Current();
    auto* backend = dynamic_cast<Win32FormsBackend*>(&app.GetBackend());
    app.WaitUntil([&] {
        app.CollectUnloaded();
        return app.LoadedForms().empty() || (backend && backend->QuitRequested());
    });
    app.CollectUnloaded();
}

}  // namespace updexar::win32
