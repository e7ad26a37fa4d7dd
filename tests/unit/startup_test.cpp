#include <gtest/gtest.h>

#include "core/config.h"
#include "core/exit_codes.h"
#include "startup/frmcheckcom.h"
#include "ui_fixture.h"

using namespace updexar;
using updexar::fakes::ProcessEnded;

namespace {

const char* kLsa = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
const std::string kAuto = "AUTOUPD-Galvano:\\\\SERVER\\share\\Upd1:3:Log1:0:0:N";

struct Start : uitest::UiFixture {
    bool mainShown = false;
    Start() {
        OnShare("", false);
        ShowMainWindowHook() = [this] { mainShown = true; };
        StartupProbe() = ComponentProbe{};
        files.MakeFolders("C:\\Upd\\MiscFls");
        WriteRegValue(platform::RegRoot::LocalMachine, kLsa, "forceguest", RegKindDword, "1");
    }
    ~Start() { ShowMainWindowHook() = nullptr; }
    void Run(const std::string& program, const std::string& commandLine = "") {
        system.programPath = program;
        system.commandLine = commandLine;
        Ended([] { forms::Window<frmcheckCOM>(); });
    }
};

}  // namespace

TEST(Startup, TheProgramNameOrTheCommandLinePicksTheProduct) {
    const std::string pkg = "AUTOUPD-Galvano:\\\\SERVER\\share\\Upd1";
    const struct {
        std::string program, commandLine;
        std::string product;  // empty: the start ends, with `exit`
        std::string said;     // the message box, or the log of an unattended run
        std::optional<uint32_t> exit;
    } cases[] = {
        {"updateg.exe", "", "Galvano", "", {}},  // a lower case letter
        {"Update.exe", "", "Eskarn", "", {}},    // ends in "e"
        {"Updatez.exe", "", "", "Updexar|Unknown Product !", 0},
        {"UpdateG.exe", "AUTOUPD-galvano:\\\\SERVER\\share\\Upd1:3:Log1", "",
         "[START]\r\nError:Load:Unknown Product !\r\n[END]\r\n", ExitBadCommandLine},
        {"UpdateG.exe", " " + pkg + ":3:Log1", "", "Updexar|Invalid Parameters !", 0},
        {"UpdateG.exe", pkg, "", "", ExitBadCommandLine},  // too short to name a log: the exit code alone
        // The share takes the marker's file but fails on writing it; the log file itself works.
        {"UpdateG.exe", kAuto, "", "[START]\r\nError:Load:Disk full\r\n[END]\r\n", ExitStartFailed},
    };
    for (const auto& c : cases) {
        Start s;
        s.files.InjectFault(fakes::Fault{"\\\\SERVER\\share\\Upd1\\Log1\\3.txt", 61, 1, 1});
        s.Run("C:\\Upd\\" + c.program, c.commandLine);
        EXPECT_EQ(s.system.endedWith, c.exit) << c.program << c.commandLine;
        EXPECT_EQ(s.mainShown, !c.product.empty());
        EXPECT_EQ(c.product.empty() ? "" : Shared().ProductKey, c.product);
        EXPECT_EQ(s.messages.empty() ? s.Log() : s.messages[0], c.said) << c.program << c.commandLine;
        if (c.product == "Galvano") { EXPECT_TRUE(Shared().ProgramDir == "C:\\Upd" && !s.app.IsLoaded<frmcheckCOM>()); }
        EXPECT_EQ(c.product == "Eskarn", Shared().ProductCode == "ESK");
    }
}

// forceguest is "1" on each start: a start by hand turns it off, an unattended one leaves it.
TEST(Startup, AutomaticModeWritesTheMarkerAndLeavesForceguestAlone) {
    Start s;
    s.Run("C:\\Upd\\UpdateG.exe", "AUTOUPD-O:\\\\SERVER\\share\\Upd1:3:Log1:0:0:N");
    EXPECT_FALSE(s.system.endedWith.has_value());
    EXPECT_EQ(Shared().ProductKey + "|" + Shared().ProgramDir, "O|\\\\SERVER\\share\\Upd1");
    EXPECT_EQ(s.files.ReadAllText("\\\\SERVER\\share\\Upd1\\Log1\\3.txt"), "[START]\r\nConnected\r\n[END]\r\n");
    EXPECT_EQ(Shared().LogFileNo, 0);
    EXPECT_EQ(ReadRegValue(platform::RegRoot::LocalMachine, kLsa, "forceguest", RegKindDword, ""), "1");
    Start interactive;
    interactive.Run("C:\\Upd\\UpdateG.exe");
    EXPECT_EQ(ReadRegValue(platform::RegRoot::LocalMachine, kLsa, "forceguest", RegKindDword, ""), "0");
}

TEST(Startup, RepairsRegisterAgainOnlyWhatTheFirstAttemptUnregistered) {
    Start s;
    s.files.WriteAllText("C:\\Upd\\MiscFls\\RegSvr32.exe", "tool");
    s.files.WriteAllText("C:\\Upd\\MiscFls\\mswinsck.ocx", "ocx");
    s.files.WriteAllText("C:\\WINDOWS\\system32\\SCRRUN.DLL", "dll");
    StartupProbe().fileSystemWorks = [] { return false; };
    StartupProbe().controlsLoadError = [] { return std::string("File not found: mswinsck.ocx"); };
    s.Run("C:\\Upd\\UpdateG.exe");
    std::vector<std::string> lines;
    for (const auto& start : s.fake.processes.starts) lines.push_back(start.commandLine);
    const std::string r = "\"C:\\Upd\\MiscFls\\RegSvr32.exe\" ";
    const std::string scr = "\"C:\\WINDOWS\\system32\\SCRRUN.DLL\"", ocx = "\"C:\\WINDOWS\\system32\\mswinsck.ocx\"";
    EXPECT_EQ(lines, (std::vector<std::string>{r + "/s /u " + scr, r + "/s " + scr, r + "/s " + scr,
                                               r + "/s /u " + ocx, r + "/s " + ocx, r + "/s " + ocx}));
    EXPECT_EQ(s.files.ReadAllText("C:\\WINDOWS\\system32\\mswinsck.ocx"), "ocx");  // copied from the package
    EXPECT_TRUE(s.mainShown);  // a failed repair does not stop the start
    // Working components: no tool is started at all.
    Start quiet;
    quiet.files.WriteAllText("C:\\Upd\\MiscFls\\RegSvr32.exe", "tool");
    quiet.Run("C:\\Upd\\UpdateG.exe");
    EXPECT_TRUE(quiet.fake.processes.starts.empty());
    EXPECT_EQ(Shared().RegSvr32Path + "|" + Shared().MsizapPath, "C:\\Upd\\MiscFls\\RegSvr32.exe|");
}

TEST(UpdateLog, LinesAreFlattenedAndEndEndsTheProcess) {
    Start s;
    s.system.commandLine = kAuto;
    LogErrorLAN("Process:Update:To->C:\\Apps\\Galvano");
    LogErrorLAN("A\r\nB\tC");
    LogErrorLAN("x [END] y");  // only the exact text ends the run
    EXPECT_THROW(LogErrorLAN("[END]"), ProcessEnded);
    EXPECT_EQ(s.Log(), "[START]\r\nProcess:Update:To->C:\\Apps\\Galvano\r\nA;B  C\r\nx [END] y\r\n[END]\r\n");
    EXPECT_EQ(Shared().LogFileNo, 0);
    // A report folder that does not exist: no message box, only the exit code.
    Start missing;
    missing.system.commandLine = "AUTOUPD-Galvano:C\\Nowhere:3:Log1";
    EXPECT_THROW(LogErrorLAN("Error:Update:Cancelled"), ProcessEnded);
    EXPECT_TRUE(missing.messages.empty());
    EXPECT_EQ(missing.system.endedWith, ExitLogUnwritable);
}
