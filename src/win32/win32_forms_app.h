// What a program's WinMain needs to run windows: the Windows backend with the toolkit's
// application on the installed platform's clock, and the top-level message loop.
#pragma once

#include <memory>

#include "forms/application.h"
#include "platform/clock.h"
#include "win32/win32_forms_backend.h"

namespace updexar::win32 {

// The backend and the application together; the application is the current one while this lives.
struct Win32Forms {
    explicit Win32Forms(platform::Clock& clock) : app(backend, clock) {}
    Win32FormsBackend backend;  // made first, gone last: the application unloads into it
    forms::Application app;
};

// Made on the user-interface thread, after the platform is installed (its clock runs the timers).
std::unique_ptr<Win32Forms> InstallWin32Forms();

// Runs the windows until no form is loaded any more (or WM_QUIT arrives), releasing unloaded
// forms between messages.
void RunMessageLoop();

}  // namespace updexar::win32
