// msgbox_demo.exe [style] [prompt]: shows one message box of the program on the real backend and
// waits for a user. With UPDEXAR_SHOT_DIR set it plays the user itself: it asks the test script
// for a screenshot, then presses Enter. Exit code 0 when the box came and went, 2 when no box
// appeared. What each key answers is the message-box tests' business (forms_wine_test.cpp).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "forms/application.h"
#include "platform/platform.h"
#include "core/shared_state.h"
#include "ui/msgbox.h"
#include "ui/scaling.h"
#include "win32/win32_forms_app.h"
#include "win32/win32_platform.h"
#include "wine/ui_driver.h"

using namespace updexar;
namespace drv = updexar::uidriver;

namespace {

const char kTitle[] = "Updexar message box";

const char kDefaultPrompt[] =
    "The update package could not be copied to the data directory on the server.\r\n\r\n"
    "Check that the shared folder is reachable and that you may write to it, then try again. "
    "Choosing Cancel leaves this computer as it was.\r\n\r\n"
    "Folder:\t\\\\SERVER\\Qor\\SoftUpdates";

}  // namespace

int main(int argc, char** argv) {
    const int style = argc > 1 ? std::atoi(argv[1]) : 547;
    const std::string prompt = argc > 2 ? argv[2] : kDefaultPrompt;

    platform::InstallPlatform(&win32::Win32Platform());
    std::string sys = platform::Os().system->SystemDirectory();
    if (!sys.empty() && sys.back() == '\\') sys.pop_back();
    Shared().SysDir = sys;
    ComputeScaleFactors();
    auto forms = win32::InstallWin32Forms();

    const bool driven = std::getenv("UPDEXAR_SHOT_DIR") != nullptr;
    bool appeared = !driven;
    std::thread user;
    if (driven) {
        const DWORD ui = GetCurrentThreadId();
        user = std::thread([&, ui] {
            drv::UseDesktopOf(ui);
            HWND top = drv::FindTopWindow(kTitle, 30000);
            if (!top) {
                // Out of the way, so the program ends and says why.
                forms->app.Post([&] {
                    Shared().MsgBoxResult = 99;
                    for (forms::Form* f : forms->app.LoadedForms()) forms->app.Unload(*f);
                });
                return;
            }
            appeared = true;
            if (!drv::RequestScreenshot("msgbox")) std::printf("nobody took the screenshot\n");
            drv::PressKeyFocused(top, VK_RETURN);
        });
    }
    const int16_t result = ShowMessage(nullptr, prompt, style, kTitle);
    if (user.joinable()) user.join();
    std::printf("result %d\n", result);
    std::fflush(stdout);
    return appeared ? 0 : 2;
}
