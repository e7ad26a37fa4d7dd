// Entry point of the update utility: the platform and the window system come up, the start-up
// window picks the product and opens the main window, and the message loop runs until the last
// window closes.
#include <windows.h>

#include <exception>

#include "core/exit_codes.h"
#include "core/update_log.h"
#include "distribution/copy_update.h"
#include "network/frmgetips.h"
#include "network/frmloginnms.h"
#include "server/frmcheckonsvr.h"
#include "forms/application.h"
#include "lan/running_apps.h"
#include "lan/saved_settings.h"
#include "lan/update_lan.h"
#include "mainwindow/frmmain.h"
#include "platform/platform.h"
#include "startup/frmcheckcom.h"
#include "win32/wide.h"
#include "win32/win32_forms_app.h"
#include "win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    updexar::platform::InstallPlatform(&updexar::win32::Win32Platform());
    try {
        auto windows = updexar::win32::InstallWin32Forms();
        windows->app.Title = "Updexar";
        updexar::InstallMainWindow();
        updexar::InstallLocalUpdate();
        updexar::InstallDistribution();
        updexar::InstallServerCheck();
        updexar::InstallComputerSearch();
        updexar::InstallUserNameLookup();
        updexar::InstallSavedSettings();
        updexar::InstallLanRun();
        updexar::forms::Window<updexar::frmcheckCOM>();
        updexar::win32::RunMessageLoop();
    } catch (const std::exception& e) {
        // Nothing of ours is left to report it; the system's box says what went wrong, unless the
        // run is unattended and nobody is there to close the box.
        if (!updexar::IsAutomaticMode())
            MessageBoxW(nullptr, updexar::win32::Wide(e.what()).c_str(), L"Updexar", MB_ICONERROR | MB_OK);
        return updexar::ExitStartFailed;
    }
    return 0;
}
