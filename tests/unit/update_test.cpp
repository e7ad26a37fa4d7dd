// The update of this computer on a pretend machine: what lands where, what outside tools are asked to do, what the
// log and the exit code say, and the ways a run stops. The update-information checks and the store in the data
// directory: what refuses an update and with which words, what the data directory holds afterwards, and that a store
// stopped at any point leaves the stored update whole. A sealed package: the update, the store and the LAN run's
// staging take it when it is whole, and refuse it, naming the file, when one is not.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "core/config.h"
#include "core/exit_codes.h"
#include "core/package_seal.h"
#include "core/product_table.h"
#include "distribution/copy_update.h"
#include "distribution/data_store.h"
#include "distribution/upd_info.h"
#include "lan/frmwait.h"
#include "lan/running_apps.h"
#include "lan/update_lan.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "mainwindow/product_paths.h"
#include "platform/errors.h"
#include "platform/strings.h"
#include "posix/posix_filesystem.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"
#include "update/system_integration.h"

using namespace updexar;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
const std::string kPkg = uitest::UiFixture::kSharePkg;
const std::string kSys = "C:\\WINDOWS\\system32";
const std::string kApp = "C:\\Apps\\Galvano";
const std::string kSrc = kPkg + "\\DLLs\\NewUpFls\\";
const std::string kData = "\\\\SERVER\\share\\Data";

struct Machine : uitest::UiFixture {
    explicit Machine(const std::string& commandLine = "AUTOUPD-Galvano:" + kPkg + ":3:Log1:0:0:N",
                     const std::string& key = "Galvano") {
        OnShare(key, false);
        system.commandLine = commandLine;
        SharedState& s = Shared();
        s.ProgramDir = kPkg;
        s.IsWinNT = true;
        s.RegSvr32Path = kPkg + "\\MiscFls\\RegSvr32.exe";
        files.MakeFolders(kApp);
        Put(s.RegSvr32Path, "tool");
        files.MakeFolders(kSrc);
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, kApp + "\\");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, kData);
        Handoffs() = MainWindowHandoffs{};
        InstallLocalUpdate();
    }
    ~Machine() { Handoffs() = MainWindowHandoffs{}; }
    // A VEK service that runs, and stops slowly when the update stops it.
    uint32_t& VekService(const std::string& name = "VEK2") {
        return (fake.services.services[name] = fakes::FakeService{kSys + "\\VEKSvrReg.exe", platform::ServiceRunning, true}).state;
    }

    void Package(const std::string& relative, const std::string& text) { Put(kPkg + "\\" + relative, text); }
    // The local update as the update button or the unattended start runs it.
    std::optional<uint32_t> Run() {
        forms::Window<frmmain>();
        return Ended(UpdateSoftwareOnLocal);
    }
    bool Started(const std::string& commandLine) const {
        const auto& all = fake.processes.starts;
        return std::any_of(all.begin(), all.end(), [&](const auto& start) { return start.commandLine == commandLine; });
    }
};

// A Galvano machine with a package of a few files, sealed.
struct Sealed : Machine {
    explicit Sealed(bool automatic = true) : Machine(automatic ? "AUTOUPD-Galvano:" + kPkg + ":3:Log1:0:0:N" : "") {
        system.programPath = kPkg + "\\UpdateG.exe";
        files.MakeFolders(kData);
        for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
                 {"UpdateG.exe", "program"},
                 {"MiscFls\\RegSvr32.exe", "tool"},
                 {"UpdInfoP.txt", "Upd1,06/12/2026,,\r\na.txt,,,2\r\n"},
                 {"DLLs\\NewUpFls\\INDEX.UPD", "FILE,a.txt,a.txt,Always\r\n"},
                 {"DLLs\\NewUpFls\\a.txt", "aaa"}}) {
            Put(kPkg + "\\" + path, text);
            std::string sealed = path;
            std::replace(sealed.begin(), sealed.end(), '\\', '/');
            seal.push_back(SealedFile{sealed, FileSha256(files, kPkg + "\\" + path), 0});
        }
        Put(kPkg + "\\Updexar.sha256", SealText(seal));
        forms::Window<frmmain>();
    }
    std::vector<SealedFile> seal;
};

const std::string kDiffers = "File [" + kSrc + "a.txt] differs from the package's seal";

const std::string kStore = "\\\\DATA\\d\\Galvano";
const std::string kRoot = kStore + "\\SoftUpdates";
const std::string kHeader = "Upd1,06/12/2026,,\r\n";
const std::string kNeeds = "new.dll,,,2\r\n";  // a file the installation lacks: the update is needed
const StoreJob kJob{kPkg, kStore, "Upd1", "P", kPkg + "\\UpdateX.exe", "UpdateG.exe", "Upd0", "WS01"};

// A package whose update information says the update is needed, and a data directory on another share.
struct Site : Machine {
    explicit Site(bool automatic = true) : Machine(automatic ? "AUTOUPD-Galvano:" + kPkg + ":3:Log1:0:0:N" : "") {
        system.programPath = kPkg + "\\UpdateX.exe";
        files.AddShare("\\\\DATA\\d");
        files.MakeFolders(kStore);
        for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
                 {kPkg + "\\UpdateX.exe", "program"}, {kPkg + "\\DLLs\\NewUpFls\\a.dll", "aaa"},
                 {kPkg + "\\DLLs\\NewUpFls\\deep\\b.txt", "bb"}, {kPkg + "\\MiscFls\\RegIni.exe", "tool"},
                 {kPkg + "\\Log7\\report.log", "another machine's report"}, {kApp + "\\old.dll", "installed"}})
            Put(path, text);
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, kApp);
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, kStore);
        Info(kHeader + kNeeds);
        forms::Window<frmmain>();
    }
    void Info(const std::string& text) { Put(kPkg + "\\UpdInfoP.txt", text); }
    // Stores an update named `name` dated `date` as an earlier run would have left it.
    void Stored(const std::string& name, const std::string& date) {
        Put(kRoot + "\\UpdInfoP.txt", name + "," + date + ",,\r\n");
        Put(kRoot + "\\" + name + "\\UpdInfoP.txt", name + "," + date + ",,\r\n");
    }
    // The exit code when the run ended the process, else 100 + the result.
    uint32_t Run() {
        uint32_t result = 0;
        return Ended([&] { result = 100 + CopyUpdateToDataPath(forms::Window<frmUpdate>()); }).value_or(result);
    }
};

}  // namespace

TEST(UpdateRun, AnUnattendedRunInstallsByTheIndexRulesAndLogsWhatItSkipped) {
    Machine m;
    DateTime yesterday = m.clock.Now();
    yesterday.day -= 1;
    const std::string src = kPkg + "\\DLLs\\NewUpFls\\", fonts = kPkg + "\\DLLs\\MyFonts\\";
    const std::string common = m.system.CommonStartupFolder() + "\\", user = m.system.UserStartupFolder() + "\\";
    for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
             {src + "keep.txt", "new"}, {kApp + "\\keep.txt", "old"}, {src + "fresh.txt", "new"},
             {src + "other.txt", "other"}, {src + "same-day.txt", "new"}, {kApp + "\\same-day.txt", "old"},
             {src + "older.txt", "new"}, {kApp + "\\older.txt", "old"}, {src + "always.txt", "new"},
             {kApp + "\\always.txt", "old"}, {src + "Comp.dll", "dll"}, {src + "Bad.dll", "dll"},
             {src + "Grid.ocx", "ocx"}, {src + "Reports\\r1.rpt", "r1"}, {src + "data.mdb", "db"},
             {kPkg + "\\DLLs\\SigFlsN\\Regasm.exe", "regasm-2"}, {kPkg + "\\DLLs\\SigFlsN\\Net.dll", "net"},
             {kSys + "\\Net.dll", "the assembly an older update left"}, {kSys + "\\Regasm.exe", "regasm-1-longer"},
             {kPkg + "\\MiscFls\\RegIni.exe", "regini"}, {kPkg + "\\MiscFls\\VEKSvrReg.Exe", "service"},
             // Fonts whose face is missing go into the fonts folder; an installed face or a file that is not in the
             // package does not.
             {fonts + "FontList.txt", "\"New.ttf\",\"Updexar Face\"\r\n\"Old.ttf\",\"ARIAL\"\r\n"
                                      "\"Gone.ttf\",\"Gone Face\"\r\n"},
             {fonts + "New.ttf", "font"}, {fonts + "Old.ttf", "font"},
             // Old start-up entries of the service go from the folders the shell names, where the profile paths are
             // junctions; other entries stay.
             {common + "VEKServer.lnk", "link"}, {user + "VEKServer.exe", "old"}, {user + "Other.lnk", "link"}})
        m.Put(path, text);
    m.files.MakeFolders("C:\\WINDOWS\\Fonts");
    m.files.SetLastModified(src + "older.txt", yesterday);
    m.files.SetAttributes(kApp + "\\always.txt", platform::AttrReadOnly);
    m.files.SetAttributes(src + "always.txt", platform::AttrReadOnly);  // the copy must not keep it
    m.fake.com.failing = {kSys + "\\Bad.dll"};
    m.Package("DLLs\\NewUpFls\\INDEX.UPD",
              "FILE,keep.txt,keep.txt,No\r\n"
              "FILE,fresh.txt,deep\\new\\fresh.txt,No\r\n"
              // Into the folder the run has just made: what it put there counts, in any case.
              "FILE,other.txt,deep\\new\\FRESH.TXT,No\r\n"
              "FILE,other.txt,deep\\new\\again.txt,Always\r\n"
              "FILE,fresh.txt,deep\\new\\again.txt,Always\r\n"
              "FILE,same-day.txt,same-day.txt,Last Modified Date\r\n"
              "FILE,older.txt,older.txt,Last Modified Date\r\n"
              "FILE,always.txt,always.txt,Always\r\n"
              "file,Comp.dll,sysdir\\Comp.dll,Always\r\n"
              "FILE,Bad.dll,SYSDIR\\Bad.dll,Always\r\n"
              "FILE,Grid.ocx,System\\SYSDIR\\Grid.ocx,Always\r\n"
              "FOLDER,Reports,Reports,Always\r\n"
              // A folder entry deletes its destination first: never a whole root.
              "FOLDER,Reports,SYSDIR\\,Always\r\nfolder,Reports,\\,Always\r\nFOLDER,Reports,x/..\\ .,Always\r\n"
              "FILE,data.mdb,SOFTDATADIR\\data.mdb,Always\r\n"
              "FILE,gone.dll,gone.dll,Always\r\n"
              "DRIVER,keep.txt,x,Always\r\n"
              "FILE,keep.txt,,Always\r\n");
    m.files.MakeFolders("\\\\SERVER\\share\\Data");
    std::string script;
    m.fake.processes.onStart = [&](const fakes::StartRecord& r) {
        if (r.commandLine.find("RegIni.exe") != std::string::npos) script = m.files.ReadAllText("C:\\TEMP\\04122026171942.INI");
    };
    m.system.wow64SystemDirectory = "C:\\WINDOWS\\SysWOW64";

    EXPECT_EQ(m.Run(), ExitUpdatedWithErrors);  // done, with the skipped entries logged
    EXPECT_EQ(m.files.ListFiles("C:\\WINDOWS\\Fonts"), std::vector<std::string>{"New.ttf"});
    // Registered, so the face is still there after a restart.
    EXPECT_EQ(ReadRegValue(HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Updexar Face (TrueType)",
                           RegKindText, ""),
              "New.ttf");
    EXPECT_TRUE(m.files.ListFiles(m.system.CommonStartupFolder()).empty());
    EXPECT_EQ(m.files.ListFiles(m.system.UserStartupFolder()), std::vector<std::string>{"Other.lnk"});

    // Another RegAsm of another size is there: ours goes beside it under its own name.
    for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
             {kApp + "\\keep.txt", "old"}, {kApp + "\\deep\\new\\fresh.txt", "new"},
             {kApp + "\\deep\\new\\again.txt", "new"}, {kApp + "\\same-day.txt", "new"}, {kApp + "\\older.txt", "old"},
             {kApp + "\\always.txt", "new"}, {kSys + "\\Comp.dll", "dll"}, {kApp + "\\System\\SYSDIR\\Grid.ocx", "ocx"},
             {kApp + "\\Reports\\r1.rpt", "r1"}, {"\\\\SERVER\\share\\Data\\data.mdb", "db"},
             {kSys + "\\VEKSvrReg.Exe", "service"}, {kSys + "\\RegIni.exe", "regini"},
             {kSys + "\\Regasm20.exe", "regasm-2"}, {kSys + "\\Net.dll", "net"}})
        EXPECT_EQ(m.files.ReadAllText(path), text) << path;
    EXPECT_EQ(m.files.GetAttributes(kApp + "\\always.txt") & platform::AttrReadOnly, 0u);
    ASSERT_EQ(m.fake.com.calls.size(), 2u);  // the .dlls through their own entry points
    EXPECT_EQ(m.fake.com.calls[0], std::make_pair(kSys + "\\Comp.dll", true));
    const std::string regsvr = "\"" + kPkg + "\\MiscFls\\RegSvr32.exe\" /s ";
    EXPECT_TRUE(m.Started(regsvr + "\"" + kApp + "\\System\\SYSDIR\\Grid.ocx\""));
    EXPECT_TRUE(m.Started("\"" + kSys + "\\Regasm20.exe\" \"" + kSys + "\\Net.dll\" /codebase /silent"));
    EXPECT_TRUE(m.Started("\"" + kPkg + "\\MiscFls\\RegIni.exe\" \"C:\\TEMP\\04122026171942.INI\""));
    EXPECT_EQ(script, RegistryRightsScript("Galvano"));
    EXPECT_FALSE(m.files.FileExists("C:\\TEMP\\04122026171942.INI"));
    // On 64-bit Windows the service manager must find the program where it really is.
    const fakes::FakeService* service = m.fake.services.Find("VEKSvrReg");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->programPath, "C:\\WINDOWS\\SysWOW64\\VEKSvrReg.exe");
    EXPECT_EQ(service->state, platform::ServiceRunning);

    EXPECT_EQ(m.Log(),
              "[START]\r\nProcess:Update:To->" + kApp + "\r\n"
              "Error:Update:Folder (" + src + "Reports) not copied: [SYSDIR\\] is a whole folder\r\n"
              "Error:Update:Folder (" + src + "Reports) not copied: [\\] is a whole folder\r\n"
              "Error:Update:Folder (" + src + "Reports) not copied: [x/..\\ .] is a whole folder\r\n"
              "Error:Update:File missing (" + src + "gone.dll)\r\n"
              "Error:Update:Invalid Type (" + src + "keep.txt)\r\n"
              "Error:Update:Dll Register (" + kSys + "\\Bad.dll) Failed\r\n"
              "Process:Update:OK\r\n[END]\r\n");
}

TEST(UpdateRun, StopsEndTheLogWithTheirReasonAndExitCode) {
    const std::string lock = "Updexar.Update.Galvano";
    const struct {
        std::string product;
        std::function<void(Machine&)> setUp;
        uint32_t exitCode;
        std::string lastLine;  // before [END]
    } stops[] = {
        {"Galvano", [](Machine& m) { m.files.DeleteFolder(kPkg + "\\DLLs", true); }, ExitUpdateStep,
         "Error:Update:Source Folder [" + kPkg + "\\DLLs] not Found"},
        {"Galvano",
         [](Machine&) { WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, "C:\\Apps\\Missing\\Galvano"); },
         ExitUpdateStep, "Error:Update:Installation Path [C:\\Apps\\Missing\\Galvano] Not Found"},
        {"Galvano", [](Machine& m) { m.files.DeleteFile(kPkg + "\\MiscFls\\RegSvr32.exe"); }, ExitUpdateStep,
         "Error:CheckRegSvr:RegSvr32 File [" + kPkg + "\\MiscFls\\RegSvr32.exe] is Mising"},
        // Product "O" may only write below the system folder.
        {"O",
         [](Machine& m) {
             m.Package("DLLs\\NewUpFls\\a.txt", "a");
             m.Package("DLLs\\NewUpFls\\INDEX.UPD", "FILE,a.txt,SYSDIR\\a.txt,Always\r\nFILE,a.txt,a.txt,Always\r\n");
         },
         ExitUpdateStep, "Error:Update:Some files required to be copied in Installation Path"},
        // Unattended with no waiting time: running programs stay and the run says which.
        {"Galvano",
         [](Machine& m) {
             m.fake.processes.AddProcess("galvano.exe");
             m.fake.processes.AddProcess("C:\\Apps\\Galvano\\Tarsel.exe");
         },
         ExitProgramsRunning, "Error:Update:VEK Applications Running:;  Galvano.exe;  Tarsel.exe"},
        // A second run for the same product on this computer refuses.
        {"Galvano", [&](Machine& m) { m.system.heldLocks.insert(lock); }, ExitAlreadyUpdating,
         "Error:Update:Another update of Galvano is running on this computer"},
    };
    for (const auto& stop : stops) {
        Machine m("AUTOUPD-" + stop.product + ":" + kPkg + ":3:Log1:0:0:N", stop.product);
        stop.setUp(m);
        const uint32_t& service = m.VekService();
        uint32_t atEnd = 0;
        m.system.atEnd = [&] { atEnd = service; };
        EXPECT_EQ(m.Run(), stop.exitCode) << stop.lastLine;
        EXPECT_EQ(atEnd, platform::ServiceRunning) << stop.lastLine;  // stopped for the update, and back
        const std::string log = m.Log();
        EXPECT_EQ(log.substr(log.rfind("\r\n", log.size() - 10) + 2), stop.lastLine + "\r\n[END]\r\n");
    }
    // Interactive: the reason in a box, the window closes, nothing ends.
    Machine m("");
    WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, "C:\\Apps\\Other");
    EXPECT_EQ(m.Run(), std::nullopt);
    EXPECT_EQ(m.messages, (std::vector<std::string>{"Updexar|Installation Path [] is not Correct."}));
    EXPECT_FALSE(m.app.IsLoaded<frmUpdate>());
}

TEST(UpdateRun, RunningProgramsAreClosedOnlyWhenTheUserOrTheCountdownSaysSo) {
    {
        // Unattended, 30 seconds and "close": the countdown runs out and the update goes on.
        Machine m("AUTOUPD-Galvano:" + kPkg + ":3:Log1:0:2:Y");
        const uint32_t pid = m.fake.processes.AddProcess("GALVANO.EXE");
        const uint32_t server = m.fake.processes.AddProcess("VEKServer.exe");
        std::string label;
        m.backend.Always("frmwait", [&](forms::Form& f) { label = static_cast<frmwait&>(f).lblAuto.Caption(); });
        // Every service of the VEK program, found by the program's name: stopped for the update, and back.
        const uint32_t& vek = m.VekService();
        const uint32_t& other = m.VekService("VEK3");
        bool stopped = false;
        m.files.beforeChange = [&](const std::string&) {
            stopped = stopped || (vek != platform::ServiceRunning && other != platform::ServiceRunning);
        };
        EXPECT_EQ(m.Run(), ExitOk);
        EXPECT_TRUE(stopped && vek == platform::ServiceRunning && other == platform::ServiceRunning);
        EXPECT_EQ(label, "Auto Close Apps and Update in 30 Second(s)");
        EXPECT_FALSE(m.fake.processes.IsRunning(pid) || m.fake.processes.IsRunning(server));
    }
    {
        // Unattended, 60 seconds and "don't close": time out means no update.
        Machine m("AUTOUPD-Galvano:" + kPkg + ":3:Log1:0:3:N");
        const uint32_t pid = m.fake.processes.AddProcess("Galvano.exe");
        EXPECT_EQ(m.Run(), ExitProgramsRunning);
        EXPECT_TRUE(m.fake.processes.IsRunning(pid));
    }
    // Interactive, No: the programs keep running and the update does not start.
    Machine m("");
    m.fake.processes.AddProcess("Galvano.exe");
    const uint32_t& service = m.VekService();
    m.answers = {"&No"};
    m.Run();
    EXPECT_EQ(service, platform::ServiceRunning);
    ASSERT_EQ(m.messages.size(), 2u);
    EXPECT_EQ(m.messages[1], "Updexar|First close the running VEK Applications :\r\n    Galvano.exe");  // tabs shown as blanks
}

TEST(UpdateRun, AComponentThatDoesNotRegisterIsAskedAboutAgainUntilIgnoredOrAborted) {
    for (const auto& [answers, registrations] : std::vector<std::pair<std::deque<std::string>, size_t>>{
             {{"&Retry", "&Ignore"}, 2}, {{"&Abort"}, 1}}) {
        Machine m("");
        m.Package("DLLs\\NewUpFls\\Bad.dll", "dll");
        m.Package("DLLs\\NewUpFls\\INDEX.UPD", "FILE,Bad.dll,SYSDIR\\Bad.dll,Always\r\nFOLDER,Reports,SYSDIR\\,Always\r\n");
        m.fake.com.failing = {kSys + "\\Bad.dll"};
        m.answers = answers;
        m.answers.push_front("");  // the refused folder's box
        m.Run();
        EXPECT_EQ(m.fake.com.calls.size(), registrations);
        ASSERT_GE(m.messages.size(), 2u);
        EXPECT_EQ(m.messages[0], "Updexar|Folder (" + kSrc + "Reports) not copied: [SYSDIR\\] is a whole folder.");
        EXPECT_EQ(m.messages[1], "Contact Your Vendor|Dll Register (" + kSys + "\\Bad.dll) Failed.");
        EXPECT_EQ(m.messages.back(), answers.size() == 2 ? "Updexar|Updated Successfully." : m.messages[1]);
    }
}

TEST(UpdateRun, AServiceThatExistsButDoesNotRunIsStartedAsTheService) {
    Machine m;
    m.Package("MiscFls\\VEKSvrReg.Exe", "service");
    m.fake.services.services["VEKSVRREG"] = fakes::FakeService{kSys + "\\VEKSvrReg.exe"};
    EXPECT_EQ(m.Run(), ExitOk);
    EXPECT_EQ(m.fake.services.Find("VEKSvrReg")->state, platform::ServiceRunning);
    for (const auto& start : m.fake.processes.starts) EXPECT_EQ(start.commandLine.find("VEKSvrReg"), std::string::npos);
    // Without the right to start it, the program runs on its own.
    Machine user;
    user.Package("MiscFls\\VEKSvrReg.Exe", "service");
    user.fake.services.fullAccessFails = true;
    EXPECT_EQ(user.Run(), ExitOk);
    EXPECT_TRUE(user.Started("\"" + kSys + "\\VEKSvrReg.exe\""));
}

// A package without its own RegAsm registers its assemblies with the one the system already has.
TEST(UpdateRun, AssembliesRegisterWithTheSystemsRegAsmWhenThePackageHasNone) {
    for (const std::string regAsm : {"Regasm20.exe", "Regasm.exe"}) {
        Machine m;
        m.Package("DLLs\\SigFlsN\\Net.dll", "net");
        m.Put(kSys + "\\" + regAsm, "regasm");
        EXPECT_EQ(m.Run(), ExitOk);
        EXPECT_TRUE(m.Started("\"" + kSys + "\\" + regAsm + "\" \"" + kSys + "\\Net.dll\" /codebase /silent")) << regAsm;
    }
}

TEST(UpdateRun, PackagesBeyondTwoGigabytesKeepTheBarWhole) {
    Machine m("");
    for (const char* name : {"a.dat", "b.dat"}) {
        m.Put(kSrc + name, "x");
        m.files.SetSize(kSrc + name, 3ull << 30);  // 3 GiB each: 6 GiB does not fit 32 bits
    }
    m.Package("DLLs\\NewUpFls\\INDEX.UPD", "FILE,a.dat,a.dat,Always\r\nFILE,b.dat,b.dat,Always\r\n");
    // The bar as it stands when the run says it is done.
    std::string bar, said;
    m.backend.WhenShown("frmMsgBox", [&](forms::Form& box) {
        said = static_cast<frmMsgBox&>(box).lblMsg.Caption();
        bar = forms::Window<frmUpdate>().shpPG.Tag;
        fakes::HeadlessBackend::Key(box, forms::KeyReturn);
    });
    m.Run();
    ASSERT_EQ(said, "Updated Successfully.");
    EXPECT_EQ(m.files.FileSize(kApp + "\\b.dat"), 3ull << 30);
    EXPECT_EQ(bar, "100");
}

TEST(PackageSeal, TheUpdateInstallsAWholePackageAndNothingOfADamagedOne) {
    const struct {
        const char* what;
        std::function<void(Sealed&)> damage;
        uint32_t code;
        std::string lines;
    } rows[] = {
        {"whole, a blank line an editor left at its end",
         [](Sealed& m) { m.Put(kPkg + "\\Updexar.sha256", SealText(m.seal) + "\r\n"); }, ExitOk, "Process:Update:OK"},
        {"one byte changed", [](Sealed& m) { m.Put(kSrc + "a.txt", "aXa"); }, ExitPackageDamaged, "Error:Update:" + kDiffers},
        {"a file gone", [](Sealed& m) { m.files.DeleteFile(kPkg + "\\UpdateG.exe"); }, ExitPackageDamaged,
         "Error:Update:File [" + kPkg + "\\UpdateG.exe] is missing from the package"},
        {"the seal broken", [](Sealed& m) { m.Put(kPkg + "\\Updexar.sha256", SealText(m.seal) + "x  y\n"); },
         ExitPackageDamaged,
         "Error:Update:Seal [" + kPkg + "\\Updexar.sha256] line 6: not \"<SHA-256 in hex>  <file>\""},
        // Without a seal an index cut short is read up to the cut, which is logged.
        {"an index cut short",
         [](Sealed& m) {
             m.files.DeleteFile(kPkg + "\\Updexar.sha256");
             m.Put(kSrc + "INDEX.UPD", "FILE,a.txt,a.txt,Always\r\nFILE,a.txt");
         },
         ExitUpdatedWithErrors,
         "Error:Update:Input past end of file [Occured while updating (" + kSrc + "INDEX.UPD)]\r\nProcess:Update:OK"},
    };
    for (const auto& row : rows) {
        Sealed m;
        if (row.damage) row.damage(m);
        EXPECT_EQ(m.Ended(UpdateSoftwareOnLocal), row.code) << row.what;
        EXPECT_EQ(m.Log(), "[START]\r\nProcess:Update:To->" + kApp + "\r\n" + row.lines + "\r\n[END]\r\n") << row.what;
        // Refused before the first change: not even the installation's path is written.
        EXPECT_EQ(m.files.FileExists(kApp + "\\a.txt"), row.code != ExitPackageDamaged) << row.what;
        EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, ""),
                  row.code != ExitPackageDamaged ? kApp : kApp + "\\")
            << row.what;
    }
    Sealed desk(false);
    desk.Put(kSrc + "a.txt", "aXa");
    desk.Ended(UpdateSoftwareOnLocal);
    EXPECT_EQ(desk.messages.back(), "Updexar|" + kDiffers + ".");
    EXPECT_FALSE(desk.files.FileExists(kApp + "\\a.txt"));
}

TEST(PackageSeal, TheStoreJudgesACopyByTheSealAndRefusesADamagedPackage) {
    const std::string stored = kData + "\\SoftUpdates\\Upd1";
    for (const std::string changed : {"DLLs\\NewUpFls\\a.txt", "UpdateG.exe", "UpdInfoP.txt"}) {
        // A copy of this update left with the right sizes but other bytes is not taken for it.
        Sealed m;
        for (const SealedFile& f : m.seal) m.Put(SealedPath(stored, f.path), m.files.ReadAllText(SealedPath(kPkg, f.path)));
        const std::string ours = m.files.ReadAllText(kPkg + "\\" + changed);
        m.Put(stored + "\\" + changed, std::string(ours.size(), 'x'));
        EXPECT_EQ(m.Ended([] { EXPECT_TRUE(CopyUpdateToDataPath(forms::Window<frmUpdate>())); }), std::nullopt);
        EXPECT_EQ(m.files.ReadAllText(stored + "\\" + changed), ours) << changed;
    }
    {
        Sealed m;
        m.Put(kSrc + "a.txt", "aXa");
        EXPECT_EQ(m.Ended([] { CopyUpdateToDataPath(forms::Window<frmUpdate>()); }), ExitPackageDamaged);
        EXPECT_EQ(m.Log(), "[START]\r\nError:CopyUpdateToDataPath:" + kDiffers + "\r\n[END]\r\n");
        EXPECT_FALSE(m.files.FolderExists(stored));
        EXPECT_FALSE(m.files.FileExists(kData + "\\SoftUpdates\\UpdInfoP.txt"));
    }
}

TEST(PackageSeal, TheLanRunStagesOnlyAWholePackageAndTheSealOfWhatItStaged) {
    const std::string shared = "\\\\SERVER\\share\\VEK_Updates\\Upd1";
    const auto lan = [&](Sealed& m) {
        Shared().LanUpdateDir = shared;
        m.files.MakeFolders(shared);
        forms::Window<frmmain>().PrepareGrid();
        UpdateLAN(forms::Window<frmUpdate>());
    };
    {
        Sealed m(false);
        m.Put(kSrc + "a.txt", "aXa");
        lan(m);
        EXPECT_EQ(m.messages, std::vector<std::string>{"Updexar|" + kDiffers + "."});
        EXPECT_EQ(m.files.ListEntries(shared).size(), 0u);
    }
    {
        // A copy an earlier run staged, with as many files but other bytes, is staged again.
        Sealed m(false);
        m.Put(shared + "\\DLLs\\NewUpFls\\a.txt", "old");
        m.Put(shared + "\\DLLs\\NewUpFls\\INDEX.UPD", "old");
        lan(m);
        EXPECT_TRUE(m.messages.empty());
        EXPECT_EQ(m.files.ReadAllText(shared + "\\DLLs\\NewUpFls\\a.txt"), "aaa");
        std::vector<SealedFile> staged = m.seal;
        staged.erase(staged.begin());  // the program travels under the run's own name
        EXPECT_EQ(m.files.ReadAllText(shared + "\\Updexar.sha256"), SealText(staged));
        EXPECT_EQ(PackageSealFailure(m.files, shared), "");
    }
    {
        // A copy that matches the seal is used again as it stands, extra files and all.
        Sealed m(false);
        for (const SealedFile& f : m.seal) m.Put(SealedPath(shared, f.path), m.files.ReadAllText(SealedPath(kPkg, f.path)));
        m.Put(shared + "\\DLLs\\extra.txt", "kept");
        lan(m);
        EXPECT_TRUE(m.files.FileExists(shared + "\\DLLs\\extra.txt"));
    }
    {
        // Without a seal, none is staged, and one an earlier package left goes.
        Sealed m(false);
        m.files.DeleteFile(kPkg + "\\Updexar.sha256");
        m.Put(shared + "\\Updexar.sha256", "an earlier package's");
        m.files.SetAttributes(shared + "\\Updexar.sha256", platform::AttrReadOnly);
        lan(m);
        EXPECT_TRUE(m.messages.empty());
        EXPECT_TRUE(m.files.FileExists(shared + "\\DLLs\\NewUpFls\\a.txt"));
        EXPECT_FALSE(m.files.FileExists(shared + "\\Updexar.sha256"));
    }
}

TEST(PackageSeal, WorkersSideBySideReportTheFirstBreachInTheSealsOrder) {
    char pattern[] = "/tmp/updexar-seal-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    posix::PosixFileSystem fs;
    PackageSeal seal;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(100 + i);
        fs.WriteAllText(dir + "/" + name, std::string(static_cast<size_t>(i) * 997, 'x'));
        seal.files.push_back(SealedFile{name, FileSha256(fs, dir + "/" + name), 0});
    }
    EXPECT_FALSE(FirstBreach(fs, dir, seal, nullptr, 4));
    for (const char* name : {"f130", "f107"}) fs.WriteAllText(dir + "/" + name, "changed");
    EXPECT_EQ(FirstBreach(fs, dir, seal, nullptr, 4)->file.path, "f107");
    EXPECT_EQ(FirstBreach(fs, dir, seal, [](const std::string& p) { return p != "f107"; }, 3)->file.path, "f130");
    // Started early, the check's answer is the one the update then gets.
    fs.WriteAllText(dir + "/Updexar.sha256", SealText(seal.files));
    StartPackageSealCheck(fs, dir);
    EXPECT_EQ(PackageSealFailure(fs, dir), "File [" + dir + "\\f107] differs from the package's seal");
    fs.DeleteFolder(dir, true);
}

TEST(UpdateInfo, RefusalsEndAnUnattendedRunWithTheirLineAndTouchNothing) {
    const DateTime modified{2026, 11, 20, 10, 0, 0};
    const struct {
        const char* info;  // nullptr: no info file at all
        std::string line;
    } cases[] = {
        {nullptr, "Error:CopyUpdateToDataPath:Missing Update Info File"},
        {"x.dll,01/01/2026,02/02/2026,2\r\nonly,two,x,\r\n", "Error:CopyUpdateToDataPath:Not a Valid Update Info File"},
        {"Other,06/12/2026,,\r\nnew.dll,,,2\r\n", "Error:CopyUpdateToDataPath:Invalid Update Name [Other] in Info File"},
        {"upd1,6/12/2026,,\r\nnew.dll,,,2\r\n", "Error:CopyUpdateToDataPath:Invalid Update Date [6/12/2026] in Info File"},
        {"Upd1,06/12/2026,,\r\nold.dll,21/11/2026,,2\r\n",
         "Error:CheckFileVer:File [" + kApp + "\\old.dll] last modified on [Friday, 20 November 2026] is not updated "
         "to support this Update"},
        {"Upd1,06/12/2026,,\r\ngone.ocx,01/01/2020,,1\r\n",
         "Error:CheckFileVer:File [" + kSys + "\\gone.ocx] is missing and does not support this Update"},
        {"Upd1,06/12/2026,,\r\nnew.dll,,", "Error:CopyUpdateToDataPath:Input past end of file"},
    };
    for (const auto& c : cases) {
        Site site;
        site.files.SetLastModified(kApp + "\\old.dll", modified);
        if (c.info) site.Info(c.info);
        else site.files.DeleteFile(kPkg + "\\UpdInfoP.txt");
        EXPECT_EQ(site.Run(), ExitDataDirectory) << c.line;
        EXPECT_EQ(site.Log(), "[START]\r\n" + c.line + "\r\n[END]\r\n");
        EXPECT_FALSE(site.files.FolderExists(kRoot)) << c.line;
    }
}

TEST(UpdateInfo, FileDatesDecideWhetherTheUpdateIsNeeded) {
    InstalledFiles installed;
    installed.location1 = kSys + "\\";
    installed.location2 = kApp + "\\";
    installed.lastModified = [](const std::string& path) -> std::optional<DateTime> {
        if (EndsWithNoCase(path, "missing.dll")) return std::nullopt;
        return DateTime{2026, 12, 6, 10, 30, 15};
    };
    installed.longDate = [](const DateTime&) { return std::string("a long date"); };
    auto count = [&](const std::string& records) { return CheckFileVer(kHeader + records, installed).count; };

    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("a.dll,,06/12/2026,2\r\nb.dll,,06/12/2026 10:30:15,1\r\n"), 0);  // equal to the day, the second
    EXPECT_EQ(count("a.dll,,06/12/2026 10:30:16,2\r\nb.dll,,07/12/2026,2\r\nmissing.dll,,,2\r\n"), 3);
    // A file newer than the update stops the reading: the refusal after it is never reached.
    EXPECT_EQ(count("a.dll,,06/12/2026 10:30:14,2\r\nmissing.dll,01/01/2020,,2\r\n"), -3);
    // Records before the header and records that name no place are passed over; a record runs
    // over line ends, four fields at a time.
    EXPECT_EQ(CheckFileVer("x,y,z,2\r\n" + kHeader + "a.dll,,07/12/2026,3\r\n\"c,d.dll\",,07/12/2026\r\n2\r\n", installed).count, 1);
    EXPECT_EQ(CheckFileVer("junk,1,2,3\r\n", installed).count, -1);
    // Dates carry over as a calendar does, and a date alone stands for its midnight.
    EXPECT_EQ(ParseUpdDate("31/13/2025")->when, (DateTime{2026, 1, 31, 0, 0, 0}));
    EXPECT_LT(UpdDateSeconds(*ParseUpdDate("06/12/2026")), UpdDateSeconds(*ParseUpdDate("06/12/2026 00:00:01")));
    EXPECT_FALSE(ParseUpdDate("6/12/2026"));
}

TEST(DataStore, TheDataDirectoryMovesFromOneWholeUpdateToTheNext) {
    {  // Nothing stored yet: the package without report folders, the program under its product's name.
        Site site;
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\DLLs\\NewUpFls\\deep\\b.txt"), "bb");
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\UpdateG.exe"), "program");
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1\\Log1"));
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1\\Log7"));
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\Upd1\\UpdateX.exe"));
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u);  // nothing private left behind
    }
    {  // The same update stored: nothing is copied again.
        Site site;
        site.Stored("UPD1", "06/12/2026");
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\UPD1\\UpdateG.exe"));
    }
    {  // Named by the marker but its folder gone: stored again, the marker left as it is.
        Site site;
        site.Stored("Upd1", "06/12/2026 00:00:00");
        site.files.DeleteFolder(kRoot + "\\Upd1", true);
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_TRUE(site.files.FileExists(kRoot + "\\Upd1\\UpdateG.exe"));
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), "Upd1,06/12/2026 00:00:00,,\r\n");
    }
    {  // An older update stored, and a stale copy of this one: both give way to this update.
        Site site;
        site.Stored("Upd0", "01/12/2026");
        site.Put(kRoot + "\\Upd1\\DLLs\\half.txt", "a copy that never finished");
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd0"));
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\Upd1\\DLLs\\half.txt"));
        EXPECT_TRUE(site.files.FileExists(kRoot + "\\Upd1\\UpdateG.exe"));
    }
    {  // A whole copy of this update's name, but its DLL rebuilt to the same size: replaced.
        Site site;
        site.files.MakeFolders(kRoot);
        site.files.CopyFolder(kPkg, kRoot + "\\Upd1");
        site.files.CopyFile(kPkg + "\\UpdateX.exe", kRoot + "\\Upd1\\UpdateG.exe");
        site.Put(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll", "aab");
        site.files.SetLastModified(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll", DateTime{2026, 11, 2, 9, 0, 0});
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll"), "aaa");
    }
    {  // A newer update stored: refused, nothing changed.
        Site site;
        site.Stored("Upd2", "07/12/2026");
        EXPECT_EQ(site.Run(), ExitDataDirectory);
        EXPECT_EQ(site.Log(),
                  "[START]\r\nError:CopyUpdateToDataPath:A Higher Version of Software Update dated [07/12/2026] is "
                  "available in Software Data Directory, which has been Updated on any Other Computer over "
                  "Network\r\n[END]\r\n");
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1"));
    }
    {  // The root cannot be made.
        Site site;
        site.Put(kRoot, "a file where the folder should be");
        EXPECT_EQ(site.Run(), ExitDataDirectory);
        EXPECT_EQ(site.Log(), "[START]\r\nError:CopyUpdateToDataPath:Failed to Create Folder [" + kRoot + "]\r\n[END]\r\n");
    }
}

// Computers storing different updates take turns under a lock in SoftUpdates: a newer update
// stored meanwhile refuses this one, and a lock its holder left when it died is broken, at once
// when this computer left it, after 30 s of staying the same when another did.
TEST(DataStore, StoresTakeTurnsAndAStaleLockIsBroken) {
    {
        Site site;
        site.Stored("Upd2", "07/12/2026");  // since this store read the marker naming Upd0
        const StoreResult result = StoreUpdate(site.files, kJob, {});
        EXPECT_TRUE(result.newer && !result.ok);
        EXPECT_EQ(result.failure, HigherStoredUpdate("07/12/2026"));
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u);  // the marker and Upd2, nothing of Upd1
    }
    for (const auto& [holder, waited] : {std::pair{"~WS01.7.1", 0}, std::pair{"~WS09.7.1", 30000}}) {
        Site site;
        site.Put(kRoot + "\\~Lock\\" + holder, "");
        const int64_t before = site.clock.MonotonicMs();
        EXPECT_TRUE(StoreUpdate(site.files, kJob, {}).ok) << holder;
        EXPECT_GE(site.clock.MonotonicMs() - before, waited);
        EXPECT_LT(site.clock.MonotonicMs() - before, waited + 1000);
        EXPECT_EQ(ReadStoredHeader(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"))->name, "Upd1");
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u) << holder;
    }
}

// Another computer reading the marker, or listing the lock folder, holds it for a moment: the
// rename onto the marker and the lock's release (a rename aside) are tried again after a pause.
TEST(DataStore, AMarkerOrLockInUseElsewhereForAMomentIsTriedAgain) {
    const std::string marker = ToUpper(kRoot + "\\UpdInfoP.txt");
    const std::string asides = ToUpper(kRoot + "\\~");
    for (const bool lock : {false, true}) {
        Site site;
        int refused = 0;
        site.files.beforeChange = [&](const std::string& path) {
            const bool aside = path.rfind(asides, 0) == 0 && path.ends_with(".OLD");
            if ((lock ? aside : path == marker) && refused++ < 2) throw RuntimeError(ErrPermissionDenied);
        };
        const int64_t before = site.clock.MonotonicMs();
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.clock.MonotonicMs() - before, lock ? 100 : 200);  // two pauses between three tries
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\~Lock")) << "left for the others to wait on";
    }
}

TEST(DataStore, AtTheDeskAHigherStoredUpdateIsShownAndStarted) {
    Site site(false);
    site.Stored("Upd2", "07/12/2026");
    site.fake.shell.executeSucceeds = false;
    EXPECT_EQ(site.Run(), 100u);
    ASSERT_EQ(site.messages.size(), 1u);
    EXPECT_NE(site.messages[0].find("dated [07/12/2026]"), std::string::npos);
    EXPECT_NE(site.messages[0].find("Network.\r\n\r\nThe Higher Version Software Update will be run"), std::string::npos);
    const std::string stored = kRoot + "\\Upd2";
    EXPECT_EQ(site.fake.shell.executed, (std::vector<std::string>{"Open|explorer.exe|/select," + stored + "|3",
                                                                   "|" + stored + "\\UpdateG.exe||1"}));
    EXPECT_EQ(site.backend.transcript.back(),
              "sysmsgbox 64 '': Failed to Run Update File [" + stored + "\\UpdateG.exe]. -> 1");
    // Already updated: the user is asked, and No leaves everything as it was.
    Site again(false);
    again.Info(kHeader);
    again.answers = {"&No"};
    EXPECT_EQ(again.Run(), 100u);
    EXPECT_EQ(again.messages, (std::vector<std::string>{"Updexar|Software is already updated. Do you want to Update again ?"}));
}

// Whatever change a store dies before, the marker names an update whose folder is whole, and the
// next store finishes the job; a change that fails instead of dying leaves the same.
TEST(DataStore, AStoreCutOffAtAnyChangeLeavesAWholeUpdateAndTheNextOneFinishes) {
    struct Died {};
    for (const bool dies : {true, false}) {
        for (int stop = 1;; ++stop) {
            Site site;
            auto& fs = site.files;
                site.Stored("Upd0", "01/12/2026");
            site.Put(kRoot + "\\Upd0\\DLLs\\x.dll", "old");
            StoreJob job = kJob;
            const auto whole = [&](const std::string& name) {
                return name == "Upd0" ? fs.ReadAllText(kRoot + "\\Upd0\\DLLs\\x.dll") == "old"
                                      : SameFiles(ListTree(fs, kPkg + "\\DLLs"), ListTree(fs, kRoot + "\\Upd1\\DLLs")) &&
                                            fs.FileExists(kRoot + "\\Upd1\\UpdateG.exe") &&
                                            fs.FileExists(kRoot + "\\Upd1\\UpdInfoP.txt");
            };
            int changes = 0;
            fs.beforeChange = [&](const std::string&) {
                if (++changes != stop) return;
                if (dies) throw Died{};
                throw RuntimeError(ErrPermissionDenied);
            };
            bool reached = false;
            try {
                StoreUpdate(fs, job, {});
            } catch (const Died&) {
                reached = true;
            }
            reached = reached || changes >= stop;
            fs.beforeChange = nullptr;
            const std::optional<UpdInfoHeader> named = ReadStoredHeader(fs.ReadAllText(kRoot + "\\UpdInfoP.txt"));
            ASSERT_TRUE(named) << stop;
            EXPECT_TRUE(whole(named->name)) << (dies ? "died" : "failed") << " before change " << stop;

            job.storedName = named->name;
            EXPECT_TRUE(StoreUpdate(fs, job, {}).ok) << stop;
            EXPECT_EQ(ReadStoredHeader(fs.ReadAllText(kRoot + "\\UpdInfoP.txt"))->name, "Upd1");
            EXPECT_TRUE(whole("Upd1")) << stop;
            EXPECT_EQ(fs.ListEntries(kRoot).size(), 2u) << stop;
            if (!reached) break;  // the store made fewer changes than this: every one has been tried
        }
    }
}

TEST(DataStore, ACopyThatDiffersFromItsSourceIsNotStored) {
    Site site;
    // The source grows while it is copied: same count, another size.
    site.files.beforeChange = [&](const std::string& path) {
        if (EndsWithNoCase(path, "\\deep\\B.TXT")) site.files.beforeChange = nullptr, site.Put(kPkg + "\\DLLs\\NewUpFls\\deep\\b.txt", "bbbb");
    };
    EXPECT_EQ(site.Run(), ExitDataDirectory);
    EXPECT_EQ(site.Log(), "[START]\r\nError:CopyUpdateToDataPath:Failed to Copy Folder [" + kRoot + "\\Upd1\\DLLs]\r\n[END]\r\n");
    EXPECT_EQ(site.files.ListEntries(kRoot).size(), 0u);  // nor its half-made copy
}

// Each row writes one value, then resolves a product's folders; the rows build on each other.
TEST(ProductPaths, EachProductFindsItsInstallationByItsOwnValueAndTheFolderName) {
    uitest::UiFixture ui;
    const std::string g = "Software\\VEKInfo\\Galvano";
    const struct {
        std::string key, name, value, product, installDir;
    } rows[] = {
        {g, "AppPath", "\\\\SERVER\\Data\\Galvano\\", "Galvano", ""},  // a network data directory is no installation
        {g, "InstallPath", "C:\\Apps\\Galvano\\", "Galvano", "C:\\Apps\\Galvano"},
        {g, "InstallPath", "C:\\Apps\\GalvanoOld", "Galvano", ""},  // a folder of another name is none either
        {g, "AppPath", "D:\\Data\\Galvano", "Galvano", "D:\\Data\\Galvano"},  // but a local data directory stands in
        {g, "InstallPath", "c:\\apps\\GALVANO", "Galvano", "c:\\apps\\GALVANO"},  // the name compares without case
        {"Software\\VEKInfo\\Aldova", "InstallPath", "C:\\Wrong\\Aldova", "Aldova", ""},
        {"Software\\VEKInfo\\Aldova", "EXEPath", "C:\\Qor\\Aldova", "Aldova", "C:\\Qor\\Aldova"},
        {"Software\\VEKInfo\\Dorvel", "EXEPath", "C:\\Qor\\Dorvel\\", "Dorvel", "C:\\Qor\\Dorvel"},
        {"Software\\VEK Corvane\\Excise", "Path", "C:\\Qor\\Eskarn", "Eskarn", "C:\\Qor\\Eskarn"},
        {g, "InstallPath", "C:\\Apps\\Galvano", "Selvan", "C:\\Apps\\Galvano\\Selvan"},  // S, T and F live below Galvano
        {g, "InstallPath", "C:\\Apps\\Galvano", "Tarsel", "C:\\Apps\\Galvano\\Tarsel"},
        {g, "InstallPath", "C:\\Apps\\Galvano", "Pelmar", ""},
        {"Software\\VEKInfo\\O", "AppPath", "C:\\Data", "O", ""},
    };
    auto resolve = [](const std::string& product) {
        const ProductRow* row = ProductByKey(product);
        Shared().ProductKey = std::string(row->key);
        Shared().ProductDirName = std::string(row->dirName);
        return ResolveProductPaths();
    };
    for (const auto& r : rows) {
        WriteRegValue(platform::RegRoot::LocalMachine, r.key, r.name, RegKindText, r.value);
        EXPECT_EQ(resolve(r.product).installDir, r.installDir) << r.product << " after " << r.name << "=" << r.value;
        if (&r < rows + 3) { EXPECT_EQ(resolve(r.product).dataDir, "\\\\SERVER\\Data\\Galvano"); }  // whatever the folder
    }
    EXPECT_EQ(resolve("O").dataDir, "");
    // A 32-bit value where text is expected counts as missing.
    WriteRegValue(platform::RegRoot::LocalMachine, "Software\\VEKInfo\\Rovina", "InstallPath", RegKindDword, "7");
    EXPECT_EQ(resolve("Rovina").installDir, "");
}
