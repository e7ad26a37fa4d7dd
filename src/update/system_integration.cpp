#include "update/system_integration.h"

#include <cstdio>
#include <vector>

#include "core/config.h"
#include "core/list_input.h"
#include "core/shared_state.h"
#include "core/update_log.h"
#include "forms/application.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "ui/msgbox.h"

namespace updexar {

const std::array<std::string_view, 11> kOldInstallerCodes = {
    "{3F6A1C2E-8B41-4D7A-9C15-2E7B0A6D4F01}", "{7C2D9E4B-1A63-4F8E-B027-5D9C3E1A8B02}",
    "{A41B7F3C-6D28-4E95-8A1F-0C4E7B2D9A03}", "{5E8C2A1D-9F47-4B36-A5D0-3B6F8E1C2D04}",
    "{B9D3E6F1-2C74-4A58-9E0B-7F1A4C8D3E05}", "{1D7F4B8E-3A52-4C69-B8E2-6A0D9F3B7C06}",
    "{C6A0E3B9-5D81-4F27-A3C4-9E2B5D1F8A07}", "{8E4B1D7A-6C39-4E50-9F6A-2D8C3B0E4F08}",
    "{2B9F6C3E-7A15-4D84-B1E9-5C3A8F6D0B09}", "{E3C7A9D2-4B60-4F18-8D3B-1F7E2A5C9D10}",
    "{9A5D2F8C-1E73-4B46-A0C8-3D6B9E2F1A11}",
};

namespace {

platform::Platform& Os() { return platform::Os(); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

forms::Form* Owner() {
    return forms::Application::HasCurrent() ? forms::Application::Current().ActiveForm() : nullptr;
}

// Calendar day of a file's last change; errors are the caller's to ignore.
int64_t DayOf(const std::string& path) { return Os().files->LastModified(path).DayNumber(); }

}  // namespace

StepAnswer OccuredWhileUpdating(const RuntimeError& error, const std::string& source) {
    const std::string where = "Occured while updating (" + source + ")";
    if (IsAutomaticMode()) {
        LogErrorLAN("Error:Update:" + error.Description() + " [" + where + "]");
        return StepAnswer::Ignore;
    }
    return StepAnswerOf(ShowMessage(Owner(), error.Description() + "\r\n" + where, MsgStyleAbortRetryIgnore,
                                    std::string("Contact Your Vendor")));
}

bool RegUnRegCOM(const std::string& path, bool registerServer) {
    const SharedState& s = Shared();
    bool ok = false;
    // The one error a registration can raise here is the platform's own; the rule for it is the
    // user's choice, or the end of an unattended run.
    RunStep(
        [&] {
            if (!Os().files->FileExists(path)) return;
            if (!s.IsWinNT || !EndsWithNoCase(path, ".DLL")) {
                const std::string undo = registerServer ? "" : " /u";
                Os().processes->StartHidden(Quoted(s.RegSvr32Path) + " /s" + undo + " " + Quoted(path));
                ok = true;
                return;
            }
            const platform::SelfRegResult r = Os().com->CallSelfRegistration(path, registerServer);
            if (r.outcome == platform::SelfRegOutcome::NoEntryPoint) ok = true;
            else if (r.outcome == platform::SelfRegOutcome::Called) ok = r.result == 0;
        },
        [&](const RuntimeError& e) {
            if (IsAutomaticMode()) {
                LogErrorLAN("Error:RegUnRegCOM:" + e.Description());
                EndAutomaticRun(ExitUpdateStep);
            }
            return StepAnswerOf(ShowMessage(Owner(), "Error while Registering COM Object : " + e.Description(), 2));
        });
    return ok;
}

void ClearReadOnly(const std::string& file, const std::string& folder) {
    platform::FileSystem& fs = *Os().files;
    for (const std::string* path : {&file, &folder}) {
        try {
            if (path->empty()) continue;
            // One look at the disk: a missing path throws, and the directory bit tells a file
            // from a folder.
            const uint32_t attributes = fs.GetAttributes(*path);
            if (((attributes & platform::AttrDirectory) != 0) != (path == &folder)) continue;
            if (attributes & platform::AttrReadOnly) fs.SetAttributes(*path, attributes - platform::AttrReadOnly);
        } catch (const RuntimeError&) {
        }
    }
}

bool EnsureParentFolder(const std::string& path) {
    platform::FileSystem& fs = *Os().files;
    try {
        const std::string parent = PathParent(path);
        std::vector<std::string> missing;
        for (std::string p = parent; !p.empty() && !fs.FolderExists(p); p = PathParent(p)) {
            missing.push_back(p);
            if (PathParent(p) == p) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) fs.CreateFolder(*it);
        return parent.empty() || fs.FolderExists(parent);
    } catch (const RuntimeError&) {
        return false;
    }
}

void ZapOldInstallations() {
    const std::string& zap = Shared().MsizapPath;
    if (zap.empty()) return;
    for (std::string_view code : kOldInstallerCodes) Os().processes->StartHidden(Quoted(zap) + " T " + std::string(code));
}

std::string RegistryRightsScript(const std::string& productKey) {
    const std::string p = ToUpper(productKey);
    const bool any = productKey.size() < 2;
    auto is = [&](std::initializer_list<const char*> keys) {
        if (any) return true;
        for (const char* k : keys)
            if (p == ToUpper(k)) return true;
        return false;
    };
    const std::string rights = " [17 11 7 5 1]\r\n";
    const std::string base = "\\Registry\\Machine\\Software\\VEKInfo";
    std::string script = base + rights;
    auto row = [&](const char* product, std::initializer_list<const char*> keys) {
        if (is(keys)) script += base + "\\" + product + rights;
    };
    row("Galvano", {"Galvano"});
    row("Rovina", {"Rovina"});
    row("Selvan", {"Galvano", "Selvan"});
    row("Tarsel", {"Galvano", "Tarsel"});
    row("Fendal", {"Galvano", "Fendal"});
    row("Pelmar", {"Pelmar"});
    row("Corlet", {"Corlet"});
    row("Istova", {"Istova"});
    row("Halvion", {"Halvion"});
    row("Bristan", {"Bristan"});
    row("Xelmor", {"Xelmor"});
    row("Nevrin", {"Nevrin"});
    row("Aldova", {"Aldova"});
    if (is({"Eskarn"})) {
        script += base + "\\Eskarn" + rights;
        script += "\\Registry\\Machine\\Software\\VEK Corvane\\Excise" + rights;
    }
    row("Dorvel", {"Dorvel"});
    return script;
}

std::string SetRegistryRights() {
    const SharedState& s = Shared();
    if (!s.IsWinNT) return "";
    platform::FileSystem& fs = *Os().files;
    try {
        std::string tool = s.ProgramDir + "\\MiscFls\\RegIni.exe";
        const std::string systemTool = s.SysDir + "\\RegIni.exe";
        if (fs.FileExists(tool)) {
            if (!fs.FileExists(systemTool)) fs.CopyFile(tool, systemTool);
        } else {
            tool = fs.FileExists(systemTool) ? systemTool : "";
        }
        if (tool.empty()) return "";

        const std::string temp = StripTrailingBackslash(Os().system->TempDirectory());
        if (!fs.FolderExists(temp)) fs.CreateFolder(temp);
        if (!fs.FolderExists(temp)) return "";

        const DateTime now = Os().clock->Now();
        char name[32];
        std::snprintf(name, sizeof name, "%02d%02d%04d%02d%02d%02d.INI", now.day, now.month, now.year, now.hour,
                      now.minute, now.second);
        const std::string script = temp + "\\" + name;
        fs.WriteAllText(script, RegistryRightsScript(s.ProductKey));
        Os().processes->StartHidden(Quoted(tool) + " " + Quoted(script));
        return script;
    } catch (const RuntimeError&) {
        return "";
    }
}

bool InstallMiscFiles() {
    const SharedState& s = Shared();
    platform::FileSystem& fs = *Os().files;
    struct Component {
        const char* name;
        bool registered;
    };
    for (const Component c : {Component{"PrjVEKMainO.dll", true}, Component{"VEKSvrReg.Exe", false},
                              Component{"VEKMiscInf.dll", true}}) {
        const std::string source = s.ProgramDir + "\\MiscFls\\" + c.name;
        if (!fs.FileExists(source)) continue;
        const std::string target = s.SysDir + "\\" + c.name;
        if (fs.FileExists(target)) {
            try {
                if (DayOf(source) < DayOf(target)) continue;
            } catch (const RuntimeError&) {
            }
        }
        const auto step = [&](const std::function<void()>& statement) {
            return RunStep(statement, [&](const RuntimeError& e) { return OccuredWhileUpdating(e, source); });
        };
        if (fs.FileExists(target)) {
            if (c.registered && !step([&] { RegUnRegCOM(target, false); })) return false;
            ClearReadOnly(target, "");
            if (!step([&] { fs.DeleteFile(target, true); })) return false;
        }
        if (!step([&] { fs.CopyFile(source, target, true); })) return false;
        ClearReadOnly(target, "");
        if (c.registered && !step([&] { RegUnRegCOM(target, true); })) return false;
    }
    return true;
}

void InstallFonts(const std::function<void(const std::string&)>& status) {
    const SharedState& s = Shared();
    platform::FileSystem& fs = *Os().files;
    const std::string folder = s.ProgramDir + "\\DLLs\\MyFonts";
    const std::string list = folder + "\\FontList.txt";
    try {
        if (!fs.FolderExists(folder) || !fs.FileExists(list)) return;
        if (status) status("Installing Fonts .....");
        forms::DoEvents();
        const std::string fonts = StripTrailingBackslash(Os().system->WindowsDirectory()) + "\\Fonts";
        ListInput in(fs.ReadAllText(list));
        std::vector<std::string> record;
        while (in.NextRecord(2, record)) {
            const std::string& file = record[0];
            const std::string& face = record[1];
            if (file.empty() || face.empty()) continue;
            if (Os().fonts->IsFaceInstalled(face)) continue;
            const std::string target = fonts + "\\" + file;
            const std::string source = folder + "\\" + file;
            // A file already in the Fonts folder whose face is missing was left by an install
            // that did not register it: it is added and registered from there.
            if (!fs.FileExists(target)) {
                if (!fs.FileExists(source)) continue;
                fs.CopyFile(source, target);
            }
            AddFont(target);
            RegisterFont(face, file);
        }
    } catch (const RuntimeError&) {
        // A broken list or a font that cannot be copied ends the fonts, not the update.
    }
}

void AddFont(const std::string& path) {
    if (Os().fonts->AddFontFile(path) > 0) Os().fonts->BroadcastFontChange();
}

// AddFontResource lasts only the session: the system loads at start only the fonts listed here,
// so an update that installed a font without this entry would lose it at the next restart.
void RegisterFont(const std::string& face, const std::string& file) {
    std::string kind;
    if (EndsWithNoCase(file, ".TTF") || EndsWithNoCase(file, ".TTC")) kind = " (TrueType)";
    else if (EndsWithNoCase(file, ".OTF")) kind = " (OpenType)";
    WriteRegValue(platform::RegRoot::LocalMachine, kFontsKey, face + kind, RegKindText, file);
}

void RemoveOldStartupEntries() {
    platform::System& sys = *Os().system;
    if (!Shared().IsWinNT) {
        RemoveStartupEntriesIn(sys.WindowsDirectory());
        return;
    }
    for (const std::string& profile :
         {sys.AllUsersProfileDirectory(), sys.DefaultUserProfileDirectory(), sys.UserProfileDirectory()})
        RemoveStartupEntriesIn(profile.substr(0, std::min<size_t>(profile.find('\0'), 254)));
    // The folders behind those paths on current Windows, where the profile paths are junctions
    // that refuse a listing.
    for (const std::string& folder : {sys.CommonStartupFolder(), sys.UserStartupFolder()}) RemoveEntriesFrom(folder);
}

void RemoveStartupEntriesIn(const std::string& profileFolder) {
    if (profileFolder.empty()) return;
    RemoveEntriesFrom(profileFolder + (profileFolder.back() == '\\' ? "" : "\\") + "Start Menu\\Programs\\Startup");
}

void RemoveEntriesFrom(const std::string& startup) {
    platform::FileSystem& fs = *Os().files;
    try {
        if (startup.empty() || !fs.FolderExists(startup)) return;
        for (const std::string& name : fs.ListFiles(startup)) {
            const std::string upper = ToUpper(name);
            if (upper.find("VEKSERVER") == std::string::npos) continue;
            if (!EndsWithNoCase(upper, ".LNK") && !EndsWithNoCase(upper, ".EXE")) continue;
            try {
                fs.DeleteFile(startup + "\\" + name, true);
            } catch (const RuntimeError&) {
            }
        }
    } catch (const RuntimeError&) {
    }
}

void FindRegServices(platform::ServiceManager& manager) {
    SharedState& s = Shared();
    const auto services = manager.EnumerateAll();
    if (!services) return;
    for (const platform::ServiceEntry& entry : *services) {
        if (entry.state != platform::ServiceRunning || entry.name == "UNKNOWN") continue;
        auto service = manager.OpenService(entry.name, false);
        if (!service) return;
        const auto program = service->ProgramPath();
        if (!program) return;
        std::string name = program->substr(0, program->find('\0'));
        name = name.substr(name.find_last_of('\\') == std::string::npos ? 0 : name.find_last_of('\\') + 1);
        name = name.substr(name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1);
        if (ToUpper(name) == "VEKSVRREG.EXE") s.ServiceList += "|" + entry.name;
    }
}

namespace {

std::vector<std::string> ListedServices() {
    std::vector<std::string> names;
    const std::string& list = Shared().ServiceList;
    size_t start = list.find('|');
    while (start != std::string::npos) {
        const size_t next = list.find('|', start + 1);
        names.push_back(list.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1));
        start = next;
    }
    return names;
}

}  // namespace

void StopRegServices() {
    SharedState& s = Shared();
    auto manager = Os().services->OpenManager(true);
    if (!manager) return;
    s.ServiceList.clear();
    FindRegServices(*manager);
    const std::vector<std::string> found = ListedServices();
    s.ServiceList.clear();
    for (const std::string& name : found) {
        auto service = manager->OpenService(name, true);
        if (!service) continue;
        service->Stop();
        s.ServiceList += "|" + name;
    }
}

void StartListedServices() {
    if (Shared().ServiceList.empty()) return;
    auto manager = Os().services->OpenManager(true);
    if (!manager) return;
    for (const std::string& name : ListedServices()) {
        auto service = manager->OpenService(name, true);
        // A service asked to stop a moment ago may still be stopping, and a start fails until it
        // has: it gets 30 seconds for that.
        for (int waited = 0; service && !service->Start() && waited < 30000; waited += 100) {
            if (service->State() != platform::ServiceStopPending) break;
            Os().clock->Sleep(100);
        }
    }
}

void StartStoppedServices() {
    StartListedServices();
    Shared().ServiceList.clear();
}

bool StartExistingService() {
    auto manager = Os().services->OpenManager(true);
    if (!manager) return false;
    auto service = manager->OpenService(std::string(kVekServiceName), true);
    return service && service->Start();
}

std::string PathForServiceManager(const std::string& path) {
    const std::string wow = StripTrailingBackslash(Os().system->Wow64SystemDirectory());
    const std::string sys = StripTrailingBackslash(Shared().SysDir);
    if (wow.empty() || sys.empty() || !StartsWithNoCase(path, sys + "\\")) return path;
    return wow + path.substr(sys.size());
}

void CreateRegService(const std::string& programPath) {
    auto manager = Os().services->OpenManager(true);
    if (!manager) return;
    platform::NewService service;
    service.name = std::string(kVekServiceName);
    service.programPath = PathForServiceManager(programPath);
    if (manager->CreateService(service)) Shared().ServiceList = "|" + std::string(kVekServiceName);
}

void KillProcessById(uint32_t processId) {
    if (processId == 0) return;
    Os().processes->Terminate(processId, 0);
}

}  // namespace updexar
