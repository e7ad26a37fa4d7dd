#include "lan/running_apps.h"

#include <memory>

#include "core/config.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "forms/application.h"
#include "lan/frmwait.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"
#include "ui/step.h"
#include "update/frmupdate.h"
#include "update/system_integration.h"

namespace updexar {
namespace {

struct ProductProgram {
    const char* process;
    const char* listedAs;
};
constexpr ProductProgram kProductPrograms[] = {
    {"GALVANO.EXE", "Galvano.exe"},     {"QORIT.EXE", "QorIT.exe"},         {"QORBAL.EXE", "QorBAL.exe"},
    {"QORCMA.EXE", "QorCMA.exe"},       {"QORFORMS.EXE", "QorForms.exe"},   {"TARSEL.EXE", "Tarsel.exe"},
    {"FENDAL.EXE", "Fendal.exe"},       {"SELVAN.EXE", "Selvan.exe"},       {"PELMAR.EXE", "Pelmar.exe"},
    {"CORLET.EXE", "Corlet.exe"},       {"HALVION.EXE", "Halvion.exe"},     {"BRISTAN.EXE", "Bristan.exe"},
    {"NEVRIN.EXE", "Nevrin.exe"},       {"QOR NEVRIN.EXE", "Qor Nevrin.exe"}, {"NVMANAGER.EXE", "NVManager.exe"},
    {"ROVINA.EXE", "Rovina.exe"},       {"XELMOR.EXE", "Xelmor.exe"},       {"ALDOVA.EXE", "Aldova.exe"},
    {"PRJESKARN.EXE", "PrjEskarn.exe"}, {"DORVEL.EXE", "Dorvel.exe"},
};

std::string ExeNameOf(const std::string& snapshotName) {
    std::string name = ToUpper(Trim(snapshotName.substr(0, snapshotName.find('\0'))));
    const size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const size_t forward = name.find_last_of('/');
    if (forward != std::string::npos) name = name.substr(forward + 1);
    return name;
}

// A second update of the same product on this computer would copy the same files at the same
// time; the name is the product's, so other products may update side by side.
std::unique_ptr<platform::ExclusiveLock> g_updateLock;

}  // namespace

void PauseAfterKill(uint32_t ms) {
    forms::DoEvents();
    platform::Os().clock->Sleep(ms);
    forms::DoEvents();
}

void GetRunningApps(bool terminate, std::string& list) {
    const bool automatic = IsAutomaticMode();
    std::vector<platform::ProcessEntry> processes;
    auto onError = [&](const RuntimeError& e) {
        if (automatic) {
            LogErrorLAN("Error:GetRunningApps:" + e.Description());
            EndAutomaticRun(ExitUpdateStep);
        }
        return StepAnswerOf(ShowMessage(forms::Application::Current().ActiveForm(),
                                        "Error occured while Checking Running VEK Applications : " + e.Description(), 2));
    };
    if (!RunStep([&] { processes = platform::Os().processes->Snapshot(); }, onError)) return;
    for (const platform::ProcessEntry& p : processes) {
        const std::string name = ExeNameOf(p.exeName);
        if (name == "VEKSERVER.EXE" || name == "VEKSVRREG.EXE") {
            KillProcessById(p.id);
            PauseAfterKill(500);
            continue;
        }
        for (const ProductProgram& program : kProductPrograms) {
            if (name != program.process) continue;
            list += std::string("\r\n\t") + program.listedAs;
            if (terminate) {
                KillProcessById(p.id);
                PauseAfterKill(1000);
            }
            break;
        }
    }
}

void UpdateSoftwareOnLocal() {
    SharedState& s = Shared();
    frmmain& main = forms::Window<frmmain>();
    const bool automatic = IsAutomaticMode();
    try {
        if (!g_updateLock) {
            g_updateLock = platform::Os().system->TryExclusiveLock("Updexar.Update." + s.ProductKey);
            if (!g_updateLock) {
                const std::string text = "Another update of " + (s.ProductName.empty() ? s.ProductKey : s.ProductName) +
                                         " is running on this computer";
                if (automatic) {
                    LogErrorLAN("Error:Update:" + text);
                    EndAutomaticRun(ExitAlreadyUpdating);
                }
                ShowMessage(&main, text + ".", MsgStyleInfo);
                return;
            }
        }
        struct Release {
            ~Release() { g_updateLock.reset(); }
        } release;

        s.ServiceList.clear();
        if (s.IsWinNT) StopRegServices();
        // The services stopped here run again however the update ends before its last step
        // starts them: No, the countdown, a failed step, Cancel; an unattended run ends the process
        // at once, past every destructor.
        struct ServicesBack {
            ServicesBack() { platform::SetEndAction(StartStoppedServices); }
            ~ServicesBack() {
                platform::SetEndAction(nullptr);
                StartStoppedServices();
            }
        } servicesBack;

        std::string list;
        GetRunningApps(false, list);
        auto closeAndLookAgain = [&list] {
            list.clear();
            GetRunningApps(true, list);
            if (!list.empty()) {
                list.clear();
                GetRunningApps(false, list);
            }
        };
        if (!list.empty()) {
            if (!automatic) {
                const int answer = ShowMessage(&main,
                                               "Following VEK Applications are running: \r\n" + list +
                                                   "\r\n\r\nDo you want to Close Applications / Update Now ?",
                                               MsgStyleYesNoCancel);
                if (answer == MsgYes) closeAndLookAgain();
            } else if (main.cboCloseApp.ListIndex() >= 1) {
                main.cmdexit.Tag.clear();
                const std::string mode = main.optCloseApp1.Value() ? "CLOSE_UPDATE" : "NO_CLOSE_UPDATE";
                ShowWaitWindow(mode, SecondsOfItem(main.cboCloseApp.Text()));
                if (main.cmdexit.Tag == "O") closeAndLookAgain();
            }
        }

        if (list.empty()) {
            if (automatic) LogErrorLAN("Process:Update:To->" + main.txtInstDir.Text());
            ShowUpdateWindow("LOCAL", &main);
            if (automatic) LogErrorLAN("[END]");
            return;
        }
        if (!automatic) {
            ShowMessage(&main, "First close the running VEK Applications :" + list, MsgStyleInfo);
            return;
        }
        LogErrorLAN("Error:Update:VEK Applications Running:" + list);
        EndAutomaticRun(ExitProgramsRunning);
    } catch (const RuntimeError& e) {
        if (automatic) {
            LogErrorLAN("Error:Update:" + e.Description());
            EndAutomaticRun(ExitUpdateStep);
        }
        ShowMessage(&main, e.Description(), MsgStyleError, std::string("UpdateSoftwareOnLocal"));
        platform::EndProcessNow(0);
    }
}

void InstallLocalUpdate() {
    MainWindowHandoffs& h = Handoffs();
    h.updateSoftwareOnLocal = [] { UpdateSoftwareOnLocal(); };
    h.showUpdateWindow = [](const std::string& mode) { ShowUpdateWindow(mode, &forms::Window<frmmain>()); };
    h.showWaitWindow = [](int seconds) { ShowWaitWindow("START", seconds); };
}

}  // namespace updexar
