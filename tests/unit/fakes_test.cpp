// The parts of the fakes the contract tests do not reach: fault injection, shares and drives,
// remote registries, what the recorders record, the profile reader and the end of the process.
#include <gtest/gtest.h>

#include "contract/contract_util.h"
#include "fakes/fake_platform.h"

namespace updexar::fakes {
namespace {

using contract::ErrorOf;
using platform::RegRoot;

TEST(FakeFileSystem, FaultsHitTheirPathForTheirCountThenHeal) {
    FakePlatform os;
    FakeFileSystem& fs = os.files;
    fs.MakeFolders("C:\\Data\\Logs");

    // A full disk: the file is made (empty) but not written, twice, then all is well.
    fs.InjectFault("C:\\Data\\report.txt", ErrDiskFull, 2, FaultWrite);
    EXPECT_EQ(ErrDiskFull, ErrorOf([&] { fs.WriteAllText("C:\\Data\\report.txt", "x"); }));
    EXPECT_TRUE(fs.FileExists("C:\\Data\\report.txt"));
    EXPECT_EQ(0u, fs.FileSize("C:\\Data\\report.txt"));
    EXPECT_EQ(ErrDiskFull, ErrorOf([&] { fs.WriteAllText("c:/data/REPORT.txt", "x"); }));
    EXPECT_FALSE(fs.FaultsPending());
    fs.WriteAllText("C:\\Data\\report.txt", "x");
    EXPECT_EQ("x", fs.ReadAllText("C:\\Data\\report.txt"));

    // A folder refused for ever covers everything below it, for the operations named only.
    fs.PutFile("C:\\Data\\Logs\\a.log", "a");
    fs.InjectFault("C:\\Data\\Logs", ErrPermissionDenied, -1, FaultRead | FaultDelete | FaultList);
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.ReadAllText("C:\\Data\\Logs\\a.log"); }));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.ListFiles("C:\\Data\\Logs"); }));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.DeleteFolder("C:\\Data"); }));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.CopyFolder("C:\\Data", "C:\\Copy"); }));
    EXPECT_TRUE(fs.FileExists("C:\\Data\\Logs\\a.log"));
    fs.WriteAllText("C:\\Data\\Logs\\b.log", "writing is not refused");
    EXPECT_TRUE(fs.FileExists("C:\\Data\\report.txt")) << "a failed folder delete stops where it fails";
    fs.ClearFaults();
    fs.DeleteFolder("C:\\Data");
    EXPECT_FALSE(fs.FolderExists("C:\\Data"));

    // A writer that opens fine and fails on its second write.
    fs.InjectFault({.path = "C:\\TEMP\\run.log", .error = ErrDiskFull, .ops = FaultWrite, .skip = 2});
    auto log = fs.OpenTextWriter("C:\\TEMP\\run.log");
    log->WriteLine("[START]");
    EXPECT_EQ(ErrDiskFull, ErrorOf([&] { log->WriteLine("Connected"); }));
    log->WriteLine("[END]");
    EXPECT_EQ("[START]\r\n[END]\r\n", fs.ReadAllText("C:\\TEMP\\run.log"));
}

TEST(FakeFileSystem, RootsSharesAndDatesFromTheClock) {
    FakePlatform os;
    FakeFileSystem& fs = os.files;
    fs.AddDrive("d", platform::DriveCdRom, 0x1234, false);
    fs.AddShare("\\\\Server\\Qor");
    EXPECT_TRUE(fs.FolderExists("C:\\"));
    EXPECT_TRUE(fs.FolderExists("c:"));
    EXPECT_TRUE(fs.FolderExists("\\\\SERVER\\qor\\"));
    EXPECT_FALSE(fs.FolderExists("\\\\SERVER"));
    EXPECT_FALSE(fs.FolderExists("\\\\OTHER\\qor"));
    EXPECT_FALSE(fs.FolderExists("D:\\"));
    EXPECT_EQ(ErrDiskNotReady, ErrorOf([&] { fs.ListFiles("D:\\"); }));
    EXPECT_EQ(ErrPathNotFound, ErrorOf([&] { fs.CreateFolder("E:\\x"); }));
    const auto drives = fs.Drives();
    ASSERT_EQ(2u, drives.size());
    EXPECT_EQ("D", drives[1].letter);
    EXPECT_FALSE(drives[1].ready);
    EXPECT_EQ(platform::DriveFixed, drives[0].type);

    fs.CreateFolder("\\\\server\\QOR\\VEK_Updates");
    fs.WriteAllText("\\\\Server\\Qor\\VEK_Updates\\m1.txt", "[END]");
    EXPECT_EQ(std::vector<std::string>{"VEK_Updates"}, fs.ListFolders("\\\\Server\\Qor"));
    EXPECT_EQ(ErrBadFileNameOrNumber, ErrorOf([&] { fs.WriteAllText("C:\\TEMP\\a?b.txt", "x"); }));
    EXPECT_FALSE(fs.FileExists("C:\\TEMP\\a?b.txt"));

    // Written files take the clock's time; copies keep their source's; ".." climbs.
    const DateTime start = os.clock.Now();
    fs.WriteAllText("C:\\TEMP\\a.txt", "a");
    os.clock.Advance(90'000);
    fs.CopyFile("C:\\TEMP\\a.txt", "C:\\TEMP\\..\\b.txt");
    fs.WriteAllText("C:\\TEMP\\c.txt", "c");
    EXPECT_EQ(start, fs.LastModified("C:\\TEMP\\a.txt"));
    EXPECT_EQ(start, fs.LastModified("C:\\b.txt"));
    EXPECT_EQ(os.clock.Now(), fs.LastModified("C:\\TEMP\\c.txt"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "c.txt"}), fs.ListFiles("C:\\TEMP")) << "creation order";
}

TEST(FakeRegistry, RemoteUsersAreTheMachinesTheTestSetUp) {
    FakeRegistry reg;
    EXPECT_FALSE(reg.ConnectUsers("PC7"));
    EXPECT_FALSE(reg.ConnectUsers(""));

    reg.AddRemoteAlias("192.168.1.7", "PC7");
    ASSERT_TRUE(reg.CreateRemote("PC7", "S-1-5-21-1-2-3-1001\\Volatile Environment"));
    auto users = reg.ConnectUsers("\\\\pc7");
    ASSERT_TRUE(users);
    std::string name;
    EXPECT_EQ(platform::RegOk, users->EnumSubKey(0, name));
    EXPECT_EQ("S-1-5-21-1-2-3-1001", name);
    EXPECT_EQ(platform::RegNoMoreItems, reg.ConnectUsers("192.168.1.7")->EnumSubKey(1, name));
    EXPECT_EQ((std::vector<std::string>{"PC7", "", "\\\\pc7", "192.168.1.7"}), reg.ConnectAttempts());

    // This computer's name reaches the local HKEY_USERS.
    reg.SetLocalMachineName("WS01");
    reg.Create(RegRoot::Users, ".DEFAULT");
    ASSERT_TRUE(reg.ConnectUsers("ws01"));
    EXPECT_EQ(platform::RegOk, reg.ConnectUsers("ws01")->EnumSubKey(0, name));
    EXPECT_EQ(".DEFAULT", name);

    // Keys without rights.
    reg.DenyAccess(RegRoot::LocalMachine, "SOFTWARE\\Locked");
    reg.DenyAccess(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly", true);
    EXPECT_FALSE(reg.Open(RegRoot::LocalMachine, "SOFTWARE\\Locked"));
    EXPECT_TRUE(reg.Open(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly"));
    EXPECT_FALSE(reg.Open(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly", true));
    EXPECT_FALSE(reg.Create(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly\\Sub"));
    platform::RegValue binary;
    binary.type = platform::RegBinary;
    binary.raw = {1, 2, 3};
    reg.SetValue(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly", "Blob", binary);
    EXPECT_EQ(binary.raw, reg.Open(RegRoot::LocalMachine, "SOFTWARE\\ReadOnly")->QueryValue("blob")->raw);
}

TEST(FakeProcesses, StartsAreRecordedAndMayFailSpawnOrRunAStandIn) {
    FakeProcesses p;
    EXPECT_EQ(2u, p.Snapshot().size());
    const std::string cmd = "\"C:\\WINDOWS\\system32\\regsvr32.exe\" /s \"C:\\Qor\\x.ocx\"";
    const uint32_t id = p.StartHidden(cmd, "C:\\Qor");
    EXPECT_NE(0u, id);
    ASSERT_EQ(1u, p.starts.size());
    EXPECT_EQ(cmd, p.starts[0].commandLine);
    EXPECT_EQ("C:\\Qor", p.starts[0].workingDirectory);
    EXPECT_FALSE(p.IsRunning(id)) << "a start without spawning ends at once";

    p.failStarts = 1;
    EXPECT_EQ(0u, p.StartHidden("msizap.exe T {X}"));
    EXPECT_EQ(0u, p.starts.back().processId);

    p.spawnOnStart = true;
    std::string seen;
    p.onStart = [&](const StartRecord& r) { seen = r.commandLine; };
    const uint32_t psexec = p.StartHidden("C:\\Tools\\PsExec \\\\PC7 -u admin");
    EXPECT_EQ("C:\\Tools\\PsExec \\\\PC7 -u admin", seen);
    EXPECT_EQ(1, p.CountRunning("psexec.EXE"));
    p.unkillable.insert(psexec);
    EXPECT_FALSE(p.Terminate(psexec));
    p.unkillable.clear();
    EXPECT_TRUE(p.Terminate(psexec, 3));
    EXPECT_FALSE(p.Terminate(psexec));
    EXPECT_EQ(0, p.CountRunning("PsExec.exe"));
    ASSERT_EQ(3u, p.terminations.size());
    EXPECT_EQ(3u, p.terminations[1].exitCode);
    EXPECT_TRUE(p.terminations[1].ok);
    EXPECT_EQ("C:\\Program Files\\a b.exe", ProgramOfCommandLine("  \"C:\\Program Files\\a b.exe\" x"));
}

TEST(FakeServiceControl, ServicesStartStopAndGoLikeTheRealManager) {
    FakePlatform os;
    FakeServiceControl& sc = os.services;
    sc.AddService({.name = "VEKSvrReg", .programPath = "C:\\Qor\\VEKSvrReg.exe", .state = platform::ServiceRunning});
    const uint32_t pid = sc.Find("veksvrreg")->processId;
    EXPECT_EQ(1, os.processes.CountRunning("VEKSvrReg.exe"));

    sc.fullAccessFails = true;
    EXPECT_FALSE(sc.OpenManager(true));
    auto reader = sc.OpenManager(false);
    ASSERT_TRUE(reader);
    auto limited = reader->OpenService("VEKSVRREG", false);
    ASSERT_TRUE(limited);
    EXPECT_EQ("C:\\Qor\\VEKSvrReg.exe", limited->ProgramPath());
    EXPECT_FALSE(limited->Stop()) << "stopping needs full access";
    sc.fullAccessFails = false;

    auto manager = sc.OpenManager(true);
    EXPECT_FALSE(manager->CreateService({"vekSVRreg", "", "C:\\x.exe"}));
    auto service = manager->OpenService("VEKSvrReg", true);
    EXPECT_TRUE(service->Stop());
    EXPECT_EQ(platform::ServiceStopped, *service->State());
    EXPECT_FALSE(os.processes.IsRunning(pid));
    EXPECT_FALSE(service->Stop());
    EXPECT_TRUE(service->Start());
    EXPECT_FALSE(service->Start());

    // Killing its process stops it; deleting a running one waits for the stop.
    os.processes.Terminate(sc.Find("VEKSvrReg")->processId);
    EXPECT_EQ(platform::ServiceStopped, *service->State());
    EXPECT_TRUE(service->Start());
    EXPECT_TRUE(service->Delete());
    EXPECT_EQ(1u, manager->EnumerateAll()->size());
    EXPECT_FALSE(manager->CreateService({"VEKSvrReg", "", "C:\\x.exe"}));
    EXPECT_TRUE(service->Stop());
    EXPECT_TRUE(manager->EnumerateAll()->empty());
    EXPECT_TRUE(manager->CreateService({"VEKSvrReg", "", "C:\\x.exe"}));

    std::string actions;
    for (const auto& c : sc.calls) actions += c.action + (c.ok ? "+ " : "- ");
    EXPECT_EQ("Stop- Create- Stop+ Stop- Start+ Start- Start+ Delete+ Create- Stop+ Create+ ", actions);
    sc.managerFails = true;
    EXPECT_FALSE(sc.OpenManager(false));
}

TEST(FakeSystem, ProfileReaderFollowsTheWindowsRules) {
    FakePlatform os;
    os.files.PutFile("C:\\WINDOWS\\system32\\VEKCONFIG.INI",
                     "; settings\r\n"
                     "[ScrReso]\r\n"
                     "  Width =  1024  \r\n"
                     "Quoted=\"  spaced  \"\r\n"
                     "Single='x'\r\n"
                     "Half=\"open\r\n"
                     "Bare\r\n"
                     "[MySql]\n"
                     "Server=db01\n"
                     "[scrreso]\n"
                     "Late=ignored\n");
    const std::string ini = "C:\\WINDOWS\\system32\\VEKCONFIG.INI";
    FakeSystem& sys = os.system;
    EXPECT_EQ("1024", sys.ReadProfileString(ini, "scrreso", "WIDTH", "0"));
    EXPECT_EQ("  spaced  ", sys.ReadProfileString(ini, "ScrReso", "Quoted", ""));
    EXPECT_EQ("x", sys.ReadProfileString(ini, "ScrReso", "Single", ""));
    EXPECT_EQ("\"open", sys.ReadProfileString(ini, "ScrReso", "Half", ""));
    EXPECT_EQ("none", sys.ReadProfileString(ini, "ScrReso", "Bare", "none"));
    EXPECT_EQ("db01", sys.ReadProfileString(ini, "MYSQL", "server", ""));
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "ScrReso", "Late", "dflt  "));
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "Nowhere", "Width", "dflt"));
    EXPECT_EQ("dflt", sys.ReadProfileString("C:\\missing.ini", "ScrReso", "Width", "dflt"));
    EXPECT_EQ("10", sys.ReadProfileString(ini, "ScrReso", "Width", "", 3));
    EXPECT_EQ("", sys.ReadProfileString(ini, "ScrReso", "Width", "", 1));
    os.files.PutFile("C:\\WINDOWS\\win.ini", "[x]\r\nk=v\r\n");
    EXPECT_EQ("v", sys.ReadProfileString("win.ini", "x", "k", "")) << "bare names live in the Windows folder";

    sys.SetDisplay(800, 600, 120);
    EXPECT_EQ(12, sys.TwipsPerPixelX());
    EXPECT_EQ(9600, sys.ScreenSizeTwips().width);
    EXPECT_EQ(19, sys.SystemMetric(4));
    EXPECT_EQ(0, sys.SystemMetric(999));
}

TEST(FakePlatform, InstallsEndsTheProcessAndRecordsTheRest) {
    FakePlatform outer;
    ScopedPlatform outerInstalled(outer);
    {
        FakePlatform os;
        ScopedPlatform installed(os);
        platform::Platform& p = platform::Os();
        EXPECT_TRUE(p.files->FolderExists(p.system->TempDirectory()));
        EXPECT_EQ(&os.clock, p.clock);

        try {
            p.system->EndProcess(3);
            ADD_FAILURE() << "EndProcess returned";
        } catch (const ProcessEnded& e) {
            EXPECT_EQ(3u, e.exitCode);
        }
        EXPECT_EQ(3u, os.system.endedWith);

        os.com.SetOutcome("C:\\Qor\\bad.dll", {platform::SelfRegOutcome::Called, static_cast<int32_t>(0x80004005)});
        os.files.PutFile("C:\\Qor\\good.ocx", "MZ");
        EXPECT_EQ(platform::SelfRegOutcome::LoadFailed, p.com->CallSelfRegistration("C:\\Qor\\gone.dll", true).outcome);
        EXPECT_EQ(0, p.com->CallSelfRegistration("c:\\qor\\GOOD.ocx", false).result);
        EXPECT_NE(0, p.com->CallSelfRegistration("C:\\QOR\\BAD.DLL", true).result);
        ASSERT_EQ(3u, os.com.calls.size());
        EXPECT_FALSE(os.com.calls[1].registerServer);

        os.fonts.AssociateFile("C:\\WINDOWS\\Fonts\\qor.ttf", {"Qor Sans", "Qor Sans Bold"});
        EXPECT_EQ(0, p.fonts->AddFontFile("C:\\other.ttf"));
        EXPECT_EQ(2, p.fonts->AddFontFile("c:\\windows\\fonts\\QOR.TTF"));
        EXPECT_TRUE(p.fonts->IsFaceInstalled("qor sans bold"));
        p.fonts->BroadcastFontChange();
        EXPECT_EQ(1, os.fonts.broadcasts);

        os.shell.browseAnswers = {"\\\\Server\\Qor"};
        platform::BrowseRequest request;
        request.title = "Shared folder";
        EXPECT_EQ("\\\\Server\\Qor", p.shell->BrowseForFolder(request));
        EXPECT_EQ("", p.shell->BrowseForFolder({}));
        EXPECT_EQ("Shared folder", os.shell.browseRequests[0].title);
        p.shell->Execute("open", "explorer.exe", "/select,C:\\x", "", platform::ShowNormal);
        EXPECT_EQ("/select,C:\\x", os.shell.executions.at(0).parameters);

        os.network.AddHost("PC7", "192.168.1.7");
        os.network.AddAccount("pc7", "S-1-5-21-1-2-3-1001", {"QOR", "anna"});
        EXPECT_EQ("PC7", p.network->HostNameFromAddress(" 192.168.1.7 "));
        EXPECT_EQ("", p.network->HostNameFromAddress("192.168.1.999"));
        EXPECT_EQ("192.168.1.7", p.network->AddressFromHostName("pc7"));
        EXPECT_EQ("10.0.0.1", p.network->AddressFromHostName("10.0.0.1"));
        EXPECT_EQ(os.network.address, p.network->AddressFromHostName(os.system.computerName));
        EXPECT_EQ("anna", p.network->LookupNtAccount("\\\\PC7", {21, 1, 2, 3, 1001})->name);
        EXPECT_FALSE(p.network->LookupNtAccount("PC8", {21, 1, 2, 3, 1001}));
        EXPECT_EQ("S-1-5-21-1-2-3-1001", os.network.accountLookups.at(0).second);
    }
    EXPECT_EQ(&outer.clock, platform::Os().clock) << "the one installed before is back";
}

}  // namespace
}  // namespace updexar::fakes
