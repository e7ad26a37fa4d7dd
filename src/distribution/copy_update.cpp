#include "distribution/copy_update.h"

#include "core/config.h"
#include "core/exit_codes.h"
#include "core/package_seal.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "distribution/data_store.h"
#include "distribution/upd_info.h"
#include "forms/application.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"
#include "ui/repaint_pace.h"
#include "update/frmupdate.h"

namespace updexar {
namespace {

// Leaves the procedure with False.
struct Refused {};

class CopyUpdate {
public:
    explicit CopyUpdate(frmUpdate& window)
        : w_(window), main_(forms::Window<frmmain>()), s_(Shared()), os_(platform::Os()), fs_(*os_.files),
          automatic_(IsAutomaticMode()) {}

    bool Run() {
        try {
            return Checks() && Store();
        } catch (const Refused&) {
            return false;
        } catch (const RuntimeError& e) {
            // Only this run's private copy can be half made; the stored update is left alone.
            if (automatic_) Fail("CopyUpdateToDataPath", e.Description());
            ShowMessage(&w_, e.Description(), MsgStyleError, std::string("CopyUpdateToDataPath"));
            return false;
        }
    }

private:
    // Interactive: the text in an information box; automatic: the log line, and the run ends.
    [[noreturn]] void Fail(const std::string& procedure, const std::string& text, ExitCode code = ExitDataDirectory) {
        if (automatic_) {
            LogErrorLAN("Error:" + procedure + ":" + text);
            EndAutomaticRun(code);
        }
        ShowMessage(&w_, text + ".", MsgStyleInfo);
        throw Refused{};
    }

    bool Ask(const std::string& question) {
        return automatic_ || ShowMessage(&w_, question, MsgStyleQuestion) == MsgYes;
    }

    bool Checks() {
        const std::string dir = s_.ProgramDir;
        for (const char* kind : {"P", "F"}) {
            if (fs_.FileExists(dir + "\\UpdInfo" + kind + ".txt")) {
                kind_ = kind;
                break;
            }
        }
        if (kind_.empty()) Fail("CopyUpdateToDataPath", "Missing Update Info File");
        const std::string info = dir + "\\UpdInfo" + kind_ + ".txt";
        packageName_ = PathFileName(StripTrailingBackslash(dir));

        InstalledFiles installed;
        installed.location1 = s_.SysDir + "\\";
        installed.location2 = main_.txtInstDir.Text() + "\\";
        installed.lastModified = [this](const std::string& path) -> std::optional<DateTime> {
            // One look at each listed file: a missing one is the exception.
            try {
                return fs_.LastModified(path);
            } catch (const RuntimeError&) {
                return std::nullopt;
            }
        };
        installed.longDate = [this](const DateTime& when) { return os_.system->LongDate(when); };
        const FileVerResult pass = CheckFileVer(fs_.ReadAllText(info), installed);
        if (!pass.refusal.empty()) Fail("CheckFileVer", pass.refusal);

        if (pass.count == -1) Fail("CopyUpdateToDataPath", "Not a Valid Update Info File");
        // The store is named after the package folder and the marker after the information: a
        // package whose two names differ would leave a marker naming a folder that is not there,
        // whatever this computer needs of it.
        if (ToUpper(pass.header.name) != ToUpper(packageName_))
            Fail("CopyUpdateToDataPath", "Invalid Update Name [" + pass.header.name + "] in Info File");
        if (pass.count == 0 && !Ask("Software is already updated. Do you want to Update again ?")) return false;
        if (pass.count == -3 && !Ask("Software is already updated with Higher Version. Do you still want to Update ?"))
            return false;
        if (pass.count >= 1 && pass.header.date.size() < 10)
            Fail("CopyUpdateToDataPath", "Invalid Update Date [" + pass.header.date + "] in Info File");
        return CompareWithStored(pass.header.date);
    }

    bool CompareWithStored(const std::string& packageDate) {
        const std::optional<UpdDate> ours = ParseUpdDate(packageDate);
        const std::string marker = DataDir() + "\\SoftUpdates\\UpdInfo" + kind_ + ".txt";
        if (!fs_.FileExists(marker)) return true;
        const std::optional<UpdInfoHeader> stored = ReadStoredHeader(fs_.ReadAllText(marker));
        if (!stored) return true;
        const std::optional<UpdDate> theirs = ParseUpdDate(stored->date);
        if (!theirs)
            Fail("CopyUpdateToDataPath",
                 "Invalid Update Date [" + stored->date + "] in Info File in Software Data Directory");
        // With the count at 0 or -3 the package's own date is not checked; a package without one
        // stands before every stored update.
        const int64_t ourSeconds = ours ? UpdDateSeconds(*ours) : INT64_MIN;
        if (UpdDateSeconds(*theirs) <= ourSeconds) {
            // The same update, whole or in part, or an older one; the store replaces an older one
            // only once this one is in place.
            storedName_ = stored->name;
            return true;
        }
        const std::string higher = HigherStoredUpdate(stored->date);
        if (automatic_) Fail("CopyUpdateToDataPath", higher);
        ShowMessage(&w_, higher + ".\r\n\r\nThe Higher Version Software Update will be run on this Computer.", MsgStyleInfo);
        // The user sees the stored update, and its program takes over from this one.
        const std::string storedPath = DataDir() + "\\SoftUpdates\\" + stored->name;
        const std::string program = storedPath + "\\Update" + ProductLetter(s_.ProductKey) + ".exe";
        os_.shell->Execute("Open", "explorer.exe", "/select," + storedPath, "", platform::ShowMaximized);
        // Shown: Windows hides the first window of a program started hidden, whatever it asks for,
        // and the user would be left with nothing on the screen.
        if (!os_.shell->Execute("", program, "", "", platform::ShowNormal)) {
            forms::Application::Current().GetBackend().SystemMessageBox(
                &w_, "Failed to Run Update File [" + program + "].", MsgStyleInfo, std::nullopt);
        }
        return false;
    }

    bool Store() {
        StoreJob job;
        job.packageDir = StripTrailingBackslash(s_.ProgramDir);
        job.dataDir = DataDir();
        job.name = packageName_;
        job.kind = kind_;
        // The program as the package holds it: the running copy may have been started by another path.
        job.programPath = job.packageDir + "\\" + PathFileName(os_.system->ProgramPath());
        job.storedProgram = "Update" + ProductLetter(s_.ProductKey) + ".exe";
        job.storedName = storedName_;
        job.owner = os_.system->ComputerName();
        const SealLoad sealed = LoadPackageSeal(fs_, job.packageDir);
        if (!sealed.failure.empty()) Fail("CopyUpdateToDataPath", sealed.failure, ExitPackageDamaged);
        if (sealed.present) job.seal = &sealed.seal;

        StoreProgress progress;
        progress.status = [this](const std::string& text) {
            w_.lblPG.SetCaption(text);
            forms::DoEvents();
        };
        progress.folderStarts = [this](int32_t files) {
            w_.picPG.Tag = std::to_string(files);
            w_.shpPG.Tag = "0";
            w_.DrawProgress();
            forms::DoEvents();
        };
        progress.fileCopied = [this] {
            w_.shpPG.Tag = std::to_string(static_cast<int64_t>(Val(w_.shpPG.Tag)) + 1);
            w_.DrawProgress();
            pace_.Maybe();
        };
        const StoreResult result = StoreUpdate(fs_, job, progress);
        if (!result.ok) Fail("CopyUpdateToDataPath", result.failure, result.damaged ? ExitPackageDamaged : ExitDataDirectory);
        return true;
    }

    std::string DataDir() { return StripTrailingBackslash(main_.txtDataDir.Text()); }

    frmUpdate& w_;
    frmmain& main_;
    SharedState& s_;
    platform::Platform& os_;
    platform::FileSystem& fs_;
    const bool automatic_;
    std::string kind_;
    std::string packageName_;
    std::string storedName_;
    RepaintPace pace_;
};

}  // namespace

bool CopyUpdateToDataPath(frmUpdate& window) { return CopyUpdate(window).Run(); }

void InstallDistribution() { UpdateHooks().copyUpdateToDataPath = CopyUpdateToDataPath; }

}  // namespace updexar
