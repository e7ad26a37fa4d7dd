#include "startup/frmcheckcom.h"

#include "forms/application.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "core/config.h"
#include "core/package_seal.h"
#include "core/product_table.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "ui/msgbox.h"

namespace updexar {
namespace {

constexpr const char* kAutoPrefix = "AUTOUPD-";

// Runs one repair statement; a failure there is not the start's concern (the component fails
// later where it is used).
template <class F>
void Ignoring(F&& statement) {
    try {
        statement();
    } catch (const RuntimeError&) {
    }
}

[[noreturn]] void EndProgram() { platform::EndProcessNow(0); }

}  // namespace

ComponentProbe& StartupProbe() {
    static ComponentProbe probe;
    return probe;
}

std::function<void()>& ShowMainWindowHook() {
    static std::function<void()> hook;
    return hook;
}

char ProductLetterOfProgram(const std::string& programPath) {
    std::string name = PathFileName(programPath);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name.empty() ? '\0' : name.back();
}

bool IsWinNTPlatform() { return platform::Os().system->IsWinNTPlatform(); }

frmcheckCOM::frmcheckCOM() : forms::Form("frmcheckCOM") {}

void frmcheckCOM::Form_Load() {
    try {
        Start();
    } catch (const RuntimeError& e) {
        if (!IsAutomaticMode()) {
            ShowMessage(nullptr, e.Description(), MsgStyleError, "Form_Load");
            EndProgram();
        }
        LogErrorLAN("Error:Load:" + e.Description());
        EndAutomaticRun(ExitStartFailed);
    }
}

void frmcheckCOM::Start() {
    SharedState& s = Shared();
    platform::Platform& os = platform::Os();
    const std::string command = os.system->CommandLine();
    const bool automatic = !command.empty();

    s.LogFileNo = 0;
    s.ProductKey.clear();
    const ProductRow* product = nullptr;
    if (!automatic) {
        const char letter = ProductLetterOfProgram(os.system->ProgramPath());
        product = ProductByLetter(letter);
    } else {
        if (command.rfind(kAutoPrefix, 0) != 0) {
            ShowMessage(nullptr, "Invalid Parameters !", MsgStyleInfo);
            EndProgram();
        }
        // The shared folder and its report folder hold the marker and the log: without them there
        // is nowhere to say anything, and the exit code is the only word left.
        const std::vector<std::string> f = CommandFields(command);
        if (f.size() >= 4 && (!os.files->FolderExists(f[1]) || !os.files->FolderExists(f[1] + "\\" + f[3])))
            platform::EndProcessNow(ExitStartFailed);
        product = ProductByKey(f[0].substr(std::string(kAutoPrefix).size()));
    }
    if (!product) {
        if (automatic) {
            // Nobody is at a LAN machine to read a box: the log says it, where the command line
            // names one, and the exit code does in any case.
            LogErrorLAN("Error:Load:Unknown Product !");
            EndAutomaticRun(ExitBadCommandLine);
        }
        ShowMessage(nullptr, "Unknown Product !", MsgStyleInfo);
        EndProgram();
    }
    s.ProductKey = std::string(product->key);
    s.ProductDbName = std::string(product->dbName);
    s.ProductDirName = std::string(product->dirName);
    s.ProductName = std::string(product->name);
    s.ProductCode = std::string(product->code);
    s.VerInfoTable = std::string(product->verInfoTable);

    if (automatic) {
        const std::vector<std::string> fields = CommandFields(command);
        if (fields.size() < 2) throw RuntimeError(ErrSubscript);
        s.ProgramDir = fields[1];
        WriteMarkerFile();
        StartPackageSealCheck(*os.files, s.ProgramDir);
    } else {
        s.ProgramDir = StripTrailingBackslash(PathParent(os.system->ProgramPath()));
        const char* lsa = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
        if (ReadRegValue(platform::RegRoot::LocalMachine, lsa, "forceguest", RegKindDword, "") == "1")
            WriteRegValue(platform::RegRoot::LocalMachine, lsa, "forceguest", RegKindDword, "0");
    }

    s.IsWinNT = IsWinNTPlatform();
    std::string sysDir = os.system->SystemDirectory();
    if (sysDir.size() > 255) sysDir.resize(255);
    s.SysDir = StripTrailingBackslash(sysDir);

    Ignoring([&] {
        const std::string regsvr = s.ProgramDir + "\\MiscFls\\RegSvr32.exe";
        s.RegSvr32Path = os.files->FileExists(regsvr) ? regsvr : "";
    });
    Ignoring([&] {
        const std::string msizap = s.ProgramDir + "\\MiscFls\\Msizap.exe";
        s.MsizapPath = os.files->FileExists(msizap) ? msizap : "";
    });
    RepairFileSystem();
    RepairControls();

    if (ShowMainWindowHook()) ShowMainWindowHook()();
    forms::Application::Current().Unload(*this);
}

void frmcheckCOM::RunRegSvr32(const std::string& arguments) {
    platform::Os().processes->StartHidden("\"" + Shared().RegSvr32Path + "\" " + arguments);
}

void frmcheckCOM::RepairFileSystem() {
    SharedState& s = Shared();
    platform::FileSystem& files = *platform::Os().files;
    const std::string dll = s.SysDir + "\\SCRRUN.DLL";
    for (int attempt = 1; attempt <= 2; ++attempt) {
        bool works = false;
        Ignoring([&] {
            s.FileSys = platform::Os().files;
            works = StartupProbe().fileSystemWorks();
        });
        if (works) return;
        Ignoring([&] {
            if (!files.FileExists(dll)) {
                const std::string shipped = s.ProgramDir + "\\MiscFls\\SCRRUN.DLL";
                if (files.FileExists(shipped)) {
                    files.CopyFile(shipped, dll, true);
                    forms::DoEvents();
                }
            }
        });
        Ignoring([&] {
            if (files.FileExists(dll) && !s.RegSvr32Path.empty() && attempt == 1)
                RunRegSvr32("/s /u \"" + dll + "\"");
        });
        Ignoring([&] {
            if (!s.RegSvr32Path.empty()) RunRegSvr32("/s \"" + dll + "\"");
        });
    }
}

void frmcheckCOM::RepairControl(const std::string& file, char mark, std::string& marks) {
    SharedState& s = Shared();
    platform::FileSystem& files = *platform::Os().files;
    const std::string target = s.SysDir + "\\" + file;
    Ignoring([&] {
        if (!files.FileExists(target)) {
            const std::string shipped = s.ProgramDir + "\\MiscFls\\" + file;
            if (files.FileExists(shipped)) {
                files.CopyFile(shipped, target, true);
                forms::DoEvents();
            }
        }
    });
    Ignoring([&] {
        if (files.FileExists(target) && !s.RegSvr32Path.empty() && marks.find(mark) == std::string::npos) {
            RunRegSvr32("/s /u \"" + target + "\"");
            marks += mark;
        }
    });
    Ignoring([&] {
        if (!s.RegSvr32Path.empty()) RunRegSvr32("/s \"" + target + "\"");
    });
}

void frmcheckCOM::RepairControls() {
    std::string marks;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        std::optional<std::string> error;
        Ignoring([&] { error = StartupProbe().controlsLoadError(); });
        if (!error) return;
        const std::string d = ToUpper(*error);
        const bool winsock = d.find("MSWINSCK") != std::string::npos;
        const bool flex = d.find("VSFLEX") != std::string::npos;
        if (!flex || winsock) RepairControl("mswinsck.ocx", 'M', marks);
        if (!winsock || flex) RepairControl("vsflex8l.ocx", 'V', marks);
    }
}

}  // namespace updexar
