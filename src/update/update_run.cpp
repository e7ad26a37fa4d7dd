// The update of this computer: checks, the server and data-directory steps, clean-up, the
// system components, the index entries, fonts and the VEK service, in that order.
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "core/config.h"
#include "core/package_seal.h"
#include "core/product_table.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "forms/application.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/product_paths.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"
#include "ui/repaint_pace.h"
#include "update/frmupdate.h"
#include "update/package_index.h"
#include "update/system_integration.h"

namespace updexar {
namespace {

// Leaves the run; the window then closes.
struct StopUpdate {};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsComponent(const std::string& path) { return EndsWithNoCase(path, ".OCX") || EndsWithNoCase(path, ".DLL"); }

// Sources whose failures the product has always shrugged off: shared components that another
// program may hold open.
bool FailureIsIgnored(const std::string& source) {
    const std::string s = ToUpper(source);
    auto has = [&s](const char* part) { return s.find(part) != std::string::npos; };
    return (has("MSXML4") && has(".DLL")) || (has("VSFLEX8") && has(".OCX")) || has("VEKOLSUPPORT.EXE") ||
           has("VEKLIVESUPPORT.EXE");
}

class UpdateRun {
public:
    explicit UpdateRun(frmUpdate& window)
        : w_(window), main_(forms::Window<frmmain>()), s_(Shared()), fs_(*platform::Os().files),
          automatic_(IsAutomaticMode()) {}

    void Run();

private:
    // Interactive: the text in an information box; automatic: the "Error:Update:" line and the end.
    [[noreturn]] void Stop(const std::string& text, ExitCode code = ExitUpdateStep) {
        if (automatic_) {
            LogErrorLAN("Error:Update:" + text.substr(0, text.size() - (text.back() == '.' ? 1 : 0)));
            EndAutomaticRun(code);
        }
        ShowMessage(&w_, text, MsgStyleInfo);
        throw StopUpdate{};
    }

    // One statement under the run's failure rule of the current stage.
    void Do(const std::function<void()>& statement) {
        if (!RunStep(statement, [this](const RuntimeError& e) { return OnError(e); })) throw StopUpdate{};
    }

    StepAnswer OnError(const RuntimeError& e) {
        if (stage_ != 0) {
            if (FailureIsIgnored(source_)) return StepAnswer::Ignore;
            return OccuredWhileUpdating(e, source_);
        }
        if (automatic_) {
            LogErrorLAN("Error:Update:" + e.Description());
            return StepAnswer::Ignore;
        }
        return StepAnswerOf(ShowMessage(&w_, e.Description(), MsgStyleAbortRetryIgnore, std::string("Contact Your Vendor")));
    }

    void Status(const std::string& text) {
        w_.lblPG.SetCaption(text);
        forms::DoEvents();
    }

    bool CheckRegSvr();
    void CopySystemFilesAsTheyAre();
    void CopyAndRegisterForDotNet(const std::string& folder, const std::string& regAsmName);
    std::vector<IndexEntry> ReadIndex();
    void Validate(std::vector<IndexEntry>& entries);
    void Copy(const std::vector<IndexEntry>& entries);
    void CopyEntry(const IndexEntry& entry);
    void FinishSystem();

    frmUpdate& w_;
    frmmain& main_;
    SharedState& s_;
    platform::FileSystem& fs_;
    const bool automatic_;
    int stage_ = 0;
    std::string source_;
    // Bytes; 64-bit, so packages beyond 2 GiB keep a sane bar.
    uint64_t total_ = 0;
    uint64_t copied_ = 0;
    std::string rightsScript_;
    std::string lastParent_;
    std::string freshFolder_;
    std::set<std::string> freshNames_;
    RepaintPace pace_;
};

bool UpdateRun::CheckRegSvr() {
    const std::string& path = s_.RegSvr32Path;
    try {
        if (!path.empty() && fs_.FileExists(path)) return true;
        const std::string what = path.empty() ? "RegSvr32 File is Mising" : "RegSvr32 File [" + path + "] is Mising";
        if (automatic_) {
            LogErrorLAN("Error:CheckRegSvr:" + what);
            EndAutomaticRun(ExitUpdateStep);
        }
        ShowMessage(&w_, what + ".", MsgStyleInfo);
    } catch (const RuntimeError& e) {
        if (automatic_) {
            LogErrorLAN("Error:CheckRegSvr:" + e.Description());
            EndAutomaticRun(ExitUpdateStep);
        }
        ShowMessage(&w_, "Error occured while copying RegSvr : " + e.Description(), 16);
    }
    return false;
}

void UpdateRun::CopySystemFilesAsTheyAre() {
    const std::string folder = s_.ProgramDir + "\\DLLs\\SigFlsNR";
    if (!fs_.FolderExists(folder)) return;
    std::vector<std::string> names;
    Do([&] { names = fs_.ListFiles(folder); });
    for (const std::string& name : names) {
        source_ = folder + "\\" + name;
        const std::string target = s_.SysDir + "\\" + name;
        if (fs_.FileExists(target)) {
            try {
                ClearReadOnly(target, "");
                fs_.CopyFile(source_, target, true);
                ClearReadOnly(target, "");
            } catch (const RuntimeError&) {
            }
        } else {
            Do([&] { fs_.CopyFile(source_, target, true); });
        }
    }
}

// SigFlsN and SigFlsN45: .NET assemblies into the system folder, each registered with RegAsm.
void UpdateRun::CopyAndRegisterForDotNet(const std::string& folderName, const std::string& regAsmName) {
    const std::string folder = s_.ProgramDir + "\\DLLs\\" + folderName;
    if (!fs_.FolderExists(folder)) return;
    const bool classic = regAsmName == "Regasm.exe";
    std::string regAsm;

    const std::string packaged = folder + "\\" + regAsmName;
    if (classic) {
        if (fs_.FileExists(packaged)) {
            regAsm = s_.SysDir + "\\Regasm.exe";
            if (fs_.FileExists(regAsm)) {
                try {
                    // Another framework's RegAsm is already there: ours goes beside it.
                    if (fs_.FileSize(regAsm) != fs_.FileSize(packaged)) regAsm = s_.SysDir + "\\Regasm20.exe";
                } catch (const RuntimeError&) {
                }
            }
            if (!fs_.FileExists(regAsm)) {
                source_ = packaged;
                Do([&] { fs_.CopyFile(packaged, regAsm, true); });
                ClearReadOnly(regAsm, "");
            }
        }
        const std::string itext = folder + "\\itextsharp.dll";
        if (fs_.FileExists(itext)) {
            source_ = itext;
            const std::string target = s_.SysDir + "\\itextsharp.dll";
            ClearReadOnly(target, "");
            Do([&] { fs_.CopyFile(itext, target, true); });
            ClearReadOnly(target, "");
        }
        if (regAsm.empty()) {
            if (fs_.FileExists(s_.SysDir + "\\Regasm20.exe")) regAsm = s_.SysDir + "\\Regasm20.exe";
            else if (fs_.FileExists(s_.SysDir + "\\Regasm.exe")) regAsm = s_.SysDir + "\\Regasm.exe";
        }
    } else {
        regAsm = s_.SysDir + "\\" + regAsmName;
        if (!fs_.FileExists(regAsm)) {
            if (fs_.FileExists(packaged)) {
                source_ = packaged;
                Do([&] { fs_.CopyFile(packaged, regAsm, true); });
                ClearReadOnly(regAsm, "");
                if (!fs_.FileExists(regAsm)) regAsm.clear();
            } else {
                regAsm.clear();
            }
        }
    }

    std::vector<std::string> names;
    Do([&] { names = fs_.ListFiles(folder); });
    for (const std::string& name : names) {
        const std::string upper = ToUpper(name);
        if (upper == ToUpper(regAsmName) || (classic && upper == "ITEXTSHARP.DLL")) continue;
        source_ = folder + "\\" + name;
        const std::string target = s_.SysDir + "\\" + name;
        ClearReadOnly(target, "");
        Do([&] { fs_.CopyFile(source_, target, true); });
        ClearReadOnly(target, "");
        if (!regAsm.empty())
            platform::Os().processes->StartHidden(Quoted(regAsm) + " " + Quoted(target) + " /codebase /silent");
    }
}

std::vector<IndexEntry> UpdateRun::ReadIndex() {
    std::vector<IndexEntry> entries;
    const std::string index = s_.ProgramDir + "\\DLLs\\NewUpFls\\INDEX.UPD";
    if (!fs_.FileExists(index)) return entries;
    source_ = index;
    Do([&] {
        PackageIndex read = ReadPackageIndex(fs_.ReadAllText(index));
        entries = std::move(read.entries);
        // A record cut off by the end of the file: said once; the whole records stand.
        if (read.truncated) throw RuntimeError(ErrInputPastEnd);
    });
    return entries;
}

void UpdateRun::Validate(std::vector<IndexEntry>& entries) {
    const std::string base = s_.ProgramDir + "\\DLLs\\NewUpFls\\";
    const DestinationFolders folders{s_.SysDir, main_.txtInstDir.Text(), main_.txtDataDir.Text(),
                                     s_.ProductKey != kNoProductKey};
    for (IndexEntry& e : entries) {
        pace_.Maybe();
        e.source = base + e.source;
        source_ = e.source;
        if (KindOf(e.type) == EntryKind::Folder && NamesWholeRoot(e.destination)) {
            // Copying a folder deletes its destination first; the rest of the index goes on.
            const std::string refused = "Folder (" + e.source + ") not copied: [" + e.destination + "] is a whole folder";
            if (automatic_) LogErrorLAN("Error:Update:" + refused);
            else ShowMessage(&w_, refused + ".", MsgStyleInfo);
            e.type.clear();
            continue;
        }
        // The size is wanted next anyway: one look at a file on the share, not two.
        std::optional<uint64_t> known;
        while (true) {
            const SourceProblem found = LookAtSource(fs_, KindOf(e.type), e.source, known);
            if (found == SourceProblem::None) break;
            const std::string problem = SourceProblemText(found, e.source);
            if (automatic_) {
                LogErrorLAN("Error:Update:" + problem);
                e.type.clear();
                break;
            }
            const int answer = ShowMessage(&w_, problem, MsgStyleAbortRetryIgnore, std::string("Updation"));
            if (answer == MsgAbort) throw StopUpdate{};
            if (answer == MsgRetry) continue;
            if (answer == MsgIgnore) e.type.clear();
            break;
        }
        if (e.type.empty()) continue;

        Do([&] {
            e.size = known ? *known : KindOf(e.type) == EntryKind::Folder ? fs_.FolderSize(e.source) : fs_.FileSize(e.source);
            total_ += e.size;
        });

        e.destination = DestinationPath(e.destination, folders);
        if (e.destination.empty()) Stop("Some files required to be copied in Installation Path.");
    }
}

void UpdateRun::Copy(const std::vector<IndexEntry>& entries) {
    size_t left = 0;
    for (const IndexEntry& e : entries) left += !e.type.empty();
    for (const IndexEntry& e : entries) {
        if (e.type.empty()) continue;
        source_ = e.source;
        copied_ += e.size;
        if (pace_.Due(--left == 0)) {
            if (copied_ <= total_ && total_ > 0)
                w_.SetProgress(static_cast<int64_t>(std::floor(static_cast<double>(copied_) / static_cast<double>(total_) * 100)));
            Status(std::string(KindOf(e.type) == EntryKind::Folder ? "Copying Folder (" : "Copying File (") + PathFileName(e.source) + ") ...");
            pace_.Done();
        }
        CopyEntry(e);
    }
}

void UpdateRun::CopyEntry(const IndexEntry& e) {
    const bool folder = KindOf(e.type) == EntryKind::Folder;
    const std::string& from = e.source;
    const std::string& to = e.destination;

    // Entries of one folder come one after another: its parent is looked for once. A folder this
    // run had to make holds only what the run put there, so its files need no look at the disk.
    const std::string parent = PathParent(to);
    const std::string name = ToUpper(PathFileName(to));
    bool exists = false;
    if (folder) {
        freshFolder_.clear();  // a folder copied in brings names the run does not keep
        exists = fs_.FolderExists(to);
    } else if (!freshFolder_.empty() && parent == freshFolder_) {
        exists = freshNames_.count(name) != 0;
    } else if (parent != lastParent_ && !fs_.FolderExists(parent)) {
        EnsureParentFolder(to);
        lastParent_ = freshFolder_ = parent;
        freshNames_.clear();
    } else {
        exists = fs_.FileExists(to);
    }
    if (exists) {
        const OverwriteRule rule = RuleOf(e.rule);
        if (rule == OverwriteRule::Never) return;
        if (rule == OverwriteRule::UnlessSourceOlder) {
            bool older = false;
            Do([&] { older = SourceIsOlder(fs_.LastModified(from), fs_.LastModified(to)); });
            if (older) return;
        }
        if (folder) {
            ClearReadOnly("", to);
            lastParent_.clear();  // the folders below this one go with it
            Do([&] { fs_.DeleteFolder(to, true); });
        } else {
            if (IsComponent(to)) RegUnRegCOM(to, false);
            ClearReadOnly(to, "");
            Do([&] { fs_.DeleteFile(to, true); });
        }
    }

    if (!exists && parent != lastParent_) {
        EnsureParentFolder(to);
        lastParent_ = parent;
    }
    if (folder) {
        Do([&] { fs_.CopyFolder(from, to, true); });
        ClearReadOnly("", to);
        return;
    }
    // A copy that may not replace needs no look at the target first: where none was there, the
    // thousands of files of a first installation go straight to the system's copy.
    Do([&] {
        fs_.CopyFile(from, to, exists);
        if (parent == freshFolder_) freshNames_.insert(name);
    });
    ClearReadOnly(to, "");
    if (!IsComponent(from)) return;
    while (!RegUnRegCOM(to, true)) {
        if (automatic_) {
            LogErrorLAN("Error:Update:Dll Register (" + to + ") Failed");
            return;
        }
        const int answer =
            ShowMessage(&w_, "Dll Register (" + to + ") Failed.", MsgStyleAbortRetryIgnore, std::string("Contact Your Vendor"));
        if (answer == MsgAbort) throw StopUpdate{};
        if (answer != MsgRetry) return;
    }
}

// The end of the run touches shared parts of the system; none of it may stop the update now.
void UpdateRun::FinishSystem() {
    Status("Please Wait ...");
    platform::Platform& os = platform::Os();
    const std::string service = s_.SysDir + "\\VEKSvrReg.exe";
    try {
        if (fs_.FileExists(s_.SysDir + "\\MSXML4.DLL")) RegUnRegCOM(s_.SysDir + "\\MSXML4.DLL", true);
    } catch (const RuntimeError&) {
    }
    RemoveOldStartupEntries();
    try {
        if (s_.ServiceList.empty() && s_.IsWinNT && fs_.FileExists(service)) CreateRegService(service);
        if (!s_.ServiceList.empty()) {
            StartStoppedServices();
        } else if (fs_.FileExists(service) && !StartExistingService()) {
            // Only where the service cannot be started (no rights, no service manager) does the
            // program run on its own: a plain copy holding the port would keep the service from
            // starting later.
            os.processes->StartHidden(Quoted(service));
        }
    } catch (const RuntimeError&) {
    }
    if (!rightsScript_.empty()) {
        try {
            fs_.DeleteFile(rightsScript_, true);
        } catch (const RuntimeError&) {
        }
        rightsScript_.clear();
    }
}

void UpdateRun::Run() {
    stage_ = 0;
    if (!fs_.FolderExists(s_.ProgramDir + "\\DLLs")) Stop("Source Folder [" + s_.ProgramDir + "\\DLLs] not Found.");
    // A package damaged on its way here is refused before the first change to this computer.
    if (fs_.FileExists(s_.ProgramDir + "\\" + std::string(kSealName))) {
        Status("Checking the Package ...");
        const std::string damaged = PackageSealFailure(fs_, s_.ProgramDir);
        if (!damaged.empty()) Stop(damaged + ".", ExitPackageDamaged);
    }

    if (s_.ProductKey != kNoProductKey) {
        const std::string installDir = main_.txtInstDir.Text();
        if (!EndsWithNoCase(installDir, "\\" + s_.ProductDirName))
            Stop("Installation Path [" + installDir + "] is not Correct.");
        if (!fs_.FolderExists(installDir)) Stop("Installation Path [" + installDir + "] Not Found.");
        const InstallPathValue where = InstallPathValueOf(s_.ProductKey);
        WriteRegValue(platform::RegRoot::LocalMachine, where.key, where.name, RegKindText, installDir);

        if (s_.ProductKey != "Xelmor") {
            s_.SvrCheckOk = false;
            UpdateHooks().checkServer(w_);
            if (!s_.SvrCheckOk) {
                NoteRunOutcome(ExitServerCheck);
                throw StopUpdate{};
            }
            if (!UpdateHooks().copyUpdateToDataPath(w_)) {
                NoteRunOutcome(ExitDataDirectory);
                throw StopUpdate{};
            }
        }
    }

    if (!CheckRegSvr()) throw StopUpdate{};

    Status("Running Cleanup ...");
    w_.picPG.Tag = "100";
    w_.SetProgress(0);
    forms::DoEvents();
    ZapOldInstallations();
    rightsScript_ = SetRegistryRights();
    if (!InstallMiscFiles()) throw StopUpdate{};

    stage_ = 1;
    CopySystemFilesAsTheyAre();
    CopyAndRegisterForDotNet("SigFlsN", "Regasm.exe");
    CopyAndRegisterForDotNet("SigFlsN45", "Regasm45.exe");
    std::vector<IndexEntry> entries = ReadIndex();
    Validate(entries);

    stage_ = 2;
    Copy(entries);

    stage_ = 0;
    InstallFonts([this](const std::string& text) { w_.lblPG.SetCaption(text); });
    FinishSystem();

    if (automatic_) {
        LogErrorLAN("Process:Update:OK");
        return;
    }
    ShowMessage(&w_, "Updated Successfully.", MsgStyleInfo);
    main_.chkUpdateOn0.Tag = "0";
    main_.chkUpdateOn0.SetValue(0);
}

}  // namespace

void Update(frmUpdate& window) {
    try {
        UpdateRun(window).Run();
    } catch (const StopUpdate&) {
    }
}

}  // namespace updexar
